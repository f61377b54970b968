// The HTML scanner behind the colours: the spans of each line and the state carried to the next.
//
// Expected spans are written into the line itself: k{...} marks a span of kind k around its
// characters (m tag mark, n tag name, a attribute name, v attribute value, r reference,
// c comment, d doctype, s script or style contents); text without a span stands as it is.

#include "html/htmlspans.h"

#include <QTest>

using namespace zimo;

namespace {

char letterOf(HtmlKind kind)
{
    switch (kind) {
    case HtmlKind::TagMark: return 'm';
    case HtmlKind::TagName: return 'n';
    case HtmlKind::AttrName: return 'a';
    case HtmlKind::AttrValue: return 'v';
    case HtmlKind::Reference: return 'r';
    case HtmlKind::Comment: return 'c';
    case HtmlKind::Doctype: return 'd';
    case HtmlKind::Script: return 's';
    }
    return '?';
}

// The line with its spans marked; spans that overlap, run backwards or leave the line show as
// "!" so that the comparison fails.
QString marked(QStringView line, const QList<HtmlSpan> &spans)
{
    QString out;
    qsizetype at = 0;
    for (const HtmlSpan &s : spans) {
        if (s.start < at || s.length <= 0 || s.start + s.length > line.size())
            return out + QStringLiteral("!");
        out += line.sliced(at, s.start - at);
        out += QLatin1Char(letterOf(s.kind));
        out += u'{';
        out += line.sliced(s.start, s.length);
        out += u'}';
        at = s.start + s.length;
    }
    out += line.sliced(at);
    return out;
}

QString stateName(HtmlState s)
{
    static const char *const ins[] = {"Text", "Comment", "Declaration", "Tag",
                                      "AfterName", "BeforeValue", "Double", "Single"};
    static const char *const ins2[] = {"Cdata", "Bogus"};
    static const char *const raws[] = {"",          "/script",   "/style",   "/script-escaped",
                                       "/script-double", "/title", "/textarea", "/xmp",
                                       "/iframe",   "/noembed",  "/noframes", "/plaintext",
                                       "/foreign",  "/foreign-opening", "/foreign-html"};
    const int in = int(s.in);
    return QString::fromLatin1(in < 8 ? ins[in] : ins2[in - 8]) + QString::fromLatin1(raws[int(s.raw)]);
}

const QChar loneCR(char16_t(0xDC0D));
const QChar loneLF(char16_t(0xDC0A));

} // namespace

class TestHtmlSpans : public QObject
{
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
    void everyStatePacks();
};

void TestHtmlSpans::lines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected"); // each line with its spans marked
    QTest::addColumn<QString>("end");          // the state after the last line

    QTest::newRow("tag with a double-quoted value")
        << QStringList{"<a href=\"x.html\">go</a>"}
        << QStringList{"m{<}n{a} a{href}m{=}v{\"x.html\"}m{>}gom{</}n{a}m{>}"} << "Text";
    QTest::newRow("upper case as the program writes it")
        << QStringList{"<BR><CENTER>x</CENTER><A HREF='i.html'>"}
        << QStringList{"m{<}n{BR}m{><}n{CENTER}m{>}xm{</}n{CENTER}m{><}n{A} a{HREF}m{=}v{'i.html'}m{>}"}
        << "Text";
    QTest::newRow("quote of the other kind inside a value")
        << QStringList{"<p title='say \"hi\"' class=\"it's\">"}
        << QStringList{"m{<}n{p} a{title}m{=}v{'say \"hi\"'} a{class}m{=}v{\"it's\"}m{>}"} << "Text";
    QTest::newRow("unquoted values, an attribute without one, blanks around =")
        << QStringList{"<td width=10 nowrap align = left>"}
        << QStringList{"m{<}n{td} a{width}m{=}v{10} a{nowrap} a{align} m{=} v{left}m{>}"} << "Text";
    QTest::newRow("self-closing")
        << QStringList{"<br/><img src=a.png />"}
        << QStringList{"m{<}n{br}m{/><}n{img} a{src}m{=}v{a.png} m{/>}"} << "Text";
    QTest::newRow("references, and what is none")
        << QStringList{"&amp; &#12354; &#x3042; &#X3A &copy a&b=2 &; &#; R&D"}
        << QStringList{"r{&amp;} r{&#12354;} r{&#x3042;} r{&#X3A} &copy a&b=2 &; &#; R&D"} << "Text";
    QTest::newRow("reference inside a value")
        << QStringList{"<a href=\"?a=1&amp;b=2\" title=x&lt;y>"}
        << QStringList{"m{<}n{a} a{href}m{=}v{\"?a=1}r{&amp;}v{b=2\"} a{title}m{=}v{x}r{&lt;}v{y}m{>}"}
        << "Text";
    QTest::newRow("a < that starts no tag is text")
        << QStringList{"a < b, <3, <>, <=>"} << QStringList{"a < b, <3, <>, <=>"} << "Text";
    QTest::newRow("comment on one line, tags inside are comment")
        << QStringList{"x<!-- <b>not</b> -->y"} << QStringList{"xc{<!-- <b>not</b> -->}y"} << "Text";
    QTest::newRow("comment over three lines")
        << QStringList{"<p><!-- one", "<b> two &amp;", "three --><i>"}
        << QStringList{"m{<}n{p}m{>}c{<!-- one}", "c{<b> two &amp;}", "c{three -->}m{<}n{i}m{>}"}
        << "Text";
    QTest::newRow("comment left open")
        << QStringList{"<!--", ""} << QStringList{"c{<!--}", ""} << "Comment";
    QTest::newRow("doctype, any case, and a processing instruction")
        << QStringList{"<!DOCTYPE html>", "<!doctype HTML PUBLIC", "\"-//W3C//DTD\">",
                       "<?xml version=\"1.0\"?>x"}
        << QStringList{"d{<!DOCTYPE html>}", "d{<!doctype HTML PUBLIC}", "d{\"-//W3C//DTD\">}",
                       "d{<?xml version=\"1.0\"?>}x"}
        << "Text";
    QTest::newRow("tag over lines: name, =, value on lines of their own")
        << QStringList{"<a", "href", "=", "\"x\">t"}
        << QStringList{"m{<}n{a}", "a{href}", "m{=}", "v{\"x\"}m{>}t"} << "Text";
    QTest::newRow("double-quoted value over lines")
        << QStringList{"<a title=\"one", "two <b>", "three\">x"}
        << QStringList{"m{<}n{a} a{title}m{=}v{\"one}", "v{two <b>}", "v{three\"}m{>}x"} << "Text";
    QTest::newRow("single-quoted value left open")
        << QStringList{"<a title='one"} << QStringList{"m{<}n{a} a{title}m{=}v{'one}"} << "Single";
    QTest::newRow("script contents are one colour, up to its end tag in any case")
        << QStringList{"<script type=\"text/javascript\">",
                       "if (a<b && c>d) x=\"</p>\"; // &amp; <!--", "</SCRIPT>after"}
        << QStringList{"m{<}n{script} a{type}m{=}v{\"text/javascript\"}m{>}",
                       "s{if (a<b && c>d) x=\"</p>\"; // &amp; <!--}", "m{</}n{SCRIPT}m{>}after"}
        << "Text";
    QTest::newRow("style on one line; a blank before its >")
        << QStringList{"<STYLE>p{color:red}</style >x"}
        << QStringList{"m{<}n{STYLE}m{>}s{p{color:red}}m{</}n{style} m{>}x"} << "Text";
    QTest::newRow("a script left open carries on; </style> does not end it")
        << QStringList{"<script>", "a</style>b</scripts>"}
        << QStringList{"m{<}n{script}m{>}", "s{a</style>b</scripts>}"} << "Text/script";
    QTest::newRow("end tag of a script split before its >")
        << QStringList{"<script>x</script", ">y"}
        << QStringList{"m{<}n{script}m{>}s{x}m{</}n{script}", "m{>}y"} << "Text";
    QTest::newRow("script tag over lines opens the script at its >")
        << QStringList{"<script", "src=a.js>", "var a;"}
        << QStringList{"m{<}n{script}", "a{src}m{=}v{a.js}m{>}", "s{var a;}"} << "Text/script";
    QTest::newRow("names that only begin like script or style")
        << QStringList{"<scripts>x<styles>&amp;"}
        << QStringList{"m{<}n{scripts}m{>}xm{<}n{styles}m{>}r{&amp;}"} << "Text";
    QTest::newRow("lone CR and LF inside a line are white space")
        << QStringList{QStringLiteral("<a") + loneLF + QStringLiteral("href=x") + loneCR +
                       QStringLiteral("id=y>") + loneLF + QStringLiteral("<!--") + loneCR +
                       QStringLiteral("-->")}
        << QStringList{QStringLiteral("m{<}n{a}") + loneLF + QStringLiteral("a{href}m{=}v{x}") +
                       loneCR + QStringLiteral("a{id}m{=}v{y}m{>}") + loneLF +
                       QStringLiteral("c{<!--") + loneCR + QStringLiteral("-->}")}
        << "Text";
    QTest::newRow("kanji and full-width blanks are text")
        << QStringList{"<p class=\"見出し\">漢字　かな&amp;</p>"}
        << QStringList{"m{<}n{p} a{class}m{=}v{\"見出し\"}m{>}漢字　かなr{&amp;}m{</}n{p}m{>}"}
        << "Text";
    // As a browser reads them (html5lib's tokenizer; tests/html5 compares whole pages).
    QTest::newRow("script with <!--: a script tag in a string does not end it")
        << QStringList{"<script><!--", "document.write(\"<script src=a.js></script>\");",
                       "//--></script><p>"}
        << QStringList{"m{<}n{script}m{>}s{<!--}", "s{document.write(\"<script src=a.js></script>\");}",
                       "s{//-->}m{</}n{script}m{><}n{p}m{>}"}
        << "Text";
    QTest::newRow("script: escaped text ends at </script>, -->, or at once with <!-->")
        << QStringList{"<script><!--", "</script>a<script><!-->x</script>b<script><!--->y</script>"}
        << QStringList{"m{<}n{script}m{>}s{<!--}",
                       "m{</}n{script}m{>}am{<}n{script}m{>}s{<!-->x}m{</}n{script}m{>}bm{<}n{script}m{>}s{<!--->y}m{</}n{script}m{>}"}
        << "Text";
    QTest::newRow("script: a line end breaks -- from >")
        << QStringList{"<script><!--<script>--", "></script>", "x</script>"}
        << QStringList{"m{<}n{script}m{>}s{<!--<script>--}", "s{></script>}", "s{x}m{</}n{script}m{>}"}
        << "Text";
    QTest::newRow("script left in the escaped part")
        << QStringList{"<script><!-- a", "b"} << QStringList{"m{<}n{script}m{>}s{<!-- a}", "s{b}"}
        << "Text/script-escaped";
    QTest::newRow("script left in the double-escaped part")
        << QStringList{"<script><!--<script>"} << QStringList{"m{<}n{script}m{>}s{<!--<script>}"}
        << "Text/script-double";
    QTest::newRow("<!--> and <!---> are whole comments; --!> ends one")
        << QStringList{"a<!-->b<!--->c<!-- d --!>e<!--!>f-->g"}
        << QStringList{"ac{<!-->}bc{<!--->}cc{<!-- d --!>}ec{<!--!>f-->}g"} << "Text";
    QTest::newRow("more dashes before the end, and -- > is no end")
        << QStringList{"<!-- a ---> b <!-- c -- > d -->"}
        << QStringList{"c{<!-- a --->} b c{<!-- c -- > d -->}"} << "Text";
    QTest::newRow("title and textarea hold text and references, no tags")
        << QStringList{"<title>a <b>&amp;</title><TEXTAREA><p>&lt;", "</textareas></TextArea >x"}
        << QStringList{"m{<}n{title}m{>}a <b>r{&amp;}m{</}n{title}m{><}n{TEXTAREA}m{>}<p>r{&lt;}",
                       "</textareas>m{</}n{TextArea} m{>}x"}
        << "Text";
    QTest::newRow("title left open")
        << QStringList{"<title>x"} << QStringList{"m{<}n{title}m{>}x"} << "Text/title";
    QTest::newRow("xmp, iframe, noembed and noframes hold raw text")
        << QStringList{"<xmp><b>&amp;</xmp><iframe src=a><p></iframe>", "<noembed><i></noembed><noframes>&lt;</noframes>"}
        << QStringList{"m{<}n{xmp}m{>}s{<b>&amp;}m{</}n{xmp}m{><}n{iframe} a{src}m{=}v{a}m{>}s{<p>}m{</}n{iframe}m{>}",
                       "m{<}n{noembed}m{>}s{<i>}m{</}n{noembed}m{><}n{noframes}m{>}s{&lt;}m{</}n{noframes}m{>}"}
        << "Text";
    QTest::newRow("plaintext runs to the end")
        << QStringList{"<PLAINTEXT>a<b>", "</plaintext>&amp;"}
        << QStringList{"m{<}n{PLAINTEXT}m{>}s{a<b>}", "s{</plaintext>&amp;}"} << "Text/plaintext";
    QTest::newRow("</ and no letter is a comment up to >; </> is nothing")
        << QStringList{"a</1 x>b</>c</ d>e</#>f"}
        << QStringList{"ac{</1 x>}b</>cc{</ d>}ec{</#>}f"} << "Text";
    QTest::newRow("</ at a line's end is a comment on to >")
        << QStringList{"a </", "b>c"} << QStringList{"a c{</}", "c{b>}c"} << "Text";
    QTest::newRow("CDATA in SVG is text; style there is no raw text")
        << QStringList{"<svg><![CDATA[ <b> ]]><style><i>x</i></style></svg><style><b></style>"}
        << QStringList{"m{<}n{svg}m{>}<![CDATA[ <b> ]]>m{<}n{style}m{><}n{i}m{>}xm{</}n{i}m{></}n{style}m{></}n{svg}m{><}n{style}m{>}s{<b>}m{</}n{style}m{>}"}
        << "Text";
    QTest::newRow("CDATA in MathML over two lines; outside, a declaration")
        << QStringList{"<math><![CDATA[ a", "<b> ]]></math><![CDATA[x]]>"}
        << QStringList{"m{<}n{math}m{>}<![CDATA[ a", "<b> ]]>m{</}n{math}m{>}d{<![CDATA[x]]>}"}
        << "Text";
    QTest::newRow("a self-closed svg holds nothing; <p> leaves svg")
        << QStringList{"<svg/><style>a</style><svg><p><style>b</style>"}
        << QStringList{"m{<}n{svg}m{/><}n{style}m{>}s{a}m{</}n{style}m{><}n{svg}m{><}n{p}m{><}n{style}m{>}s{b}m{</}n{style}m{>}"}
        << "Text";
    QTest::newRow("svg's title holds HTML tags and stays in svg")
        << QStringList{"<svg><title>a <i>b</i></title><script>x</script></svg>"}
        << QStringList{"m{<}n{svg}m{><}n{title}m{>}a m{<}n{i}m{>}bm{</}n{i}m{></}n{title}m{><}n{script}m{>}xm{</}n{script}m{></}n{svg}m{>}"}
        << "Text";
    QTest::newRow("left inside svg")
        << QStringList{"<svg>", "<title>"} << QStringList{"m{<}n{svg}m{>}", "m{<}n{title}m{>}"}
        << "Text/foreign-html";
    QTest::newRow("an attribute left waiting for its value")
        << QStringList{"<a href="} << QStringList{"m{<}n{a} a{href}m{=}"} << "BeforeValue";
}

void TestHtmlSpans::lines()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);
    QFETCH(QString, end);
    QCOMPARE(lines.size(), expected.size());
    HtmlState state;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const HtmlLine got = htmlSpans(lines[i], state);
        QCOMPARE(marked(lines[i], got.spans), expected[i]);
        // Neighbours of one kind are joined.
        for (qsizetype k = 1; k < got.spans.size(); ++k)
            QVERIFY(!(got.spans[k].kind == got.spans[k - 1].kind &&
                      got.spans[k].start == got.spans[k - 1].start + got.spans[k - 1].length));
        // The quick scan that collects no spans ends in the same state.
        QCOMPARE(stateName(htmlLineEnd(lines[i], state)), stateName(got.out));
        state = got.out;
    }
    QCOMPARE(stateName(state), end);
}

void TestHtmlSpans::everyStatePacks()
{
    // Each state survives the block's user state (an int, -1 meaning none).
    QSet<int> seen;
    for (int in = 0; in <= int(HtmlState::In::Bogus); ++in) {
        for (int raw = 0; raw <= int(HtmlState::Raw::ForeignHtml); ++raw) {
            const HtmlState s{HtmlState::In(in), HtmlState::Raw(raw)};
            const int packed = s.toInt();
            QVERIFY(packed >= 0 && packed < HtmlState::packedLimit);
            QVERIFY(HtmlState::fromInt(packed) == s);
            QVERIFY(s.isValid());
            seen.insert(packed);
        }
    }
    QCOMPARE(seen.size(), 10 * 15);
    QVERIFY(!HtmlState::fromInt(HtmlState::packedLimit - 1).isValid());
}

QTEST_APPLESS_MAIN(TestHtmlSpans)
#include "tst_htmlspans.moc"
