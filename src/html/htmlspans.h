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
    Comment,   // "<!-- ... -->", and "</" followed by no letter, up to ">"
    Doctype,   // "<!DOCTYPE ...>", any other "<! ... >" and "<? ... >"
    Script,    // the contents of script and style, of xmp, iframe, noembed and noframes (raw
               // text), and everything after <plaintext>
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
        Text,        // ordinary text, or the contents of a raw element (see Raw)
        Comment,     // inside "<!--"
        Declaration, // inside "<!" or "<?"
        Tag,         // inside a tag, between attributes
        AfterName,   // after an attribute's name: an "=" may follow
        BeforeValue, // after the "=": the value follows
        Double,      // inside a value in double quotes
        Single,      // inside a value in single quotes
        Cdata,       // inside "<![CDATA[" in SVG or MathML, up to "]]>": text
        Bogus,       // inside "</" followed by no letter, up to ">": a comment to the browser
    };
    // What the text is read as: the contents of an element taken as they stand (no tags inside),
    // or SVG and MathML (where those elements are not special and CDATA sections are text).
    enum class Raw : std::uint8_t {
        None,
        Script,              // script data, up to </script>
        Style,               // RAWTEXT up to </style>
        ScriptEscaped,       // script data after "<!--": up to "-->", or </script>
        ScriptDoubleEscaped, // after "<!--" and "<script": up to </script> (back to escaped)
        Title,               // RCDATA: text and references, up to </title>
        Textarea,            // RCDATA up to </textarea>
        Xmp,                 // RAWTEXT up to </xmp>
        Iframe,              // RAWTEXT up to </iframe>
        Noembed,             // RAWTEXT up to </noembed>
        Noframes,            // RAWTEXT up to </noframes>
        Plaintext,           // everything to the end of the page
        Foreign,             // inside <svg> or <math>
        ForeignOpening,      // in the tag <svg ...> or <math ...> itself, opened from HTML
        ForeignHtml,         // inside SVG's title, desc or foreignObject: HTML tags, still SVG
    };

    In in = In::Text;
    // Inside a tag: the element the tag opens, when it is one of the raw ones (Foreign inside SVG
    // or MathML). In text: the raw element whose contents these are, or Foreign.
    Raw raw = Raw::None;

    bool operator==(const HtmlState &) const = default;

    int toInt() const { return int(in) | int(raw) << 4; }
    static HtmlState fromInt(int packed)
    {
        HtmlState s;
        s.in = In(packed & 0xF);
        s.raw = Raw((packed >> 4) & 0xF);
        return s;
    }
    // Whether this is a state the scanner can be in (fromInt() of any int below packedLimit
    // gives one, or one that is not).
    bool isValid() const { return in <= In::Bogus && raw <= Raw::ForeignHtml; }
    // Every packed value is below this (the text area keeps it in 8 bits).
    static constexpr int packedLimit = 1 << 8;
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
