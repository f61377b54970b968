// The codecs other than code page 932 (UTF-8, EUC-JP, ISO-2022-JP, UTF-16LE and BE) both ways.
// - Any bytes: UTF-8 decodes then encodes to the same bytes, reporting nothing, and the reading
//   counts as lossless. EUC-JP the same, except that a folded cell (a character with two cells:
//   the NEC row 13's ≒ also in row 2, an IBM kanji in rows F9..FC also in JIS X 0212 or after
//   8F F3) may come back as its twin, in each of the three forms (reopening as the same text when
//   it holds no stand-in); opened and overwritten as a document it gives the same bytes. UTF-16 does the same except for the readings it cannot write
//   back (an even number of bytes whose last unit is a lone U+DC00..U+DCFF, which would go back as
//   an odd byte; an odd number whose last byte follows a high surrogate, the two then written as
//   a pair); decodeAs calls a UTF-16 reading lossless exactly when it round-trips and holds
//   no lone U+DC00..U+DC7F. ISO-2022-JP is lossless when it round-trips, or when its reading is
//   complete and a document opened and overwritten gives the same bytes (older escapes); otherwise the reading still writes back without a report when it can, and
//   reopens as the same text. A byte-order mark in front changes nothing but the mark.
// - The same bytes read as UTF-16 text, in every encoding: encode reports, in order, exactly the
//   characters canEncodeAt refuses (a surrogate pair once) and writes nothing in their place:
//   without stand-ins in the text, the bytes reopen as the text less the reported characters.

#include "document/documentfile.h"
#include "document/encoding.h"
#include "document/keptlines.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

using namespace zimo;

namespace {

const Encoding codecs[] = {Encoding::Utf8, Encoding::EucJp, Encoding::Iso2022Jp, Encoding::Utf16LE,
                           Encoding::Utf16BE};

bool isUtf16(Encoding e)
{
    return e == Encoding::Utf16LE || e == Encoding::Utf16BE;
}

QString name(Encoding e)
{
    return encoding::displayName(e) + u' ';
}

bool isStandIn(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

bool holdsStandIn(QStringView text)
{
    for (const QChar c : text)
        if (isStandIn(c.unicode()))
            return true;
    return false;
}

// Whether the unit at k is a low surrogate without its high half.
bool loneLow(QStringView text, qsizetype k)
{
    return QChar::isLowSurrogate(text[k].unicode()) &&
           (k == 0 || !QChar::isHighSurrogate(text[k - 1].unicode()));
}

// What Overwrite writes for a document read from `bytes` as `text` and left unchanged, less the
// final line end.
QByteArray overwritten(const QByteArray &bytes, TextEncoding e, const QString &text)
{
    KeptLines kept;
    kept.remember(bytes, text, lineCodec(e));
    const DocumentBytes written = encodeDocument(text, e, kept.spansFor(text, text));
    if (!written.unencodable.isEmpty())
        return "(unencodable)";
    return written.bytes.chopped(encoding::encode(e, u"\r\n").bytes.size());
}

const EncodingForm forms[] = {EncodingForm::Standard, EncodingForm::Windows, EncodingForm::Ms};

void decodeThenEncode(Encoding e, const QByteArray &input)
{
    const QString text = encoding::decode(e, input);
    const encoding::EncodeResult saved = encoding::encode(e, text);
    const encoding::ForcedDecode forced = encoding::decodeAs(e, input);
    const auto detail = [&] {
        return name(e) + fuzz::hex(input) + QStringLiteral(" -> ") + fuzz::units(text) +
               QStringLiteral(" -> ") + fuzz::hex(saved.bytes);
    };
    const bool same = saved.ok() && saved.bytes == input;
    // decodeAs reads the same text when there is no byte-order mark to take off.
    if (!forced.bom)
        FUZZ_CHECK(forced.text == text, detail());

    switch (e) {
    case Encoding::Utf8:
        FUZZ_CHECK(same, detail());
        FUZZ_CHECK(forced.lossless, detail());
        break;
    case Encoding::EucJp:
        FUZZ_CHECK(forced.lossless, detail());
        // In another form a stand-in for a lead byte may group with the first byte of a cell
        // written differently (B6 then 纊 as F9 A1 in Windows' form), as text the user builds
        // may: the reopen check needs a text without stand-ins.
        for (const EncodingForm form : forms) {
            const encoding::EncodeResult inForm = encoding::encode({e, false, form}, text);
            FUZZ_CHECK(inForm.ok(), detail() + QStringLiteral(" form ") + QString::number(int(form)));
            if (!holdsStandIn(text))
                FUZZ_CHECK(encoding::decode(e, inForm.bytes) == text,
                           detail() + QStringLiteral(" form ") + QString::number(int(form)));
        }
        FUZZ_CHECK(overwritten(input, {e, false, forced.form}, text) == input, detail());
        break;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        // The two readings that cannot be written back: an even number of bytes ending in a
        // lone U+DC00..U+DCFF (the encoder takes it for an odd byte's stand-in and writes one
        // byte), an odd one whose last byte's stand-in follows a high surrogate (the two written
        // as a pair).
        const qsizetype n = text.size();
        const bool pairedLast = n > 1 && QChar::isHighSurrogate(text[n - 2].unicode());
        const bool endsLikeOddByte = n > 0 && text[n - 1].unicode() >= 0xDC00 &&
                                     text[n - 1].unicode() <= 0xDCFF && loneLow(text, n - 1);
        const bool noWayBack = input.size() % 2 == 0 ? endsLikeOddByte : pairedLast;
        FUZZ_CHECK(same == !noWayBack, detail());
        bool lowStandIn = false;
        for (qsizetype k = 0; k < n; ++k)
            lowStandIn = lowStandIn || (text[k].unicode() >= 0xDC00 &&
                                        text[k].unicode() <= 0xDC7F && loneLow(text, k));
        if (!forced.bom)
            FUZZ_CHECK(forced.lossless == (same && !lowStandIn), detail());
        break;
    }
    case Encoding::Iso2022Jp:
        if (same)
            FUZZ_CHECK(forced.lossless, detail());
        if (forced.lossless)
            FUZZ_CHECK(overwritten(input, e, text) == input, detail());
        break;
    case Encoding::Cp932:
        break;
    }
    // What is written reopens as the same text (even where the bytes differ). EUC-JP writes a
    // folded cell in its other place, whose first byte may group with a stand-in for a lead byte
    // before it: only without stand-ins there (the document keeps such a line's bytes, checked
    // above).
    if (saved.ok() && !(e == Encoding::EucJp && holdsStandIn(text)))
        FUZZ_CHECK(encoding::decode(e, saved.bytes) == text, detail());

    // The byte-order mark in front: decodeAs takes it off and reads the rest the same way.
    const QByteArray mark = encoding::byteOrderMark({e, true});
    if (!mark.isEmpty()) {
        const encoding::ForcedDecode marked = encoding::decodeAs(e, mark + input);
        FUZZ_CHECK(marked.bom && marked.text == text, detail());
        if (!forced.bom)
            FUZZ_CHECK(marked.lossless == forced.lossless, detail());
    }
}

void encodeAnyText(Encoding e, const QString &text)
{
    const encoding::EncodeResult saved = encoding::encode(e, text);
    const auto detail = [&] {
        return name(e) + fuzz::units(text) + QStringLiteral(" -> ") + fuzz::hex(saved.bytes);
    };

    QString expected;
    bool standIns = false;
    qsizetype next = 0; // index into saved.unencodable
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                          QChar::isLowSurrogate(text[i + 1].unicode());
        const bool reported = next < saved.unencodable.size() && saved.unencodable[next] == i;
        FUZZ_CHECK(reported == !encoding::canEncodeAt(e, text, i),
                   detail() + QStringLiteral(" at ") + QString::number(i));
        FUZZ_CHECK(next >= saved.unencodable.size() || saved.unencodable[next] >= i, detail());
        if (reported) {
            ++next;
        } else {
            expected += text[i];
            if (pair)
                expected += text[i + 1];
        }
        standIns = standIns || isStandIn(c);
        if (pair)
            ++i;
    }
    FUZZ_CHECK(next == saved.unencodable.size(), detail());
    // EUC-JP's forms write the same characters, in other cells.
    if (e == Encoding::EucJp) {
        for (const EncodingForm form : forms) {
            const encoding::EncodeResult inForm = encoding::encode({e, false, form}, text);
            FUZZ_CHECK(inForm.unencodable == saved.unencodable, detail());
            if (!standIns)
                FUZZ_CHECK(encoding::decode(e, inForm.bytes) == expected, detail());
        }
    }
    if (isUtf16(e)) {
        // Every unit is written as it is, except that a lone U+DC00..U+DCFF at the end stands for
        // an odd last byte and is written as that byte; the bytes reopen as the same text.
        const qsizetype n = text.size();
        const bool oddByte = n > 0 && text[n - 1].unicode() >= 0xDC00 &&
                             text[n - 1].unicode() <= 0xDCFF && loneLow(text, n - 1);
        FUZZ_CHECK(saved.bytes.size() == 2 * expected.size() - (oddByte ? 1 : 0), detail());
        FUZZ_CHECK(encoding::decode(e, saved.bytes) == expected, detail());
        return;
    }
    // A stand-in is written as its byte, which may group with the bytes around it into another
    // character (the user built that text), so the reopen check needs a text without stand-ins.
    if (!standIns)
        FUZZ_CHECK(encoding::decode(e, saved.bytes) == expected, detail());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString asText =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(input.constData()), input.size() / 2);
    for (const Encoding e : codecs) {
        decodeThenEncode(e, input);
        encodeAnyText(e, asText);
    }
    return 0;
}
