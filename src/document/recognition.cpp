#include "document/codec.h"
#include "document/iconvconverter.h"

#include <cstring>
#include <optional>

// What a file's bytes are: the rules of encoding::recognise, explained with what they decide in
// docs/encodings.md.

namespace zimo::encoding {

using namespace codec;
using namespace detail;

namespace {

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
    return bytes.contains("\x1b$") || bytes.contains("\x1b(");
}

// Whether a unit is of the kind UTF-16 text is made of: ASCII text and its controls, Latin-1,
// general punctuation, CJK symbols and kana, kanji, full-width forms.
bool textUnit(char16_t c)
{
    return (c >= 0x20 && c <= 0x7E) || c == 0x09 || c == 0x0A || c == 0x0D ||
           (c >= 0xA0 && c <= 0xFF) || (c >= 0x2000 && c <= 0x206F) ||
           (c >= 0x2460 && c <= 0x27BF) || (c >= 0x3000 && c <= 0x30FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

// The byte order of UTF-16 without a byte-order mark, when the evidence is strong: an even
// number of bytes, in that order a line break and only whole surrogate pairs, and at least 95 %
// of the units text (textUnit). Code page 932, UTF-8 and EUC-JP text never holds a zero byte,
// which a UTF-16 line break has: files without one are passed over at once.
std::optional<Encoding> utf16WithoutMark(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    if (n < 4 || n % 2 != 0 || !std::memchr(bytes.data(), 0, size_t(n)))
        return {};
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    for (const bool little : {true, false}) {
        qsizetype text = 0;
        bool lineBreak = false;
        bool pairs = true;
        const qsizetype units = n / 2;
        for (qsizetype k = 0; k < units && pairs; ++k) {
            const char16_t c = little ? char16_t(p[2 * k] | p[2 * k + 1] << 8)
                                      : char16_t(p[2 * k] << 8 | p[2 * k + 1]);
            if (isHighSurrogate(c)) {
                const qsizetype next = k + 1;
                const char16_t d = next < units ? (little ? char16_t(p[2 * next] | p[2 * next + 1] << 8)
                                                          : char16_t(p[2 * next] << 8 | p[2 * next + 1]))
                                                : 0;
                pairs = isLowSurrogate(d);
                text += 2;
                ++k;
                continue;
            }
            if (isLowSurrogate(c)) {
                pairs = false;
                break;
            }
            lineBreak |= c == 0x0A || c == 0x0D;
            text += textUnit(c);
        }
        if (pairs && lineBreak && text * 20 >= units * 19)
            return little ? Encoding::Utf16LE : Encoding::Utf16BE;
    }
    return {};
}

// For bytes valid both as UTF-8 (without a three-byte sequence) and as code page 932: whether
// the UTF-8 reading is plausible Western text: a letter beside an ASCII letter inside a word
// (café), a word of three or more letters beyond ASCII (Привет), or a Latin-1 sign (©, °, the
// no-break space). Otherwise the code page 932 reading, half-width katakana, is taken (C3 B7 is
// ﾃｷ, and ÷ in UTF-8; D0 BD D0 BD is ﾐｽﾐｽ, and нн).
bool plausibleWestern(QStringView text)
{
    const qsizetype n = text.size();
    auto asciiLetter = [&](qsizetype k) {
        return k >= 0 && k < n && text[k].unicode() < 0x80 && text[k].isLetter();
    };
    qsizetype run = 0; // letters beyond ASCII in a row
    for (qsizetype k = 0; k < n; ++k) {
        const QChar c = text[k];
        if (c.unicode() < 0x80 || !c.isLetter()) {
            run = 0;
            if (c.unicode() >= 0xA0 && c.unicode() <= 0xBF)
                return true;
            continue;
        }
        if (++run >= 3 || asciiLetter(k - 1) || asciiLetter(k + 1))
            return true;
    }
    return false;
}

struct Found
{
    Recognition recognition;
    // The text, when finding the encoding already decoded all the bytes in it.
    std::optional<QString> text;
    // Decided by the shape of the bytes alone, where another reading was as complete (a snippet
    // takes its document's encoding then).
    bool weak = false;
};

Found find(QByteArrayView bytes)
{
    const auto starts = [&](const char *mark, qsizetype size) {
        return bytes.size() >= size && std::memcmp(bytes.data(), mark, size_t(size)) == 0;
    };
    auto recognised = [](Encoding e, bool bom = false,
                         EncodingForm form = EncodingForm::Standard) -> Recognition {
        return {{e, bom, form}, EncodingOrigin::Recognised};
    };
    // 1. A byte-order mark.
    if (starts("\xEF\xBB\xBF", 3))
        return {recognised(Encoding::Utf8, true), {}};
    if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2)) {
        const Encoding e = bytes[0] == '\xFF' ? Encoding::Utf16LE : Encoding::Utf16BE;
        const QByteArrayView rest = bytes.sliced(2);
        QString text = decodeUtf16(rest, e == Encoding::Utf16LE);
        if (utf16Clear(text, rest.size() % 2 != 0))
            return {recognised(e, true), std::move(text)};
        return {{{Encoding::Cp932, false}, EncodingOrigin::Default}, {}};
    }
    // 2. UTF-16 without a mark, when the bytes leave no doubt.
    if (const std::optional<Encoding> e = utf16WithoutMark(bytes)) {
        QString text = decodeUtf16(bytes, *e == Encoding::Utf16LE);
        if (utf16Clear(text, false))
            return {recognised(*e), std::move(text)};
    }

    Encoding declared = Encoding::Cp932;
    const bool hasDecl = declaredInBytes(bytes, &declared);

    // 3. Seven-bit files.
    if (!hasHighByte(bytes)) {
        if (isIso2022Candidate(bytes)) {
            bool complete = false;
            QString text = decodeIso2022Jp(bytes, &complete);
            if (complete && documentKeepsBytes(bytes, text, Encoding::Iso2022Jp))
                return {recognised(Encoding::Iso2022Jp), std::move(text)};
        }
        if (hasDecl && declared == Encoding::Utf8)
            return {recognised(Encoding::Utf8), {}};
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
    std::optional<EucShape> shape;
    QString eucText;
    auto validEuc = [&] {
        if (!shape) {
            shape = eucShape(bytes);
            if (shape->valid) {
                eucText = codecFor(Encoding::EucJp).decode(bytes);
                shape->valid = !holdsStandIn(eucText);
            }
        }
        return shape->valid;
    };
    auto euc = [&] { return recognised(Encoding::EucJp, false, shape->form()); };
    std::optional<Utf8Check> utf8;
    auto utf8Check = [&] {
        if (!utf8)
            utf8 = checkUtf8(bytes);
        return *utf8;
    };

    // 4. The page's own declaration, when the bytes are valid in it.
    if (hasDecl) {
        if (declared == Encoding::Cp932 && !holdsStandIn(cp932Reading()))
            return {recognised(Encoding::Cp932), std::move(cp932Text)};
        if (declared == Encoding::EucJp && validEuc())
            return {euc(), std::move(eucText)};
        if (declared == Encoding::Utf8 && utf8Check().valid)
            return {recognised(Encoding::Utf8), {}};
    }

    // 5. UTF-8; with no sequence longer than two bytes, and complete as code page 932 too, the
    // more plausible reading.
    if (utf8Check().valid && utf8Check().multiByte) {
        if (utf8Check().longSequence || holdsStandIn(cp932Reading()))
            return {recognised(Encoding::Utf8), {}};
        QString text = codecFor(Encoding::Utf8).decode(bytes);
        if (plausibleWestern(text))
            return {recognised(Encoding::Utf8), std::move(text)};
        return {recognised(Encoding::Cp932), std::move(cp932Text), true};
    }

    // 6. EUC-JP.
    if (validEuc()) {
        // Kana first: it decides most real pages without reading them as code page 932 too.
        if (mostlyKana(eucText))
            return {euc(), std::move(eucText)};
        const QString &sjis = cp932Reading();
        if (holdsStandIn(sjis) || holdsDoubleByteCharacter(sjis))
            return {euc(), std::move(eucText)};
    }

    // 7. Code page 932.
    return {{{Encoding::Cp932, false}, EncodingOrigin::Default}, std::move(cp932Text), true};
}

} // namespace

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

DecodedFile decodeFile(QByteArrayView bytes, Encoding document)
{
    Found found = find(bytes);
    if (found.weak && found.recognition.encoding.encoding != document) {
        // The document's reading, when it is complete.
        bool complete = false;
        QString text;
        if (document == Encoding::Cp932) {
            text = cp932::decode(bytes);
            complete = !holdsStandIn(text);
        } else if (document == Encoding::Utf8) {
            complete = checkUtf8(bytes).valid;
            if (complete)
                text = codecFor(Encoding::Utf8).decode(bytes);
        } else if (document == Encoding::EucJp && eucShape(bytes).valid) {
            text = codecFor(Encoding::EucJp).decode(bytes);
            complete = !holdsStandIn(text);
        }
        if (complete)
            return {std::move(text), {{document, false}, EncodingOrigin::Recognised}};
    }
    const TextEncoding e = found.recognition.encoding;
    if (found.text)
        return {std::move(*found.text), found.recognition};
    const qsizetype skip = byteOrderMark(e).size();
    return {decode(e.encoding, bytes.sliced(skip)), found.recognition};
}

ForcedDecode decodeAs(Encoding e, QByteArrayView bytes)
{
    ForcedDecode result;
    const Codec &codec = codecFor(e);
    const QByteArrayView mark = codec.byteOrderMark();
    result.bom = !mark.isEmpty() && bytes.startsWith(mark);
    const QByteArrayView body = bytes.sliced(result.bom ? mark.size() : 0);
    result.text = codec.decode(body);
    result.lossless = codec.keepsBytes(body, result.text);
    if (e == Encoding::EucJp)
        result.form = eucShape(body).form();
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

} // namespace zimo::encoding
