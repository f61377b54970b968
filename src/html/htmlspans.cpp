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

bool isForeign(Raw raw)
{
    return raw == Raw::Foreign || raw == Raw::ForeignOpening || raw == Raw::ForeignHtml;
}

bool isIntegrationPoint(QStringView name)
{
    return name.compare(u"title", Qt::CaseInsensitive) == 0 ||
           name.compare(u"desc", Qt::CaseInsensitive) == 0 ||
           name.compare(u"foreignObject", Qt::CaseInsensitive) == 0;
}

// The name of the element whose end tag ends these contents.
QStringView rawName(Raw raw)
{
    switch (raw) {
    case Raw::Script:
    case Raw::ScriptEscaped:
    case Raw::ScriptDoubleEscaped:
        return u"script";
    case Raw::Style:
        return u"style";
    case Raw::Title:
        return u"title";
    case Raw::Textarea:
        return u"textarea";
    case Raw::Xmp:
        return u"xmp";
    case Raw::Iframe:
        return u"iframe";
    case Raw::Noembed:
        return u"noembed";
    case Raw::Noframes:
        return u"noframes";
    default:
        return {};
    }
}

// What a start tag of this name opens, in HTML text (`around` None) or inside SVG or MathML
// (`around` Foreign): there no element is raw, and only the elements that leave SVG and MathML in
// a browser ("<p>", "<b>", "<table>", ...) go back to HTML; SVG's title, desc and foreignObject
// hold HTML tags without leaving SVG (`around` ForeignHtml: nothing opens or leaves there).
Raw rawElement(QStringView name, Raw around)
{
    auto is = [&](QStringView n) { return name.compare(n, Qt::CaseInsensitive) == 0; };
    if (around == Raw::ForeignHtml)
        return Raw::ForeignHtml;
    if (around == Raw::Foreign) {
        if (isIntegrationPoint(name))
            return Raw::ForeignHtml;
        static const char16_t *const leave[] = {
            u"b", u"big", u"blockquote", u"body", u"br", u"center", u"code", u"dd", u"div", u"dl",
            u"dt", u"em", u"embed", u"h1", u"h2", u"h3", u"h4", u"h5", u"h6", u"head", u"hr",
            u"i", u"img", u"li", u"listing", u"menu", u"meta", u"nobr", u"ol", u"p", u"pre",
            u"ruby", u"s", u"small", u"span", u"strong", u"strike", u"sub", u"sup", u"table",
            u"tt", u"u", u"ul", u"var"};
        for (const char16_t *n : leave)
            if (is(n))
                return rawElement(name, Raw::None);
        return Raw::Foreign;
    }
    switch (name.size()) {
    case 3:
        return is(u"xmp") ? Raw::Xmp : is(u"svg") ? Raw::ForeignOpening : Raw::None;
    case 4:
        return is(u"math") ? Raw::ForeignOpening : Raw::None;
    case 5:
        return is(u"style") ? Raw::Style : is(u"title") ? Raw::Title : Raw::None;
    case 6:
        return is(u"script") ? Raw::Script : is(u"iframe") ? Raw::Iframe : Raw::None;
    case 7:
        return is(u"noembed") ? Raw::Noembed : Raw::None;
    case 8:
        return is(u"textarea") ? Raw::Textarea : is(u"noframes") ? Raw::Noframes : Raw::None;
    case 9:
        return is(u"plaintext") ? Raw::Plaintext : Raw::None;
    default:
        return Raw::None;
    }
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

// Whether `name` stands at `at`, in any case, followed by white space, "/", ">" or the line's
// end (a line end is white space).
bool nameAt(QStringView line, qsizetype at, QStringView name)
{
    const qsizetype end = at + name.size();
    const qsizetype n = line.size();
    if (end > n || line.sliced(at, name.size()).compare(name, Qt::CaseInsensitive) != 0)
        return false;
    return end == n || isWhite(line[end].unicode()) || line[end] == u'/' || line[end] == u'>';
}

// Where the end tag of the raw element starts ("</script" or the like followed by white space,
// "/", ">" or the line's end), or -1.
qsizetype rawEnd(QStringView line, qsizetype from, QStringView name)
{
    for (qsizetype i = line.indexOf(u"</", from); i >= 0; i = line.indexOf(u"</", i + 1))
        if (nameAt(line, i + 2, name))
            return i;
    return -1;
}

// Script data from `i` on, in the state `raw` (Script, ScriptEscaped or ScriptDoubleEscaped), as
// a browser reads it: "<!--" escapes it, and in the escaped text "<script" starts a part that
// "</script>" does not end; "-->" ends either. Returns where the script's end tag starts (or the
// line's end, -1 then), `raw` the state there. A line end breaks every run of dashes.
qsizetype scriptEnd(QStringView line, qsizetype i, Raw &raw)
{
    const qsizetype n = line.size();
    int dashes = 0;
    while (i < n) {
        if (raw == Raw::Script) {
            // Only "<!--" and "</script" matter here.
            const qsizetype lt = line.indexOf(u'<', i);
            if (lt < 0)
                return -1;
            if (lt + 1 < n && line[lt + 1] == u'/' && nameAt(line, lt + 2, u"script"))
                return lt;
            if (line.sliced(lt).startsWith(u"<!--")) {
                raw = Raw::ScriptEscaped;
                dashes = 2; // "<!-->" ends the escape at once
                i = lt + 4;
            } else {
                i = lt + 1;
            }
            continue;
        }
        const char16_t c = line[i].unicode();
        if (c == u'-') {
            ++dashes;
            ++i;
            continue;
        }
        if (c == u'>' && dashes >= 2) {
            raw = Raw::Script;
        } else if (c == u'<') {
            const bool endTag = i + 1 < n && line[i + 1] == u'/';
            if (raw == Raw::ScriptEscaped) {
                if (endTag && nameAt(line, i + 2, u"script"))
                    return i;
                if (nameAt(line, i + 1, u"script")) {
                    raw = Raw::ScriptDoubleEscaped;
                    i += 7;
                    dashes = 0;
                    continue;
                }
            } else if (endTag && nameAt(line, i + 2, u"script")) {
                raw = Raw::ScriptEscaped;
                i += 8;
                dashes = 0;
                continue;
            }
        }
        dashes = 0;
        ++i;
    }
    return -1;
}

// Where a comment ends after `from`: the end of the first "-->" or "--!>", or -1.
qsizetype commentEnd(QStringView line, qsizetype from)
{
    for (qsizetype i = line.indexOf(u"--", from); i >= 0; i = line.indexOf(u"--", i + 1)) {
        qsizetype j = i + 2;
        while (j < line.size() && line[j] == u'-')
            ++j;
        if (j < line.size() && line[j] == u'>')
            return j + 1;
        if (j + 1 < line.size() && line[j] == u'!' && line[j + 1] == u'>')
            return j + 2;
        i = j - 1;
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

// The references in text from `i` up to `to` (not included).
void textReferences(QStringView line, qsizetype i, qsizetype to, Sink &sink)
{
    if (!sink.wanted())
        return;
    const QStringView text = line.first(to);
    for (i = text.indexOf(u'&', i); i >= 0; i = text.indexOf(u'&', i)) {
        const qsizetype length = referenceLength(text, i);
        sink.add(HtmlKind::Reference, i, i + length);
        i += std::max<qsizetype>(length, 1);
    }
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
        const QStringView name = line.sliced(nameFrom, nameTo - nameFrom);
        const Raw around = state.raw == Raw::ForeignHtml ? Raw::ForeignHtml
                           : isForeign(state.raw)         ? Raw::Foreign
                                                          : Raw::None;
        state.in = In::Tag;
        if (!endTag)
            state.raw = rawElement(name, around);
        else if (around == Raw::None || name.compare(u"svg", Qt::CaseInsensitive) == 0 ||
                 name.compare(u"math", Qt::CaseInsensitive) == 0)
            state.raw = Raw::None;
        else if (around == Raw::ForeignHtml && !isIntegrationPoint(name))
            state.raw = Raw::ForeignHtml;
        else
            state.raw = Raw::Foreign;
        i = nameTo;
    };
    while (i < n) {
        switch (state.in) {
        case In::Text: {
            switch (state.raw) {
            case Raw::None:
            case Raw::Foreign:
            case Raw::ForeignOpening:
            case Raw::ForeignHtml:
                break;
            case Raw::Plaintext:
                sink.add(HtmlKind::Script, i, n);
                i = n;
                continue;
            case Raw::Title:
            case Raw::Textarea: {
                // Text and references, no tags, up to the element's end tag.
                const qsizetype end = rawEnd(line, i, rawName(state.raw));
                textReferences(line, i, end < 0 ? n : end, sink);
                if (end < 0)
                    i = n;
                else
                    startTag(end, 2, true);
                continue;
            }
            default: {
                Raw raw = state.raw;
                const qsizetype end = raw == Raw::Script || raw == Raw::ScriptEscaped ||
                                              raw == Raw::ScriptDoubleEscaped
                                          ? scriptEnd(line, i, raw)
                                          : rawEnd(line, i, rawName(raw));
                state.raw = raw;
                if (end < 0) {
                    sink.add(HtmlKind::Script, i, n);
                    i = n;
                } else {
                    sink.add(HtmlKind::Script, i, end);
                    startTag(end, 2, true);
                }
                continue;
            }
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
                    // "<!-->" and "<!--->" are whole comments.
                    const QStringView rest = line.sliced(i + 4);
                    const qsizetype shortEnd =
                        rest.startsWith(u'>') ? 5 : rest.startsWith(u"->") ? 6 : 0;
                    if (shortEnd > 0) {
                        sink.add(HtmlKind::Comment, i, i + shortEnd);
                        i += shortEnd;
                    } else {
                        sink.add(HtmlKind::Comment, i, i + 4);
                        state.in = In::Comment;
                        i += 4;
                    }
                } else if (c1 == u'!' && state.raw == Raw::Foreign &&
                           line.sliced(i).startsWith(u"<![CDATA[")) {
                    // Text inside SVG and MathML, markers and all.
                    state.in = In::Cdata;
                    i += 9;
                } else if (c1 == u'!' || c1 == u'?') {
                    sink.add(HtmlKind::Doctype, i, i + 2);
                    state.in = In::Declaration;
                    i += 2;
                } else if (isAsciiLetter(c1)) {
                    startTag(i, 1, false);
                } else if (c1 == u'/' && isAsciiLetter(c2)) {
                    startTag(i, 2, true);
                } else if (c1 == u'/' && c2 == u'>') {
                    i += 3; // "</>" is nothing at all
                } else if (c1 == u'/') {
                    // "</" and no letter: a comment up to ">" (a line end is no letter).
                    sink.add(HtmlKind::Comment, i, i + 2);
                    state.in = In::Bogus;
                    i += 2;
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
            const qsizetype end = commentEnd(line, i);
            const qsizetype to = end < 0 ? n : end;
            sink.add(HtmlKind::Comment, i, to);
            if (end >= 0)
                state.in = In::Text;
            i = to;
            break;
        }
        case In::Bogus: {
            const qsizetype end = line.indexOf(u'>', i);
            const qsizetype to = end < 0 ? n : end + 1;
            sink.add(HtmlKind::Comment, i, to);
            if (end >= 0)
                state.in = In::Text;
            i = to;
            break;
        }
        case In::Cdata: {
            const qsizetype end = line.indexOf(u"]]>", i);
            if (end >= 0)
                state.in = In::Text;
            i = end < 0 ? n : end + 3;
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
                // The contents of a raw element start here (state.raw says which).
                sink.add(HtmlKind::TagMark, i, i + 1);
                state.in = In::Text;
                if (state.raw == Raw::ForeignOpening)
                    state.raw = Raw::Foreign;
                ++i;
            } else if (c == u'/' && i + 1 < n && line[i + 1] == u'>') {
                sink.add(HtmlKind::TagMark, i, i + 2);
                state.in = In::Text;
                // A self-closed <svg/> or <math/> holds nothing; a self-closed raw element is
                // opened all the same, as in a browser.
                if (state.raw == Raw::ForeignOpening)
                    state.raw = Raw::None;
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
