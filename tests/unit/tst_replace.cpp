#include "document/undostore.h"
#include "search/gotoline.h"
#include "search/replacecommands.h"
#include "search/replacerule.h"
#include "support/fakes.h"

#include <QTest>

using namespace zimo;
using namespace zimo::test;
using namespace Qt::StringLiterals;

namespace {

const QString crlf = QStringLiteral("\r\n");

ReplaceOptions literal(bool caseSensitive = true)
{
    return {caseSensitive, false};
}
ReplaceOptions regex(bool caseSensitive = true)
{
    return {caseSensitive, true};
}

} // namespace

Q_DECLARE_METATYPE(zimo::ReplaceOptions)

class TestReplace : public QObject
{
    Q_OBJECT
private slots:
    void replaceAll_data();
    void replaceAll();
    void errors_data();
    void errors();
    void runawayPatternIsStopped();
    void patternTranslation_data();
    void patternTranslation();
    void findNextWrapsAndSaysSo();
    void replaceNextOnlyReplacesAMatch();
    void replaceNextWithEmptyMatches();
    void replaceAllIsOneUndoableCommand();
    void replaceAllWithoutMatchChangesNothing();
    void lines_data();
    void lines();
};

// Replacing every match of a document: the text after it and the number of matches.
void TestReplace::replaceAll_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("findText");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<ReplaceOptions>("options");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qsizetype>("count");
    auto row = [](const char *name, const QString &document, const QString &findText,
                  const QString &replacement, ReplaceOptions options, const QString &expected,
                  qsizetype count) {
        QTest::newRow(name) << document << findText << replacement << options << expected << count;
    };

    // Literal: the search rule, the replacement as it is.
    row("literal", "<FONT SIZE=2>a</FONT> <FONT SIZE=2>", "<FONT SIZE=2>", "<SMALL>", literal(),
        "<SMALL>a</FONT> <SMALL>", 2);
    row("literal: no overlaps", "aaaaa", "aa", "b", literal(), "bba", 2);
    row("literal: case matters", "Abc abc ABC", "abc", "x", literal(), "Abc x ABC", 1);
    row("literal: case ignored", "Abc abc ABC", "abc", "x", literal(false), "x x x", 3);
    row("literal: full-width differs in any case", "ＡＢＣ abc", "abc", "x", literal(false), "ＡＢＣ x", 1);
    row("literal: $1 and \\n are plain text", "a", "a", "$1\\n", literal(), "$1\\n", 1);
    row("literal: grows the text", "xx", "x", "<BR>" + crlf, literal(), "<BR>" + crlf + "<BR>" + crlf, 2);
    row("literal: to nothing", "a-b-c", "-", "", literal(), "abc", 2);
    row("literal: line break found", "a" + crlf + "b\nc\rd", crlf, " ", literal(), "a b\nc\rd", 1);
    row("literal: lone LF only itself", "a" + crlf + "b\nc", "\n", "|", literal(), "a" + crlf + "b|c", 1);
    row("literal: lone CR only itself", "a\r" + crlf + "b", "\r", "|", literal(), "a|" + crlf + "b", 1);
    row("literal: no half line break", "a" + crlf, "a\r", "x", literal(), "a" + crlf, 0);
    row("literal: Japanese", QStringLiteral("吾輩は猫である。猫"), QStringLiteral("猫"),
        QStringLiteral("犬"), literal(), QStringLiteral("吾輩は犬である。犬"), 2);
    row("literal: nothing found", "abc", "x", "y", literal(), "abc", 0);
    row("literal: empty document", "", "x", "y", literal(), "", 0);

    // Regular expressions: groups and the replacement's escapes.
    row("regex: group", "<FONT SIZE=2>a <FONT SIZE=3>", "<FONT SIZE=(\\d)>", "<SMALL data-s=$1>",
        regex(), "<SMALL data-s=2>a <SMALL data-s=3>", 2);
    row("regex: groups swapped, both notations", "2024-12", "(\\d+)-(\\d+)", "$2/\\1", regex(),
        "12/2024", 1);
    row("regex: whole match", "ab", "b", "[$0\\0]", regex(), "a[bb]", 1);
    row("regex: group that took no part", "ac", "a(b)?c", "<$1>", regex(), "<>", 1);
    row("regex: $$, \\\\, stray signs", "a", "a", "$$1 \\\\1 $x \\q $", regex(), "$1 \\1 $x \\q $", 1);
    row("regex: \\n is a line break, \\t a tab", "a b", " ", "\\n\\t", regex(), "a" + crlf + "\tb", 1);
    row("regex: case ignored", "Abc ABC", "abc", "x", regex(false), "x x", 2);
    row("regex: case matters", "Abc ABC abc", "abc", "x", regex(), "Abc ABC x", 1);
    row("regex: Japanese class", QStringLiteral("平成31年と令和2年"), QStringLiteral("(..)(\\d+)年"),
        QStringLiteral("$1 $2 年"), regex(), QStringLiteral("平成 31 年と令和 2 年"), 2);

    // Line breaks of every kind.
    const QString mixed = "a" + crlf + "b\nc\rd";
    row("regex: \\n matches every kind of line break", mixed, "\\n", "|", regex(), "a|b|c|d", 3);
    row("regex: [^\\n] matches no line end", mixed, "[^\\n]", "x", regex(), "x" + crlf + "x\nx\rx", 4);
    row("regex: [\\n] splits no CR LF", "a" + crlf, "[\\n]", "x", regex(), "a" + crlf, 0);
    row("regex: [\\n] matches a lone CR and LF", "a\rb\nc", "[\\n]", "_", regex(), "a_b_c", 2);
    row("regex: . matches no line end", mixed, ".", "x", regex(), "x" + crlf + "x\nx\rx", 4);
    row("regex: $ before every line end", mixed, "$", ";", regex(), "a;" + crlf + "b;\nc;\rd;", 4);
    row("regex: ^ after every line end", mixed, "^", ">", regex(), ">a" + crlf + ">b\n>c\r>d", 4);
    row("regex: a CR LF in the field is CR LF", mixed, "a" + crlf + "b", "x", regex(), "x\nc\rd", 1);
    row("regex: \\r alone splits no line break", "a" + crlf + "b\rc", "\\r", "|", regex(),
        "a" + crlf + "b|c", 1);
    row("regex: \\\\n is a backslash and n", "a\\nb\nc", "\\\\n", "-", regex(), "a-b\nc", 1);
    row("regex: \\n inside \\Q...\\E stays literal", "x\\ny", "\\Q\\n\\E", "-", regex(), "x-y", 1);
    row("regex: lines joined", "one" + crlf + "two" + crlf, "\\n(?=.)", " ", regex(),
        "one two" + crlf, 1);
    row("regex: ] first in a class", "a]b\nc", "[]\\n]", "_", regex(), "a_b_c", 2);

    // Empty matches: after one, the next is looked for from the following character.
    row("regex: empty matches everywhere", "axb", "x*", "-", regex(), "-a--b-", 4);
    row("regex: empty document, empty match", "", "^", "x", regex(), "x", 1);
    row("regex: empty matches step over a line break", "a" + crlf + "b", "(?=.|$)", "|", regex(),
        "|a|" + crlf + "|b|", 4);
    row("regex: empty matches step over a surrogate pair", QStringLiteral("😀"), "x*", "-", regex(),
        QStringLiteral("-😀-"), 2);
    row("regex: lookahead", QStringLiteral("😀b"), "(?=b)", "|", regex(), QStringLiteral("😀|b"), 1);

    // Stand-ins for bytes that could not be decoded are lone surrogates: matched by ".", kept as
    // they are in the groups, never taken for an error of the pattern.
    const QString lone = u"a"_s + QChar(0xDC80) + u"b "_s + QChar(0xD800);
    row("regex: lone surrogates", lone, "a(.)b|(.)$", "<$1$2>", regex(),
        u"<"_s + QChar(0xDC80) + u"> <"_s + QChar(0xD800) + u">"_s, 2);
    row("literal: lone surrogates", lone, QString(QChar(0xDC80)), "x", literal(), "axb " + QString(QChar(0xD800)), 1);
}

void TestReplace::replaceAll()
{
    QFETCH(QString, document);
    QFETCH(QString, findText);
    QFETCH(QString, replacement);
    QFETCH(ReplaceOptions, options);
    QFETCH(QString, expected);
    QFETCH(qsizetype, count);

    const ReplaceRule rule(findText, replacement, options);
    QCOMPARE(rule.error(), QString());
    const ReplaceRule::AllReplaced all = rule.replaceAll(document);
    QCOMPARE(all.limitReached, false);
    QCOMPARE(all.text, expected);
    QCOMPARE(all.count, count);

    // One match after another through find() gives the same matches.
    qsizetype found = 0;
    ReplaceRule::Match match;
    for (qsizetype from = 0; rule.find(document, from, &match) == ReplaceRule::Outcome::Found;) {
        ++found;
        // Each match is one that matchAt() confirms.
        ReplaceRule::Match confirmed;
        QCOMPARE(rule.matchAt(document, match.start, match.length, &confirmed),
                 ReplaceRule::Outcome::Found);
        QCOMPARE(confirmed.replacement, match.replacement);
        if (match.length > 0)
            from = match.start + match.length;
        else if (match.start < document.size())
            from = match.start + (document.mid(match.start, 2) == crlf ||
                                          document.at(match.start).isHighSurrogate()
                                      ? 2
                                      : 1);
        else
            break;
    }
    QCOMPARE(found, count);
}

// What cannot be used is named, in Japanese, and changes nothing.
void TestReplace::errors_data()
{
    QTest::addColumn<QString>("findText");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<ReplaceOptions>("options");
    QTest::addColumn<QString>("error");
    QTest::newRow("empty literal") << "" << "x" << literal() << "検索する文字列を入力してください。";
    QTest::newRow("empty pattern") << "" << "x" << regex() << "検索する文字列を入力してください。";
    QTest::newRow("unclosed group") << "ab(c" << "" << regex()
                                    << "正規表現に誤りがあります（5 文字目のあたり）。";
    QTest::newRow("error after a translated \\n") << "\\n\\n(" << "" << regex()
                                                  << "正規表現に誤りがあります（6 文字目のあたり）。";
    QTest::newRow("nothing to repeat") << "*a" << "" << regex()
                                       << "正規表現に誤りがあります（1 文字目のあたり）。";
    QTest::newRow("unclosed class") << "[a" << "" << regex()
                                    << "正規表現に誤りがあります（3 文字目のあたり）。";
    QTest::newRow("group the pattern lacks") << "(a)" << "$2" << regex()
                                             << "置換後の文字列の「$2」に当たるかっこが、検索する文字列にありません。";
    QTest::newRow("group the pattern lacks, backslash") << "a" << "x\\1" << regex()
                                                        << "置換後の文字列の「\\1」に当たるかっこが、検索する文字列にありません。";
    QTest::newRow("literal mode has no groups") << "(a)" << "$2" << literal() << "";
}

void TestReplace::errors()
{
    QFETCH(QString, findText);
    QFETCH(QString, replacement);
    QFETCH(ReplaceOptions, options);
    QFETCH(QString, error);
    const ReplaceRule rule(findText, replacement, options);
    QCOMPARE(rule.error(), error);
    if (error.isEmpty())
        return;

    // The commands say so in the dialog and leave the text alone.
    FakePlatform p;
    UndoStore undo(p.text, p.mnuEditBack);
    ReplaceCommands commands(p.services, undo);
    p.text.setText(QStringLiteral("ab(c (a) *a [a"));
    p.text.select(1, 2);
    const ReplaceCommands::Request request{findText, replacement, options};
    QCOMPARE(commands.findNext(request), error);
    QCOMPARE(commands.replaceNext(request), error);
    QCOMPARE(commands.replaceAll(request), error);
    QCOMPARE(p.text.text(), QStringLiteral("ab(c (a) *a [a"));
    QCOMPARE(p.text.selStart(), 1);
    QCOMPARE(p.text.selLength(), 2);
    QCOMPARE(undo.keep_count(), 0);
    QVERIFY(p.messageBox.shown.isEmpty());
}

// A pattern that backtracks catastrophically stops at the match limit and is reported.
void TestReplace::runawayPatternIsStopped()
{
    const QString document = QString(40, u'a') + "!" + crlf + "aab";
    const ReplaceRule rule(QStringLiteral("(a|a)+b"), QStringLiteral("x"), regex());
    QCOMPARE(rule.error(), QString());
    ReplaceRule::Match match;
    QCOMPARE(rule.find(document, 0, &match), ReplaceRule::Outcome::LimitReached);
    const ReplaceRule::AllReplaced all = rule.replaceAll(document);
    QVERIFY(all.limitReached);
    QCOMPARE(all.count, 0);

    // The same pattern on a text where it cannot run away works.
    QCOMPARE(rule.replaceAll(QStringLiteral("aab ab")).text, QStringLiteral("x x"));

    FakePlatform p;
    UndoStore undo(p.text, p.mnuEditBack);
    ReplaceCommands commands(p.services, undo);
    p.text.setText(document);
    const ReplaceCommands::Request request{QStringLiteral("(a|a)+b"), QStringLiteral("x"), regex()};
    QCOMPARE(commands.replaceAll(request), ReplaceRule::limitMessage());
    QCOMPARE(commands.findNext(request), ReplaceRule::limitMessage());
    QCOMPARE(p.text.text(), document);
    QCOMPARE(undo.keep_count(), 0);
}

void TestReplace::patternTranslation_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("compiled"); // after the options
    QTest::newRow("plain") << "a.b" << "a.b";
    QTest::newRow("line break") << "a\\nb" << "a(?:\\r\\n|\\r|\\n)b";
    QTest::newRow("in a class") << "[^\\n]" << "[^\\r\\n]";
    QTest::newRow("after the class") << "[a]\\n" << "[a](?:\\r\\n|\\r|\\n)";
    QTest::newRow("] first, then \\n") << "[]\\n]" << "[]\\r\\n]";
    QTest::newRow("POSIX class") << "[[:alpha:]\\n]\\n" << "[[:alpha:]\\r\\n](?:\\r\\n|\\r|\\n)";
    QTest::newRow("escaped backslash") << "\\\\n" << "\\\\n";
    QTest::newRow("quoted") << "\\Q\\n\\E\\n" << "\\Q\\n\\E(?:\\r\\n|\\r|\\n)";
    QTest::newRow("trailing backslash") << "a\\" << "a\\";
}

void TestReplace::patternTranslation()
{
    QFETCH(QString, pattern);
    QFETCH(QString, compiled);
    QList<qsizetype> map;
    const QString result = compiledPattern(pattern, &map);
    const QString prefix = QStringLiteral("(*LIMIT_MATCH=%1)(*ANYCRLF)").arg(ReplaceRule::matchLimit);
    QCOMPARE(result, prefix + compiled);
    QCOMPARE(map.size(), result.size() + 1);
    QCOMPARE(map.last(), pattern.size());
}

void TestReplace::findNextWrapsAndSaysSo()
{
    FakePlatform p;
    UndoStore undo(p.text, p.mnuEditBack);
    ReplaceCommands commands(p.services, undo);
    p.text.setText("ab" + crlf + "ab");
    p.text.select(1, 0);
    const ReplaceCommands::Request request{QStringLiteral("ab"), QString(), literal()};
    QCOMPARE(commands.findNext(request), QString());
    QCOMPARE(p.text.selStart(), 4);
    QCOMPARE(p.text.selLength(), 2);
    // At the end: from the start again, without a question, said in the dialog.
    QCOMPARE(commands.findNext(request), ReplaceCommands::wrappedMessage());
    QCOMPARE(p.text.selStart(), 0);
    QCOMPARE(p.text.selLength(), 2);
    QVERIFY(p.messageBox.shown.isEmpty());

    const ReplaceCommands::Request absent{QStringLiteral("zz"), QString(), literal()};
    QCOMPARE(commands.findNext(absent), ReplaceCommands::notFoundMessage());
    QCOMPARE(p.text.selStart(), 0);
    QCOMPARE(p.text.selLength(), 2);

    // A caret inside a surrogate pair: the search starts after the pair, never inside it.
    p.text.setText(QStringLiteral("😀a"));
    p.text.select(1, 0);
    QCOMPARE(commands.findNext({QStringLiteral("."), QString(), regex()}), QString());
    QCOMPARE(p.text.selStart(), 2);
    QCOMPARE(p.text.selLength(), 1);
}

void TestReplace::replaceNextOnlyReplacesAMatch()
{
    FakePlatform p;
    UndoStore undo(p.text, p.mnuEditBack);
    ReplaceCommands commands(p.services, undo);
    p.text.setText(QStringLiteral("x1 y x22"));
    const ReplaceCommands::Request request{QStringLiteral("x(\\d+)"), QStringLiteral("<$1>"), regex()};

    // The selection "x1 " is no match: nothing is replaced, the next match is selected.
    p.text.select(0, 3);
    QCOMPARE(commands.replaceNext(request), QString());
    QCOMPARE(p.text.text(), QStringLiteral("x1 y x22"));
    QCOMPARE(p.text.selStart(), 5);
    QCOMPARE(p.text.selLength(), 3);
    // Now it is one: replaced, and the next one (from the start again) selected.
    QCOMPARE(commands.replaceNext(request), ReplaceCommands::wrappedMessage());
    QCOMPARE(p.text.text(), QStringLiteral("x1 y <22>"));
    QCOMPARE(p.text.selStart(), 0);
    QCOMPARE(p.text.selLength(), 2);
    QCOMPARE(commands.replaceNext(request), ReplaceCommands::notFoundMessage());
    QCOMPARE(p.text.text(), QStringLiteral("<1> y <22>"));
    QCOMPARE(p.text.selStart(), 3);
    QCOMPARE(p.text.selLength(), 0);
    // A part of a match is no match either.
    p.text.setText(QStringLiteral("x22"));
    p.text.select(0, 2);
    QCOMPARE(commands.replaceNext(request), ReplaceCommands::wrappedMessage());
    QCOMPARE(p.text.text(), QStringLiteral("x22"));
    QCOMPARE(undo.keep_count(), 0); // single replacements take no snapshot
}

void TestReplace::replaceNextWithEmptyMatches()
{
    FakePlatform p;
    UndoStore undo(p.text, p.mnuEditBack);
    ReplaceCommands commands(p.services, undo);
    p.text.setText("a" + crlf + "b");
    const ReplaceCommands::Request request{QStringLiteral("^"), QStringLiteral("> "), regex()};
    // The empty match at the caret is passed over by "次を検索" ...
    QCOMPARE(commands.findNext(request), QString());
    QCOMPARE(p.text.selStart(), 3);
    // ... and replaced by "置換して次に", which then goes on.
    QCOMPARE(commands.replaceNext(request), ReplaceCommands::wrappedMessage());
    QCOMPARE(p.text.text(), "a" + crlf + "> b");
    QCOMPARE(p.text.selStart(), 0);
    QCOMPARE(commands.replaceNext(request), QString());
    QCOMPARE(p.text.text(), "> a" + crlf + "> b");
    QCOMPARE(p.text.selStart(), 5); // the next line's start, already replaced
}

void TestReplace::replaceAllIsOneUndoableCommand()
{
    FakePlatform p;
    UndoStore undo(p.text, p.mnuEditBack);
    undo.reset();
    ReplaceCommands commands(p.services, undo);
    const QString before = "<FONT SIZE=2>a" + crlf + "<FONT SIZE=2>b";
    p.text.setText(before);
    p.text.select(3, 4);
    p.text.setTextCount = 0;
    const ReplaceCommands::Request request{QStringLiteral("<FONT SIZE=2>"), QStringLiteral("<SMALL>"),
                                           literal()};
    QCOMPARE(commands.replaceAll(request), QStringLiteral("2 件置換しました。"));
    QCOMPARE(p.text.text(), "<SMALL>a" + crlf + "<SMALL>b");
    QCOMPARE(p.text.selStart(), 0);
    QCOMPARE(p.text.selLength(), 0);
    // Replaced through the selection (one edit of the text area), not by assigning the text.
    QCOMPARE(p.text.setTextCount, 0);
    QCOMPARE(p.app.busyTimes, 1);
    QCOMPARE(p.app.busyDepth, 0);
    // "I'll be back" has the text from before.
    QCOMPARE(undo.keep_count(), 1);
    QVERIFY(p.mnuEditBack.enabled);
    undo.back_text();
    QCOMPARE(p.text.text(), before);
}

void TestReplace::replaceAllWithoutMatchChangesNothing()
{
    FakePlatform p;
    UndoStore undo(p.text, p.mnuEditBack);
    undo.reset();
    ReplaceCommands commands(p.services, undo);
    p.text.setText(QStringLiteral("abc"));
    p.text.select(1, 1);
    p.text.setTextCount = 0;
    QCOMPARE(commands.replaceAll({QStringLiteral("x"), QStringLiteral("y"), literal()}),
             ReplaceCommands::notFoundMessage());
    QCOMPARE(p.text.text(), QStringLiteral("abc"));
    QCOMPARE(p.text.selStart(), 1);
    QCOMPARE(p.text.selLength(), 1);
    QCOMPARE(undo.keep_count(), 0);
    QVERIFY(!p.mnuEditBack.enabled);
}

// Lines as the status bar counts them: every line end ends one.
void TestReplace::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<QList<qsizetype>>("starts"); // of lines 1, 2, ...
    using Starts = QList<qsizetype>;
    QTest::newRow("empty") << QString() << qsizetype(1) << Starts{0};
    QTest::newRow("one line") << QStringLiteral("abc") << qsizetype(1) << Starts{0};
    QTest::newRow("CR LF at the end") << "abc" + crlf << qsizetype(2) << Starts{0, 5};
    QTest::newRow("every kind") << "a" + crlf + "b\nc\rd" << qsizetype(4) << Starts{0, 3, 5, 7};
    QTest::newRow("LF CR is two line ends") << QStringLiteral("a\n\rb") << qsizetype(3)
                                            << Starts{0, 2, 3};
    QTest::newRow("empty lines") << crlf + crlf << qsizetype(3) << Starts{0, 2, 4};
}

void TestReplace::lines()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, count);
    QFETCH(QList<qsizetype>, starts);
    QCOMPARE(lineCount(text), count);
    for (qsizetype line = 1; line <= count; ++line) {
        const qsizetype start = starts.at(line - 1);
        QCOMPARE(lineStart(text, line), start);
        QCOMPARE(lineOfPosition(text, start), line);
        // The line end's characters belong to the line they end.
        if (line > 1)
            QCOMPARE(lineOfPosition(text, start - 1), line - 1);
    }
    // Out of range: the first and the last line.
    QCOMPARE(lineStart(text, 0), 0);
    QCOMPARE(lineStart(text, -5), 0);
    QCOMPARE(lineStart(text, count + 1), starts.last());
    QCOMPARE(lineOfPosition(text, text.size() + 10), count);
    QCOMPARE(lineOfPosition(text, -1), 1);
}

QTEST_GUILESS_MAIN(TestReplace)
#include "tst_replace.moc"
