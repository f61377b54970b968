// Recognising a file's encoding, on any bytes (libFuzzer's -timeout bounds the time it takes).
// - recognise and decodeFile agree, and decodeFile reads the text decodeAs reads in that encoding.
// - The encoding picked writes the text back as the same bytes: the byte-order mark, then the
//   text, nothing reported. Code page 932, the default that takes every byte, may write a folded
//   duplicate cell as its twin (fuzz_cp932 checks which): the same number of bytes, reopening as
//   the same text.
// - Each encoding is picked only as its rule allows: the default is code page 932; UTF-8 without
//   a mark and EUC-JP only for bytes valid in them (no stand-in in the text); ISO-2022-JP only for
//   seven-bit bytes with an escape sequence; a mark only when the bytes start with it.

#include "document/encoding.h"
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const encoding::Recognition recognition = encoding::recognise(input);
    const encoding::DecodedFile file = encoding::decodeFile(input);
    const TextEncoding picked = recognition.encoding;
    const Encoding e = picked.encoding;
    const QByteArray mark = encoding::byteOrderMark(picked);
    const encoding::EncodeResult saved = encoding::encode(e, file.text);
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
        FUZZ_CHECK(mark + saved.bytes == input, detail());
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
        FUZZ_CHECK(picked.bom, detail());
        break;
    case Encoding::Cp932:
        break;
    }
    return 0;
}
