#include "html/htmlspans.h"

namespace zimo {

namespace {

using In = HtmlState::In;
using Raw = HtmlState::Raw;

bool isWhite(char16_t c)
{
    // U+DC0D / U+DC0A, the stand-ins some views keep for a lone CR or LF, count as blanks too;
    // U+2028 is a line separator.
    return c == u' ' || c == u'\t' || c == u'\f' || c == u'\r' || c == u'\n' || c == 0xDC0D ||
           c == 0xDC0A || c == 0x2028;
}

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(char16_t c)
{
    return isAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A tag's or an attribute's name runs to white space, "/", ">" (and for an attribute "=").
qsizetype nameEnd(QStringView line, qsizetype i, bool attribute)
{
    const qsizetype n = line.size();
    while (i < n) {
        const char16_t c = line[i].unicode();
        if (isWhite(c) || c == u'/' || c == u'>' || (attribute && c == u'='))
            break;
        ++i;
    }
    return i;
}

Raw rawElement(QStringView name)
{
    if (name.compare(u"script", Qt::CaseInsensitive) == 0)
        return Raw::Script;
    if (name.compare(u"style", Qt::CaseInsensitive) == 0)
        return Raw::Style;
    return Raw::None;
}

// The length of the character or entity reference at `i` ("&"), 0 when there is none: "&#123;",
// "&#x3042;" (the ";" may be left out there, as browsers allow) or "&name;" (the ";" needed, so
// that "&" in an address such as "?a=1&b=2" is not taken for one).
qsizetype referenceLength(QStringView line, qsizetype i)
{
    const qsizetype n = line.size();
    qsizetype j = i + 1;
    if (j < n && line[j] == u'#') {
        ++j;
        const bool hex = j < n && (line[j] == u'x' || line[j] == u'X');
        if (hex)
            ++j;
        const qsizetype digits = j;
        while (j < n && (hex ? isHexDigit(line[j].unicode()) : isAsciiDigit(line[j].unicode())))
            ++j;
        if (j == digits)
            return 0;
        if (j < n && line[j] == u';')
            ++j;
        return j - i;
    }
    if (j >= n || !isAsciiLetter(line[j].unicode()))
        return 0;
    while (j < n && (isAsciiLetter(line[j].unicode()) || isAsciiDigit(line[j].unicode())))
        ++j;
    return j < n && line[j] == u';' ? j + 1 - i : 0;
}

// Where the end tag of the raw element starts ("</script" or "</style" followed by white space,
// "/", ">" or the line's end), or -1.
qsizetype rawEnd(QStringView line, qsizetype from, Raw raw)
{
    const QStringView name = raw == Raw::Script ? QStringView(u"script") : QStringView(u"style");
    const qsizetype n = line.size();
    for (qsizetype i = line.indexOf(u"</", from); i >= 0; i = line.indexOf(u"</", i + 1)) {
        const qsizetype end = i + 2 + name.size();
        if (end > n || line.mid(i + 2, name.size()).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (end == n || isWhite(line[end].unicode()) || line[end] == u'/' || line[end] == u'>')
            return i;
    }
    return -1;
}

// Collects spans, joining neighbours of one kind; or, with no list, collects nothing.
class Sink
{
public:
    explicit Sink(QList<HtmlSpan> *spans) : m_spans(spans) {}
    bool wanted() const { return m_spans != nullptr; }
    void add(HtmlKind kind, qsizetype from, qsizetype to)
    {
        if (!m_spans || to <= from)
            return;
        if (!m_spans->isEmpty()) {
            HtmlSpan &last = m_spans->last();
            if (last.kind == kind && last.start + last.length == from) {
                last.length = to - last.start;
                return;
            }
        }
        m_spans->append({from, to - from, kind});
    }

private:
    QList<HtmlSpan> *m_spans;
};

// The attribute value from `i` up to `to` (not included), with the references inside it.
void valueWithReferences(QStringView line, qsizetype i, qsizetype to, Sink &sink)
{
    if (!sink.wanted())
        return;
    qsizetype from = i;
    while (i < to) {
        if (line[i] == u'&') {
            const qsizetype length = referenceLength(line.first(to), i);
            if (length > 0) {
                sink.add(HtmlKind::AttrValue, from, i);
                sink.add(HtmlKind::Reference, i, i + length);
                i += length;
                from = i;
                continue;
            }
        }
        ++i;
    }
    sink.add(HtmlKind::AttrValue, from, to);
}

HtmlState scan(QStringView line, HtmlState state, Sink &sink)
{
    const qsizetype n = line.size();
    qsizetype i = 0;
    // A tag's start: "<" or "</", then the name.
    auto startTag = [&](qsizetype at, qsizetype markLength, bool endTag) {
        const qsizetype nameFrom = at + markLength;
        const qsizetype nameTo = nameEnd(line, nameFrom, false);
        sink.add(HtmlKind::TagMark, at, nameFrom);
        sink.add(HtmlKind::TagName, nameFrom, nameTo);
        state.in = In::Tag;
        state.raw = endTag ? Raw::None : rawElement(line.sliced(nameFrom, nameTo - nameFrom));
        i = nameTo;
    };
    while (i < n) {
        switch (state.in) {
        case In::Text: {
            if (state.raw != Raw::None) {
                const qsizetype end = rawEnd(line, i, state.raw);
                if (end < 0) {
                    sink.add(HtmlKind::Script, i, n);
                    i = n;
                } else {
                    sink.add(HtmlKind::Script, i, end);
                    startTag(end, 2, true);
                }
                break;
            }
            if (!sink.wanted()) {
                // Only "<" changes the state: skip to it.
                const qsizetype next = line.indexOf(u'<', i);
                if (next < 0) {
                    i = n;
                    break;
                }
                i = next;
            }
            const char16_t c = line[i].unicode();
            const char16_t c1 = i + 1 < n ? line[i + 1].unicode() : 0;
            const char16_t c2 = i + 2 < n ? line[i + 2].unicode() : 0;
            if (c == u'<') {
                if (c1 == u'!' && c2 == u'-' && i + 3 < n && line[i + 3] == u'-') {
                    sink.add(HtmlKind::Comment, i, i + 4);
                    state.in = In::Comment;
                    i += 4;
                } else if (c1 == u'!' || c1 == u'?') {
                    sink.add(HtmlKind::Doctype, i, i + 2);
                    state.in = In::Declaration;
                    i += 2;
                } else if (isAsciiLetter(c1)) {
                    startTag(i, 1, false);
                } else if (c1 == u'/' && isAsciiLetter(c2)) {
                    startTag(i, 2, true);
                } else {
                    ++i; // a "<" that starts no tag is text
                }
            } else if (c == u'&') {
                const qsizetype length = referenceLength(line, i);
                sink.add(HtmlKind::Reference, i, i + length);
                i += std::max<qsizetype>(length, 1);
            } else {
                ++i;
            }
            break;
        }
        case In::Comment: {
            const qsizetype end = line.indexOf(u"-->", i);
            const qsizetype to = end < 0 ? n : end + 3;
            sink.add(HtmlKind::Comment, i, to);
            if (end >= 0)
                state.in = In::Text;
            i = to;
            break;
        }
        case In::Declaration: {
            const qsizetype end = line.indexOf(u'>', i);
            const qsizetype to = end < 0 ? n : end + 1;
            sink.add(HtmlKind::Doctype, i, to);
            if (end >= 0)
                state.in = In::Text;
            i = to;
            break;
        }
        case In::Tag:
        case In::AfterName:
        case In::BeforeValue: {
            const char16_t c = line[i].unicode();
            if (isWhite(c)) {
                ++i;
            } else if (c == u'>') {
                // The contents of a script or style element start here (state.raw says which).
                sink.add(HtmlKind::TagMark, i, i + 1);
                state.in = In::Text;
                ++i;
            } else if (c == u'/' && i + 1 < n && line[i + 1] == u'>') {
                sink.add(HtmlKind::TagMark, i, i + 2);
                state.in = In::Text;
                i += 2;
            } else if (state.in == In::BeforeValue) {
                if (c == u'"' || c == u'\'') {
                    sink.add(HtmlKind::AttrValue, i, i + 1);
                    state.in = c == u'"' ? In::Double : In::Single;
                    ++i;
                } else {
                    qsizetype to = i;
                    while (to < n && !isWhite(line[to].unicode()) && line[to] != u'>')
                        ++to;
                    valueWithReferences(line, i, to, sink);
                    state.in = In::Tag;
                    i = to;
                }
            } else if (c == u'=' && state.in == In::AfterName) {
                sink.add(HtmlKind::TagMark, i, i + 1);
                state.in = In::BeforeValue;
                ++i;
            } else if (c == u'/') {
                sink.add(HtmlKind::TagMark, i, i + 1);
                state.in = In::Tag;
                ++i;
            } else {
                // An attribute's name (a stray "=" or quote is taken into it, as browsers do).
                const qsizetype to = std::max(nameEnd(line, i + 1, true), i + 1);
                sink.add(HtmlKind::AttrName, i, to);
                state.in = In::AfterName;
                i = to;
            }
            break;
        }
        case In::Double:
        case In::Single: {
            const qsizetype end = line.indexOf(state.in == In::Double ? u'"' : u'\'', i);
            const qsizetype to = end < 0 ? n : end;
            valueWithReferences(line, i, to, sink);
            if (end >= 0) {
                sink.add(HtmlKind::AttrValue, end, end + 1);
                state.in = In::Tag;
                i = end + 1;
            } else {
                i = n;
            }
            break;
        }
        }
    }
    return state;
}

} // namespace

HtmlLine htmlSpans(QStringView line, HtmlState in)
{
    HtmlLine result;
    Sink sink(&result.spans);
    result.out = scan(line, in, sink);
    return result;
}

HtmlState htmlLineEnd(QStringView line, HtmlState in)
{
    Sink none(nullptr);
    return scan(line, in, none);
}

} // namespace zimo
