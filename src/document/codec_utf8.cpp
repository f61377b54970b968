#include "document/codec.h"
#include "document/iconvconverter.h"

// UTF-8, converted by hand: Qt's converter turns a bad byte into U+FFFD and drops a cut-off
// sequence. A byte where no strictly valid sequence starts becomes a stand-in.

namespace zimo::encoding {

using namespace codec;
using namespace detail;

namespace {

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// The length of the strictly valid UTF-8 sequence at p[0] (1 to 4), or 0 when none starts there:
// no overlong forms, no encoded surrogates, nothing above U+10FFFF, no cut-off sequence.
int utf8SequenceLength(const unsigned char *p, qsizetype left)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 3 || !isContinuation(p[2]))
            return 0;
        const unsigned char lo = b == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = b == 0xED ? 0x9F : 0xBF;
        return p[1] >= lo && p[1] <= hi ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 4 || !isContinuation(p[2]) || !isContinuation(p[3]))
            return 0;
        const unsigned char lo = b == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = b == 0xF4 ? 0x8F : 0xBF;
        return p[1] >= lo && p[1] <= hi ? 4 : 0;
    }
    return 0;
}

QString decodeUtf8(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    // A byte gives at most one unit (four bytes give a surrogate pair).
    QString text(n, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    char16_t *const outStart = out;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            // ASCII eight bytes at a time while it lasts.
            if (i + 8 <= n && (load64(p + i) & highBits) == 0) {
                do {
                    for (int k = 0; k < 8; ++k)
                        out[k] = p[i + k];
                    out += 8;
                    i += 8;
                } while (i + 8 <= n && (load64(p + i) & highBits) == 0);
                continue;
            }
            *out++ = b;
            ++i;
            continue;
        }
        // Japanese text is mostly three-byte sequences: the common case first.
        if ((b & 0xF0) == 0xE0 && i + 2 < n) {
            const unsigned char b1 = p[i + 1];
            const unsigned char b2 = p[i + 2];
            if (isContinuation(b1) && isContinuation(b2)) {
                const char16_t c = char16_t(((b & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
                if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
                    *out++ = c;
                    i += 3;
                    continue;
                }
            }
        }
        switch (utf8SequenceLength(p + i, n - i)) {
        case 1:
            *out++ = b;
            i += 1;
            break;
        case 2:
            *out++ = char16_t(((b & 0x1F) << 6) | (p[i + 1] & 0x3F));
            i += 2;
            break;
        case 3:
            *out++ = char16_t(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F));
            i += 3;
            break;
        case 4: {
            const char32_t c = ((b & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) |
                               ((p[i + 2] & 0x3F) << 6) | (p[i + 3] & 0x3F);
            *out++ = QChar::highSurrogate(c);
            *out++ = QChar::lowSurrogate(c);
            i += 4;
            break;
        }
        default:
            // No character starts here: keep the byte, go on with the next one.
            *out++ = char16_t(standInBase + b);
            i += 1;
            break;
        }
    }
    // The unused end of the buffer is not given back (as Qt's own conversion does not): the text
    // of an opened file lives only until the text box has it, and shrinking a large block makes
    // malloc hand out fresh pages for the next one.
    text.truncate(out - outStart);
    return text;
}

EncodeResult encodeUtf8(QStringView text)
{
    EncodeResult result;
    const qsizetype n = text.size();
    // Allocated at exactly this size: resize() of an empty array rounds a large block up, past
    // the size malloc keeps on its heap, and every call would then fault in fresh pages.
    result.bytes = QByteArray(n * 3, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(result.bytes.data());
    auto *const outStart = out;
    const char16_t *const u = text.utf16();
    qsizetype i = 0;
    while (i < n) {
        const char16_t c = u[i];
        if (c < 0x80) {
            *out++ = static_cast<unsigned char>(c);
            ++i;
        } else if (c < 0x800) {
            *out++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
            ++i;
        } else if (c < 0xD800 || c > 0xDFFF) {
            *out++ = static_cast<unsigned char>(0xE0 | (c >> 12));
            *out++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
            ++i;
        } else if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(u[i + 1])) {
            const char32_t cp = QChar::surrogateToUcs4(c, u[i + 1]);
            *out++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
            *out++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            i += 2;
        } else if (isStandIn(c)) {
            *out++ = static_cast<unsigned char>(c - standInBase);
            ++i;
        } else {
            // A lone surrogate that stands for no byte: UTF-8 cannot hold it.
            result.unencodable.append(i);
            ++i;
        }
    }
    result.bytes.truncate(out - outStart);
    return result;
}

class Utf8Codec final : public Codec
{
public:
    QString decode(QByteArrayView bytes) const override { return decodeUtf8(bytes); }
    EncodeResult encode(QStringView text, EncodingForm) const override { return encodeUtf8(text); }
    QByteArrayView byteOrderMark() const override { return QByteArrayView("\xEF\xBB\xBF", 3); }
};

} // namespace

namespace detail {

Utf8Check checkUtf8(QByteArrayView bytes)
{
    Utf8Check check;
    const qsizetype n = bytes.size();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    qsizetype i = 0;
    while (i < n) {
        while (i + 8 <= n && (load64(p + i) & highBits) == 0)
            i += 8;
        if (i >= n)
            break;
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        // The common three-byte case (E1..EC, EE, EF: no overlong or surrogate form possible).
        if (b >= 0xE1 && b <= 0xEF && b != 0xED && i + 2 < n && isContinuation(p[i + 1]) &&
            isContinuation(p[i + 2])) {
            check.multiByte = true;
            check.longSequence = true;
            i += 3;
            continue;
        }
        const int length = utf8SequenceLength(p + i, n - i);
        if (length == 0) {
            check.valid = false;
            return check;
        }
        check.multiByte |= length > 1;
        check.longSequence |= length > 2;
        i += length;
    }
    return check;
}

} // namespace detail

const Codec &utf8Codec()
{
    static const Utf8Codec codec;
    return codec;
}

} // namespace zimo::encoding
