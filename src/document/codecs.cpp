#include "document/codec.h"
#include "document/documentfile.h"
#include "document/iconvconverter.h"
#include "document/keptlines.h"

// The table of codecs and the functions of encoding.h that go straight to one of them.

namespace zimo::encoding {

using namespace codec;

const Codec &cp932Codec();
const Codec &utf8Codec();
const Codec &eucJpCodec();
const Codec &iso2022JpCodec();
const Codec &utf16Codec(bool little);

const Codec &codecFor(Encoding e)
{
    switch (e) {
    case Encoding::Cp932:
        break;
    case Encoding::Utf8:
        return utf8Codec();
    case Encoding::EucJp:
        return eucJpCodec();
    case Encoding::Iso2022Jp:
        return iso2022JpCodec();
    case Encoding::Utf16LE:
        return utf16Codec(true);
    case Encoding::Utf16BE:
        return utf16Codec(false);
    }
    return cp932Codec();
}

QString decode(Encoding e, QByteArrayView bytes)
{
    return codecFor(e).decode(bytes);
}

EncodeResult encode(Encoding e, QStringView text)
{
    return codecFor(e).encode(text, EncodingForm::Standard);
}

EncodeResult encode(TextEncoding e, QStringView text)
{
    return codecFor(e.encoding).encode(text, e.form);
}

QByteArray byteOrderMark(TextEncoding e)
{
    if (!e.bom)
        return {};
    return codecFor(e.encoding).byteOrderMark().toByteArray();
}

bool canEncodeAt(Encoding e, QStringView text, qsizetype pos)
{
    if (e == Encoding::Cp932)
        return cp932::canEncodeAt(text, pos);
    if (pos < 0 || pos >= text.size())
        return false;
    const char16_t c = text[pos].unicode();
    if (isLowSurrogate(c) && pos > 0 && isHighSurrogate(text[pos - 1].unicode()))
        return false; // the second half of a pair
    const qsizetype units =
        isHighSurrogate(c) && pos + 1 < text.size() && isLowSurrogate(text[pos + 1].unicode()) ? 2
                                                                                               : 1;
    return encode(e, text.sliced(pos, units)).ok();
}

namespace detail {

bool hasHighByte(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8)
        if (load64(p + i) & highBits)
            return true;
    for (; i < n; ++i)
        if (p[i] >= 0x80)
            return true;
    return false;
}

bool holdsStandIn(QStringView text)
{
    for (const QChar c : text)
        if (isStandIn(c.unicode()))
            return true;
    return false;
}

bool documentKeepsBytes(QByteArrayView body, QStringView text, TextEncoding e)
{
    // The usual case: the codec alone gives the bytes back.
    const EncodeResult back = encode(e, text);
    if (back.ok() && back.bytes == body)
        return true;
    KeptLines kept;
    kept.remember(body, text, lineCodec(e));
    const DocumentBytes written = encodeDocument(text, e, kept.spansFor(text, text));
    const QByteArray end = encode(e, u"\r\n").bytes;
    return written.unencodable.isEmpty() &&
           QByteArrayView(written.bytes).chopped(end.size()) == body;
}

bool holdsAnyStandIn(QStringView text)
{
    const char16_t *u = text.utf16();
    for (qsizetype k = 0; k < text.size(); ++k)
        if (u[k] >= 0xDC00 && u[k] <= 0xDCFF && !(k > 0 && isHighSurrogate(u[k - 1])))
            return true;
    return false;
}

} // namespace detail

} // namespace zimo::encoding
