// Recognising a file's encoding, on any bytes (libFuzzer's -timeout bounds the time it takes).
// - recognise and decodeFile agree, and decodeFile reads the text decodeAs reads in that encoding.
// - The encoding picked writes the text back as the same bytes: the byte-order mark, then the
//   text, nothing reported. Code page 932, the default that takes every byte, may write a folded
//   duplicate cell as its twin (fuzz_cp932 checks which): the same number of bytes, reopening as
//   the same text. EUC-JP (its folded cells) and ISO-2022-JP (older escapes) may too, in the
//   page's form; opened and overwritten as a document (whose kept lines keep their bytes) every
//   encoding but code page 932 gives the bytes back.
// - Inserted into a document (decodeFile with the document's encoding): the same reading, or the
//   document's own reading, complete.
// - Each encoding is picked only as its rule allows: the default is code page 932; UTF-8 without
//   a mark and EUC-JP only for bytes valid in them (no stand-in in the text); ISO-2022-JP only for
//   seven-bit bytes with an escape sequence; UTF-16 without a mark only for an even number of
//   bytes holding a line break; a mark only when the bytes start with it.

#include "document/documentfile.h"
#include "document/encoding.h"
#include "document/keptlines.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

using namespace zimo;

namespace {

// A stand-in is a lone U+DC80..U+DCFF: the second half of a pair is a character's.
bool holdsStandIn(const QString &text)
{
    for (qsizetype k = 0; k < text.size(); ++k) {
        const char16_t c = text[k].unicode();
        if (c >= 0xDC80 && c <= 0xDCFF &&
            (k == 0 || !QChar::isHighSurrogate(text[k - 1].unicode())))
            return true;
    }
    return false;
}

bool sevenBit(const QByteArray &bytes)
{
    for (const char b : bytes) {
        if (static_cast<unsigned char>(b) > 0x7F)
            return false;
    }
    return true;
}

// What Overwrite writes for a document read from `bytes` as `text` and left unchanged, less the
// final line end.
QByteArray overwritten(const QByteArray &bytes, TextEncoding e, const QString &text)
{
    const QByteArrayView body = QByteArrayView(bytes).sliced(encoding::byteOrderMark(e).size());
    KeptLines kept;
    kept.remember(body, text, lineCodec(e));
    const DocumentBytes written = encodeDocument(text, e, kept.spansFor(text, text));
    if (!written.unencodable.isEmpty())
        return "(unencodable)";
    return written.bytes.chopped(encoding::encode(e, u"\r\n").bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const encoding::Recognition recognition = encoding::recognise(input);
    const encoding::DecodedFile file = encoding::decodeFile(input);
    const TextEncoding picked = recognition.encoding;
    const Encoding e = picked.encoding;
    const QByteArray mark = encoding::byteOrderMark(picked);
    const encoding::EncodeResult saved = encoding::encode(picked, file.text);
    const auto detail = [&] {
        return encoding::statusText(picked, recognition.origin) + u' ' + fuzz::hex(input) +
               QStringLiteral(" -> ") + fuzz::units(file.text) + QStringLiteral(" -> ") +
               fuzz::hex(saved.bytes);
    };

    FUZZ_CHECK(file.recognition == recognition, detail());
    FUZZ_CHECK(recognition.origin != EncodingOrigin::Chosen, detail());
    FUZZ_CHECK(recognition.origin != EncodingOrigin::Default || picked == TextEncoding{}, detail());

    const encoding::ForcedDecode forced = encoding::decodeAs(e, input);
    FUZZ_CHECK(forced.text == file.text, detail());
    FUZZ_CHECK(forced.bom == picked.bom, detail());
    FUZZ_CHECK(!picked.bom || (!mark.isEmpty() && input.startsWith(mark)), detail());

    FUZZ_CHECK(saved.ok(), detail());
    if (e == Encoding::Cp932) {
        FUZZ_CHECK(saved.bytes.size() == input.size(), detail());
        FUZZ_CHECK(encoding::decode(e, saved.bytes) == file.text, detail());
    } else {
        FUZZ_CHECK(forced.lossless, detail());
        FUZZ_CHECK(forced.form == picked.form, detail());
        if (e == Encoding::EucJp || e == Encoding::Iso2022Jp)
            FUZZ_CHECK(encoding::decode(e, saved.bytes) == file.text, detail());
        else
            FUZZ_CHECK(mark + saved.bytes == input, detail());
        FUZZ_CHECK(overwritten(input, picked, file.text) == input, detail());
    }
    for (const Encoding document : {Encoding::Cp932, Encoding::Utf8, Encoding::EucJp}) {
        const encoding::DecodedFile inserted = encoding::decodeFile(input, document);
        const bool same = inserted.recognition == recognition && inserted.text == file.text;
        const bool own = inserted.recognition.encoding.encoding == document &&
                         inserted.text == encoding::decodeAs(document, input).text &&
                         !holdsStandIn(inserted.text);
        FUZZ_CHECK(same || own, detail() + QStringLiteral(" into ") + encoding::displayName(document));
    }

    switch (e) {
    case Encoding::Utf8:
    case Encoding::EucJp:
        if (!picked.bom)
            FUZZ_CHECK(!holdsStandIn(file.text), detail());
        break;
    case Encoding::Iso2022Jp:
        FUZZ_CHECK(sevenBit(input) && input.contains('\x1b'), detail());
        break;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        FUZZ_CHECK(picked.bom || (input.size() % 2 == 0 && (file.text.contains(u'\n') ||
                                                           file.text.contains(u'\r'))),
                   detail());
        break;
    case Encoding::Cp932:
        break;
    }
    return 0;
}
