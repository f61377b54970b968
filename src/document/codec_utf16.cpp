#include "document/codec.h"
#include "document/iconvconverter.h"

#include <QtEndian>

// UTF-16LE and UTF-16BE: every unit as it is (a lone surrogate in the file stays a unit); an odd
// last byte becomes U+DC00 + byte and, as the text's last unit, is written back as that one byte.

namespace zimo::encoding {

using namespace codec;

namespace {

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr bool littleEndian = true;
#else
constexpr bool littleEndian = false;
#endif

EncodeResult encodeUtf16(QStringView text, bool little)
{
    EncodeResult result;
    qsizetype n = text.size();
    // The odd last byte of a UTF-16 file comes back as itself.
    const bool oddByte = n > 0 && text[n - 1].unicode() >= standInBase &&
                         text[n - 1].unicode() <= 0xDCFF &&
                         !(n > 1 && isHighSurrogate(text[n - 2].unicode()));
    if (oddByte)
        --n;
    result.bytes = QByteArray(n * 2 + (oddByte ? 1 : 0), Qt::Uninitialized);
    if (little == littleEndian) {
        std::memcpy(result.bytes.data(), text.utf16(), size_t(n) * 2);
    } else {
        auto *out = reinterpret_cast<unsigned char *>(result.bytes.data());
        const char16_t *u = text.utf16();
        for (qsizetype k = 0; k < n; ++k) {
            out[2 * k] = static_cast<unsigned char>(u[k] >> 8);
            out[2 * k + 1] = static_cast<unsigned char>(u[k]);
        }
    }
    if (oddByte)
        result.bytes[n * 2] = char(text[n].unicode() - standInBase);
    return result;
}

class Utf16Codec final : public Codec
{
public:
    explicit Utf16Codec(bool little) : m_little(little) {}
    QString decode(QByteArrayView bytes) const override
    {
        return detail::decodeUtf16(bytes, m_little);
    }
    EncodeResult encode(QStringView text, EncodingForm) const override
    {
        return encodeUtf16(text, m_little);
    }
    QByteArrayView byteOrderMark() const override
    {
        return m_little ? QByteArrayView("\xFF\xFE", 2) : QByteArrayView("\xFE\xFF", 2);
    }
    bool keepsBytes(QByteArrayView body, QStringView text) const override
    {
        return detail::utf16Clear(text, body.size() % 2 != 0) && Codec::keepsBytes(body, text);
    }

private:
    bool m_little;
};

} // namespace

namespace detail {

QString decodeUtf16(QByteArrayView bytes, bool little)
{
    const qsizetype units = bytes.size() / 2;
    const bool odd = bytes.size() % 2 != 0;
    QString text(units + (odd ? 1 : 0), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    if (little == littleEndian) {
        std::memcpy(out, bytes.data(), size_t(units) * 2);
    } else {
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
        for (qsizetype k = 0; k < units; ++k)
            out[k] = char16_t((p[2 * k] << 8) | p[2 * k + 1]);
    }
    if (odd)
        out[units] = char16_t(standInBase + static_cast<unsigned char>(bytes.back()));
    return text;
}

// Whether a UTF-16 reading can stand as the document's text: it holds no lone U+DC00..U+DC7F
// (never made by the other decoders; the text box takes U+DC0A and U+DC0D for its marks of a lone
// LF and CR, so such a unit, or an odd last byte below 0x80, would come back as another
// character), and, for an even number of bytes, it does not end in a lone U+DC80..U+DCFF (which
// would be written back as an odd last byte). For an odd number of bytes the last unit, the odd
// byte's stand-in, must not follow a high surrogate: the two would make a pair, written back as
// two units instead of the one byte.
bool utf16Clear(QStringView text, bool oddLength)
{
    const qsizetype n = text.size();
    const char16_t *u = text.utf16();
    for (qsizetype k = 0; k < n; ++k) {
        const char16_t c = u[k];
        if (c < 0xDC00 || c > 0xDC7F)
            continue;
        if (k == 0 || !isHighSurrogate(u[k - 1]))
            return false;
    }
    const bool pairedLast = n > 1 && isHighSurrogate(u[n - 2]);
    if (oddLength && pairedLast)
        return false;
    if (!oddLength && n > 0 && isStandIn(u[n - 1]) && !pairedLast)
        return false;
    return true;
}

} // namespace detail

const Codec &utf16Codec(bool little)
{
    static const Utf16Codec le(true);
    static const Utf16Codec be(false);
    return little ? le : be;
}

} // namespace zimo::encoding
