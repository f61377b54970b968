#include "document/encoding.h"

#include <QtEndian>

#include "document/iconvconverter.h"

#include <cerrno>
#include <cstring>
#include <optional>

// UTF-8 and UTF-16 are converted here by hand (Qt's converters turn a bad byte into U+FFFD and
// drop a cut-off sequence); EUC-JP and ISO-2022-JP go through glibc's converters, kept lossless
// the same way as code page 932 (see cp932.cpp). The recognition rules are explained in
// docs/encodings.md.

namespace zimo::encoding {

using namespace codec;

namespace {

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr bool littleEndian = true;
#else
constexpr bool littleEndian = false;
#endif

// ---------------------------------------------------------------------------------------------
// UTF-8

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

constexpr quint64 highBits = 0x8080808080808080ULL;

quint64 load64(const unsigned char *p)
{
    quint64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
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

struct Utf8Check
{
    bool valid = true;
    bool multiByte = false;
};

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
            i += 3;
            continue;
        }
        const int length = utf8SequenceLength(p + i, n - i);
        if (length == 0)
            return {false, check.multiByte};
        check.multiByte |= length > 1;
        i += length;
    }
    return check;
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

// ---------------------------------------------------------------------------------------------
// UTF-16: every unit as it is (a lone surrogate in the file stays a unit); an odd last byte
// becomes U+DC00 + byte and, as the text's last unit, is written back as that one byte.

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

// ---------------------------------------------------------------------------------------------
// EUC-JP and ISO-2022-JP through iconv.

IconvConverter &decoderFor(Encoding e)
{
    if (e == Encoding::EucJp) {
        thread_local IconvConverter converter(utf16Name, "EUC-JP");
        return converter;
    }
    thread_local IconvConverter converter(utf16Name, "ISO-2022-JP");
    return converter;
}

IconvConverter &encoderFor(Encoding e)
{
    if (e == Encoding::EucJp) {
        thread_local IconvConverter converter("EUC-JP", utf16Name);
        return converter;
    }
    thread_local IconvConverter converter("ISO-2022-JP", utf16Name);
    return converter;
}

QString decodeIconv(Encoding e, QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    // Every character of both encodings is in the BMP and takes at least one byte.
    QString text(n, Qt::Uninitialized);
    char16_t *const outStart = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = outStart;
    const char *in = bytes.data();
    const char *const end = in + n;
    IconvConverter &cd = decoderFor(e);
    cd.reset();
    while (in < end) {
        char *o = reinterpret_cast<char *>(out);
        size_t inLeft = size_t(end - in);
        size_t outLeft = size_t(n - (out - outStart)) * sizeof(char16_t);
        const int error = cd.run(in, inLeft, o, outLeft);
        out = reinterpret_cast<char16_t *>(o);
        if (error == 0)
            break;
        // No character at `in` (or the input ends inside one): keep the byte. A byte below 0x80
        // can fail only in ISO-2022-JP (a broken escape or a bad pair inside a two-byte mode);
        // ISO-2022-JP is chosen only when the text encodes back to the same bytes.
        const auto byte = static_cast<unsigned char>(*in);
        if (byte < 0x80 && !cd.valid())
            *out++ = byte;
        else
            *out++ = char16_t(standInBase + byte);
        ++in;
        cd.reset();
    }
    // Not shrunk, as for UTF-8: the text lives only until the text box has it.
    text.truncate(out - outStart);
    return text;
}

// Characters the converter writes but that would reopen as something else: in EUC-JP ¥ and ‾
// become the ASCII backslash and tilde; in ISO-2022-JP the escape character starts a sequence.
bool refused(Encoding e, char16_t c)
{
    if (e == Encoding::EucJp)
        return c == 0x00A5 || c == 0x203E;
    return c == 0x1B;
}

bool needsCare(Encoding e, char16_t c)
{
    return (c >= 0xD800 && c <= 0xDFFF) || refused(e, c);
}

// Grows `bytes` so that at least `need` more bytes fit after `out`; keeps `out` valid.
void reserveOut(QByteArray &bytes, char *&out, size_t need)
{
    const qsizetype used = out - bytes.data();
    if (bytes.size() - used >= qsizetype(need))
        return;
    bytes.resize(qMax(bytes.size() * 2, used + qsizetype(need) + 16));
    out = bytes.data() + used;
}

EncodeResult encodeIconv(Encoding e, QStringView text)
{
    EncodeResult result;
    const qsizetype n = text.size();
    QByteArray &bytes = result.bytes;
    bytes = QByteArray(n * 2 + 16, Qt::Uninitialized);
    char *out = bytes.data();
    const char16_t *const units = text.utf16();
    IconvConverter &cd = encoderFor(e);
    cd.reset();

    auto flush = [&] {
        reserveOut(bytes, out, 8);
        size_t outLeft = size_t(bytes.size() - (out - bytes.data()));
        cd.flush(out, outLeft);
    };

    qsizetype i = 0;
    while (i < n) {
        qsizetype j = i;
        while (j < n && !needsCare(e, units[j]))
            ++j;
        // Convert units[i, j).
        const char *in = reinterpret_cast<const char *>(units + i);
        size_t inLeft = size_t(j - i) * sizeof(char16_t);
        // The buffer holds two bytes a unit, which is enough for nearly all text; the converter
        // says when it is not (JIS X 0212 takes three bytes, escape sequences three more).
        size_t need = 16;
        while (inLeft > 0) {
            reserveOut(bytes, out, need);
            size_t outLeft = size_t(bytes.size() - (out - bytes.data()));
            const int error = cd.run(in, inLeft, out, outLeft);
            if (error == 0)
                continue;
            if (error == E2BIG) {
                need = outLeft + inLeft + 64;
                continue;
            }
            // A character the encoding cannot hold: report it and go on after it.
            const qsizetype pos = (reinterpret_cast<const char16_t *>(in) - units);
            result.unencodable.append(pos);
            in += sizeof(char16_t);
            inLeft -= sizeof(char16_t);
            if (!cd.valid() && units[pos] < 0x80) {
                result.unencodable.removeLast();
                reserveOut(bytes, out, 1);
                *out++ = char(units[pos]);
            }
        }
        if (j == n)
            break;
        const char16_t c = units[j];
        if (isHighSurrogate(c) && j + 1 < n && isLowSurrogate(units[j + 1])) {
            result.unencodable.append(j);
            i = j + 2;
        } else if (isStandIn(c)) {
            // The byte goes out as it was read, after the converter is back in its initial state.
            flush();
            reserveOut(bytes, out, 1);
            *out++ = char(c - standInBase);
            i = j + 1;
        } else {
            result.unencodable.append(j);
            i = j + 1;
        }
    }
    flush();
    bytes.truncate(out - bytes.data());
    return result;
}

// ---------------------------------------------------------------------------------------------
// Recognition helpers.

bool holdsStandIn(QStringView text)
{
    for (const QChar c : text)
        if (isStandIn(c.unicode()))
            return true;
    return false;
}

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

// The shape of EUC-JP: every byte above 0x7F is part of a two-byte character (A1-FE A1-FE), a
// half-width katakana (8E A1-DF) or a JIS X 0212 character (8F A1-FE A1-FE). Cheap, and refuses
// almost every code page 932 or UTF-8 file at its first non-ASCII character.
bool looksLikeEucJp(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    auto inRow = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
        } else if (inRow(b)) {
            if (i + 1 >= n || !inRow(p[i + 1]))
                return false;
            i += 2;
        } else if (b == 0x8E) {
            if (i + 1 >= n || p[i + 1] < 0xA1 || p[i + 1] > 0xDF)
                return false;
            i += 2;
        } else if (b == 0x8F) {
            if (i + 2 >= n || !inRow(p[i + 1]) || !inRow(p[i + 2]))
                return false;
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

bool isKana(char16_t c)
{
    return (c >= 0x3041 && c <= 0x30FF) || (c >= 0xFF66 && c <= 0xFF9F);
}

// Whether the code page 932 reading holds a character made of two bytes.
bool holdsDoubleByteCharacter(QStringView cp932Text)
{
    for (const QChar ch : cp932Text) {
        const char16_t c = ch.unicode();
        if (c >= 0x80 && !(c >= 0xFF61 && c <= 0xFF9F) && !isStandIn(c))
            return true;
    }
    return false;
}

bool mostlyKana(QStringView eucText)
{
    qsizetype wide = 0;
    qsizetype kana = 0;
    for (const QChar ch : eucText) {
        const char16_t c = ch.unicode();
        if (c < 0x80)
            continue;
        ++wide;
        kana += isKana(c);
    }
    return wide >= 2 && kana * 2 >= wide;
}

bool nameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'.' || c == u':';
}

// The value after `key` at `from` in `s` (lower case): blanks, "=", blanks, an optional quote,
// then the name.
QString valueAfter(QStringView s, qsizetype from, qsizetype end)
{
    qsizetype i = from;
    auto skipBlanks = [&] {
        while (i < end && s[i].isSpace())
            ++i;
    };
    skipBlanks();
    if (i >= end || s[i] != u'=')
        return {};
    ++i;
    skipBlanks();
    if (i < end && (s[i] == u'"' || s[i] == u'\''))
        ++i;
    const qsizetype start = i;
    while (i < end && nameChar(s[i]))
        ++i;
    return s.sliced(start, i - start).toString();
}

// The charset named by the first declaration in `head` (already in lower case): a meta element's
// charset (either form) or the encoding of an XML declaration.
QString declaredName(QStringView head)
{
    qsizetype from = 0;
    while (true) {
        const qsizetype meta = head.indexOf(u"<meta", from);
        const qsizetype xml = head.indexOf(u"<?xml", from);
        if (meta < 0 && xml < 0)
            return {};
        const bool isXml = xml >= 0 && (meta < 0 || xml < meta);
        const qsizetype start = isXml ? xml : meta;
        qsizetype end = head.indexOf(isXml ? u"?>" : u">", start);
        if (end < 0)
            end = head.size();
        const QStringView key = isXml ? QStringView(u"encoding") : QStringView(u"charset");
        qsizetype at = head.indexOf(key, start);
        while (at >= 0 && at < end) {
            const QString name = valueAfter(head, at + key.size(), end);
            if (!name.isEmpty())
                return name;
            at = head.indexOf(key, at + 1);
        }
        from = end;
    }
}

bool encodingOfName(const QString &name, Encoding *encoding)
{
    static const struct
    {
        const char16_t *name;
        Encoding encoding;
    } names[] = {
        {u"shift_jis", Encoding::Cp932},
        {u"shift-jis", Encoding::Cp932},
        {u"sjis", Encoding::Cp932},
        {u"x-sjis", Encoding::Cp932},
        {u"windows-31j", Encoding::Cp932},
        {u"cp932", Encoding::Cp932},
        {u"ms932", Encoding::Cp932},
        {u"ms_kanji", Encoding::Cp932},
        {u"csshiftjis", Encoding::Cp932},
        {u"x-ms-cp932", Encoding::Cp932},
        {u"euc-jp", Encoding::EucJp},
        {u"eucjp", Encoding::EucJp},
        {u"x-euc-jp", Encoding::EucJp},
        {u"cseucpkdfmtjapanese", Encoding::EucJp},
        {u"utf-8", Encoding::Utf8},
        {u"utf8", Encoding::Utf8},
        {u"iso-2022-jp", Encoding::Iso2022Jp},
        {u"csiso2022jp", Encoding::Iso2022Jp},
        {u"utf-16le", Encoding::Utf16LE},
        {u"utf-16", Encoding::Utf16LE},
        {u"utf-16be", Encoding::Utf16BE},
    };
    const QString lower = name.toLower();
    for (const auto &entry : names) {
        if (lower == QStringView(entry.name)) {
            *encoding = entry.encoding;
            return true;
        }
    }
    return false;
}

// What the first 1024 bytes declare; false when nothing the rules use.
bool declaredInBytes(QByteArrayView bytes, Encoding *encoding)
{
    const QString head = QString::fromLatin1(bytes.first(qMin<qsizetype>(bytes.size(), 1024)));
    return declaredEncoding(head, encoding, nullptr);
}

bool isIso2022Candidate(QByteArrayView bytes)
{
    const qsizetype at = bytes.indexOf('\x1b');
    return at >= 0 && at + 1 < bytes.size() && (bytes[at + 1] == '$' || bytes[at + 1] == '(');
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

struct Found
{
    Recognition recognition;
    // The text, when finding the encoding already decoded all the bytes in it.
    std::optional<QString> text;
};

Found find(QByteArrayView bytes)
{
    const auto starts = [&](const char *mark, qsizetype size) {
        return bytes.size() >= size && std::memcmp(bytes.data(), mark, size_t(size)) == 0;
    };
    // 1. A byte-order mark.
    if (starts("\xEF\xBB\xBF", 3))
        return {{{Encoding::Utf8, true}, EncodingOrigin::Recognised}, {}};
    if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2)) {
        const Encoding e = bytes[0] == '\xFF' ? Encoding::Utf16LE : Encoding::Utf16BE;
        const QByteArrayView rest = bytes.sliced(2);
        QString text = decodeUtf16(rest, e == Encoding::Utf16LE);
        if (utf16Clear(text, rest.size() % 2 != 0))
            return {{{e, true}, EncodingOrigin::Recognised}, std::move(text)};
        return {{{Encoding::Cp932, false}, EncodingOrigin::Default}, {}};
    }

    Encoding declared = Encoding::Cp932;
    const bool hasDecl = declaredInBytes(bytes, &declared);

    // 2. Seven-bit files.
    if (!hasHighByte(bytes)) {
        if (isIso2022Candidate(bytes)) {
            QString text = decodeIconv(Encoding::Iso2022Jp, bytes);
            const EncodeResult back = encodeIconv(Encoding::Iso2022Jp, text);
            if (back.ok() && back.bytes == bytes)
                return {{{Encoding::Iso2022Jp, false}, EncodingOrigin::Recognised},
                        std::move(text)};
        }
        if (hasDecl && declared == Encoding::Utf8)
            return {{{Encoding::Utf8, false}, EncodingOrigin::Recognised}, {}};
        return {{{Encoding::Cp932, false},
                 hasDecl && declared == Encoding::Cp932 ? EncodingOrigin::Recognised
                                                        : EncodingOrigin::Default},
                {}};
    }

    std::optional<QString> cp932Text;
    auto cp932Reading = [&]() -> const QString & {
        if (!cp932Text)
            cp932Text = cp932::decode(bytes);
        return *cp932Text;
    };
    std::optional<bool> eucValid;
    QString eucText;
    auto validEuc = [&] {
        if (!eucValid) {
            eucValid = looksLikeEucJp(bytes);
            if (*eucValid) {
                eucText = decodeIconv(Encoding::EucJp, bytes);
                eucValid = !holdsStandIn(eucText);
            }
        }
        return *eucValid;
    };
    std::optional<Utf8Check> utf8;
    auto utf8Check = [&] {
        if (!utf8)
            utf8 = checkUtf8(bytes);
        return *utf8;
    };

    // 3. The page's own declaration, when the bytes are valid in it.
    if (hasDecl) {
        if (declared == Encoding::Cp932 && !holdsStandIn(cp932Reading()))
            return {{{Encoding::Cp932, false}, EncodingOrigin::Recognised}, std::move(cp932Text)};
        if (declared == Encoding::EucJp && validEuc())
            return {{{Encoding::EucJp, false}, EncodingOrigin::Recognised}, std::move(eucText)};
        if (declared == Encoding::Utf8 && utf8Check().valid)
            return {{{Encoding::Utf8, false}, EncodingOrigin::Recognised}, {}};
    }

    // 4. UTF-8.
    if (utf8Check().valid && utf8Check().multiByte)
        return {{{Encoding::Utf8, false}, EncodingOrigin::Recognised}, {}};

    // 5. EUC-JP.
    if (validEuc()) {
        // Kana first: it decides most real pages without reading them as code page 932 too.
        if (mostlyKana(eucText))
            return {{{Encoding::EucJp, false}, EncodingOrigin::Recognised}, std::move(eucText)};
        const QString &sjis = cp932Reading();
        if (holdsStandIn(sjis) || holdsDoubleByteCharacter(sjis))
            return {{{Encoding::EucJp, false}, EncodingOrigin::Recognised}, std::move(eucText)};
    }

    // 6. Code page 932.
    return {{{Encoding::Cp932, false}, EncodingOrigin::Default}, std::move(cp932Text)};
}

} // namespace

QString decode(Encoding e, QByteArrayView bytes)
{
    switch (e) {
    case Encoding::Cp932:
        return cp932::decode(bytes);
    case Encoding::Utf8:
        return decodeUtf8(bytes);
    case Encoding::EucJp:
    case Encoding::Iso2022Jp:
        return decodeIconv(e, bytes);
    case Encoding::Utf16LE:
        return decodeUtf16(bytes, true);
    case Encoding::Utf16BE:
        return decodeUtf16(bytes, false);
    }
    return {};
}

EncodeResult encode(Encoding e, QStringView text)
{
    switch (e) {
    case Encoding::Cp932:
        return cp932::encode(text);
    case Encoding::Utf8:
        return encodeUtf8(text);
    case Encoding::EucJp:
    case Encoding::Iso2022Jp:
        return encodeIconv(e, text);
    case Encoding::Utf16LE:
        return encodeUtf16(text, true);
    case Encoding::Utf16BE:
        return encodeUtf16(text, false);
    }
    return {};
}

QByteArray byteOrderMark(TextEncoding e)
{
    if (!e.bom)
        return {};
    switch (e.encoding) {
    case Encoding::Utf8:
        return QByteArray("\xEF\xBB\xBF", 3);
    case Encoding::Utf16LE:
        return QByteArray("\xFF\xFE", 2);
    case Encoding::Utf16BE:
        return QByteArray("\xFE\xFF", 2);
    default:
        return {};
    }
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

Recognition recognise(QByteArrayView bytes)
{
    return find(bytes).recognition;
}

DecodedFile decodeFile(QByteArrayView bytes)
{
    Found found = find(bytes);
    const TextEncoding e = found.recognition.encoding;
    if (found.text)
        return {std::move(*found.text), found.recognition};
    const qsizetype skip = byteOrderMark(e).size();
    return {decode(e.encoding, bytes.sliced(skip)), found.recognition};
}

ForcedDecode decodeAs(Encoding e, QByteArrayView bytes)
{
    ForcedDecode result;
    const QByteArray mark = byteOrderMark({e, true});
    result.bom = !mark.isEmpty() && bytes.startsWith(mark);
    const QByteArrayView body = bytes.sliced(result.bom ? mark.size() : 0);
    result.text = decode(e, body);
    // Code page 932 folds its duplicate cells onto their twins (the same characters); that is
    // the program's reading of such files anyway, so it counts as keeping the text.
    if (e == Encoding::Cp932) {
        result.lossless = true;
    } else if ((e == Encoding::Utf16LE || e == Encoding::Utf16BE) &&
               !utf16Clear(result.text, body.size() % 2 != 0)) {
        result.lossless = false;
    } else {
        const EncodeResult back = encode(e, result.text);
        result.lossless = back.ok() && back.bytes == body;
    }
    return result;
}

bool declaredEncoding(QStringView text, Encoding *encoding, QString *name)
{
    QString declared;
    if (!hasDeclaration(text, &declared))
        return false;
    if (name)
        *name = declared;
    Encoding e;
    if (!encodingOfName(declared, &e))
        return false;
    if (encoding)
        *encoding = e;
    return true;
}

bool hasDeclaration(QStringView text, QString *name)
{
    const QString head = text.first(qMin<qsizetype>(text.size(), 1024)).toString().toLower();
    const QString declared = declaredName(head);
    if (declared.isEmpty())
        return false;
    if (name) {
        // As written in the page, not lowered.
        const qsizetype at = head.indexOf(declared);
        *name = at >= 0 && at + declared.size() <= text.size()
                    ? text.sliced(at, declared.size()).toString()
                    : declared;
    }
    return true;
}

QString displayName(Encoding e)
{
    switch (e) {
    case Encoding::Cp932:
        return QStringLiteral("Shift_JIS");
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::EucJp:
        return QStringLiteral("EUC-JP");
    case Encoding::Iso2022Jp:
        return QStringLiteral("ISO-2022-JP");
    case Encoding::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case Encoding::Utf16BE:
        return QStringLiteral("UTF-16BE");
    }
    return {};
}

QString longName(Encoding e)
{
    if (e == Encoding::Cp932)
        return QStringLiteral("シフトJIS（コード ページ 932）");
    if (e == Encoding::Iso2022Jp)
        return QStringLiteral("ISO-2022-JP（JIS）");
    return displayName(e);
}

QString statusText(TextEncoding e, EncodingOrigin origin)
{
    QString text = displayName(e.encoding);
    if (e.bom && !byteOrderMark(e).isEmpty())
        text += QStringLiteral("（BOM付き）");
    if (origin == EncodingOrigin::Default)
        text += QStringLiteral("（既定）");
    else if (origin == EncodingOrigin::Chosen)
        text += QStringLiteral("（指定）");
    return text;
}

} // namespace zimo::encoding
