#pragma once

#include <QList>
#include <QStringView>

#include <cstdint>

namespace zimo {

// What a stretch of an HTML page is, for colouring it. Text outside every other kind gets no
// span and keeps the normal colour.
enum class HtmlKind : std::uint8_t {
    TagMark,   // "<", "</", ">", "/>" and the "=" between an attribute and its value
    TagName,   // the element's name, any case
    AttrName,  // an attribute's name
    AttrValue, // an attribute's value with its quotes
    Reference, // a character or entity reference: "&amp;", "&#12354;", "&#x3042;"
    Comment,   // "<!-- ... -->"
    Doctype,   // "<!DOCTYPE ...>", any other "<! ... >" and "<? ... >"
    Script,    // what stands between <script ...> and </script>, or <style ...> and </style>
};

struct HtmlSpan
{
    qsizetype start = 0;
    qsizetype length = 0;
    HtmlKind kind = HtmlKind::TagMark;
    bool operator==(const HtmlSpan &) const = default;
};

// Where the scanner stands at the end of a line: what the next line starts in. A line end is
// white space inside a tag, so a tag, an attribute value, a comment or a script can run over
// lines. The state packs into a small non-negative int (for a text block's user state).
struct HtmlState
{
    enum class In : std::uint8_t {
        Text,        // ordinary text, or the contents of a script or style element
        Comment,     // inside "<!--"
        Declaration, // inside "<!" or "<?"
        Tag,         // inside a tag, between attributes
        AfterName,   // after an attribute's name: an "=" may follow
        BeforeValue, // after the "=": the value follows
        Double,      // inside a value in double quotes
        Single,      // inside a value in single quotes
    };
    // The element whose contents are taken as they stand (no tags, no references inside).
    enum class Raw : std::uint8_t { None, Script, Style };

    In in = In::Text;
    // Inside a tag: the element the tag opens, when it is one of the raw ones. In text: the raw
    // element whose contents these are.
    Raw raw = Raw::None;

    bool operator==(const HtmlState &) const = default;

    int toInt() const { return int(in) | int(raw) << 4; }
    static HtmlState fromInt(int packed)
    {
        HtmlState s;
        s.in = In(packed & 0xF);
        s.raw = Raw((packed >> 4) & 0x3);
        return s;
    }
    // Every packed value is below this.
    static constexpr int packedLimit = 1 << 6;
};

struct HtmlLine
{
    QList<HtmlSpan> spans; // in order, not overlapping, neighbours of one kind joined
    HtmlState out;         // the state the next line starts in
};

// Scans one line of an HTML page that starts in state `in`. The line holds no line end; the
// stand-ins U+DC0D and U+DC0A (a lone CR or LF kept inside a line) count as white space, as any
// line end does.
HtmlLine htmlSpans(QStringView line, HtmlState in);

// The state after the line, without collecting spans: what htmlSpans(line, in).out gives.
HtmlState htmlLineEnd(QStringView line, HtmlState in);

} // namespace zimo
