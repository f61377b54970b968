// The HTML colours on the real text area, offscreen: what is coloured on screen and after idle
// steps, states carried over lines and edits, and that the colours are display only (the text,
// positions, the undo of the widget and of the markup commands are the same without them).

#include "markup/markupcommands.h"
#include "platform/qt/htmlhighlighter.h"
#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"
#include "support/fakes.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <memory>

using namespace zimo;
using namespace zimo::test;

namespace {

// A text area as the main window has it, with or without the colours.
struct Rig
{
    explicit Rig(bool coloured)
    {
        area.resize(600, 400);
        if (coloured)
            highlighter = std::make_unique<HtmlHighlighter>(&area);
        area.show();
    }
    TextArea area;
    PlainTextBox box{&area};
    std::unique_ptr<HtmlHighlighter> highlighter;
    FakePlatform fakes;
    Services services{box,          fakes.messageBox, fakes.dialog,      fakes.printer,
                      fakes.shell,  fakes.app,        fakes.mnuEditBack, fakes.mnuFileOverwrite};
    UndoStore undo{box, fakes.mnuEditBack};
    MarkupCommands markup{services, undo};

    // Lets the area paint (which colours what is on screen).
    void paint()
    {
        area.viewport()->repaint();
        QApplication::processEvents();
    }
};

// The colour the layout gives the character at `column` of block `blockNumber`, as a kind's
// letter (see tst_htmlspans) or ' ' for none.
char kindAt(const Rig &rig, int blockNumber, int column)
{
    const QTextBlock block = rig.area.document()->findBlockByNumber(blockNumber);
    const auto formats = block.layout()->formats();
    for (const QTextLayout::FormatRange &r : formats) {
        if (column < r.start || column >= r.start + r.length)
            continue;
        static const char letters[] = "mnavrcds";
        for (int k = 0; k < 8; ++k)
            if (r.format.foreground().color() == rig.highlighter->colour(HtmlKind(k)))
                return letters[k];
        return '?';
    }
    return ' ';
}

// Each block's kinds, one letter a character, blocks joined by '|'.
QString kindsOf(const Rig &rig)
{
    QString out;
    for (QTextBlock b = rig.area.document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockNumber() > 0)
            out += u'|';
        for (int i = 0; i < b.length() - 1; ++i)
            out += QLatin1Char(kindAt(rig, b.blockNumber(), i));
    }
    return out;
}

} // namespace

class TestHtmlHighlighter : public QObject
{
    Q_OBJECT
private slots:
    void colours_data();
    void colours();
    void longLineColoursAsOneLine_data();
    void longLineColoursAsOneLine();
    void editsCarryOverLines_data();
    void editsCarryOverLines();
    void farEditsSettleWhenIdle();
    void displayOnly_data();
    void displayOnly();
    void composedTextKeepsItsLook_data();
    void composedTextKeepsItsLook();
};

void TestHtmlHighlighter::colours_data()
{
    QTest::addColumn<QString>("text");  // model text
    QTest::addColumn<QString>("kinds"); // per character of each block
    QTest::newRow("tag, comment over lines, text")
        << "<B x='1'>a<!--\r\nb\r\n-->c"
        << "mn amvvvm cccc|c|ccc ";
    QTest::newRow("lone CR and LF end lines, a tag goes on over them")
        << "<a\rhref=x>\n&amp;"
        << "mn|aaaamvm|rrrrr";
    // The characters the text area holds as stand-ins are scanned as themselves: the line
    // separator is white space in a tag, the others are not.
    QTest::newRow("line separator in a tag")
        << QString(QStringLiteral("<p") + QChar(0x2028) + QStringLiteral("class=x>"))
        << "mn aaaaamvm";
    QTest::newRow("value over lines, then a script")
        << "<p t=\"1\r\n2\">\r\n<script>\r\nx<y\r\n</script>"
        << "mn amvv|vvm|mnnnnnnm|sss|mmnnnnnnm";
}

void TestHtmlHighlighter::colours()
{
    QFETCH(QString, text);
    QFETCH(QString, kinds);
    Rig rig(true);
    rig.box.setText(text);
    rig.paint();
    QCOMPARE(kindsOf(rig), kinds);
    QTRY_VERIFY(rig.highlighter->isSettled());
}

void TestHtmlHighlighter::longLineColoursAsOneLine_data()
{
    QTest::addColumn<QString>("text");  // one line, longer than a paragraph of the text area
    QTest::addColumn<QString>("kinds"); // per character of the line
    QTest::newRow("tag of many attributes")
        << QString(QStringLiteral("<p") + QStringLiteral(" a=\"1\"").repeated(100) + QStringLiteral(">"))
        << QString(QStringLiteral("mn") + QStringLiteral(" amvvv").repeated(100) + QStringLiteral("m"));
    // The end tag of the script stands across where the line would be cut at its length.
    QTest::newRow("script's end tag at a cut")
        << QString(QStringLiteral("<script>") + QStringLiteral("x=1;").repeated(97) + QStringLiteral("</script><b>t</b>"))
        << QString(QStringLiteral("mnnnnnnm") + QString(388, u's') + QStringLiteral("mmnnnnnnmmnm mmnm"));
    QTest::newRow("references in text without spaces")
        << QStringLiteral("本語&amp;").repeated(60) << QStringLiteral("  rrrrr").repeated(60);
    QTest::newRow("comment over the cuts")
        << QString(QStringLiteral("<!--") + QString(600, u'-') + QStringLiteral("--><i>"))
        << QString(QString(607, u'c') + QStringLiteral("mnm"));
}

// A line cut into paragraphs colours as the same line in one paragraph: the colours of all the
// paragraphs, put together, are the line's.
void TestHtmlHighlighter::longLineColoursAsOneLine()
{
    QFETCH(QString, text);
    QFETCH(QString, kinds);
    Rig rig(true);
    rig.area.resize(1000, 800);
    rig.box.setText(text);
    QVERIFY(rig.area.document()->blockCount() > 1);
    rig.paint();
    QTRY_VERIFY(rig.highlighter->isSettled());
    rig.paint();
    QCOMPARE(kindsOf(rig).remove(u'|'), kinds);
}

void TestHtmlHighlighter::editsCarryOverLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("block"); // where the edit is typed
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("closing a comment in its middle")
        << "<!--\r\na\r\nb\r\n-->\r\n<p>" << 1 << 1 << "-->"
        << "cccc|c|c|ccc|mnm" << "cccc|cccc| |   |mnm";
    QTest::newRow("opening a comment above tags")
        << "x\r\n<p>\r\n<i>" << 0 << 1 << "<!--"
        << " |mnm|mnm" << " cccc|ccc|ccc";
    QTest::newRow("a quote that opens a value over lines")
        << "<a t=x>\r\n<b>" << 0 << 5 << "\""
        << "mn amvm|mnm" << "mn amvvv|vvv";
    QTest::newRow("Enter inside a comment keeps both halves comment")
        << "<!-- ab -->\r\n<p>" << 0 << 6 << "\n"
        << "ccccccccccc|mnm" << "cccccc|ccccc|mnm";
}

void TestHtmlHighlighter::editsCarryOverLines()
{
    QFETCH(QString, text);
    QFETCH(int, block);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, before);
    QFETCH(QString, after);
    Rig rig(true);
    rig.box.setText(text);
    rig.paint();
    QCOMPARE(kindsOf(rig), before);

    // Typed as the user types: into the widget, one step of its undo.
    QTextCursor cursor(rig.area.document()->findBlockByNumber(block));
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
    rig.area.setTextCursor(cursor);
    QTest::keyClicks(&rig.area, typed == u"\n" ? QString() : typed);
    if (typed == u"\n")
        QTest::keyClick(&rig.area, Qt::Key_Return);
    // On screen at once: the first paint after the key shows the new colours.
    rig.paint();
    QCOMPARE(kindsOf(rig), after);
    QTRY_VERIFY(rig.highlighter->isSettled());
    rig.paint();
    QCOMPARE(kindsOf(rig), after);

    // The widget's own undo brings the old colours back.
    while (rig.area.document()->isUndoAvailable())
        rig.area.undo();
    rig.paint();
    QCOMPARE(rig.box.text(), text);
    QCOMPARE(kindsOf(rig), before);
}

void TestHtmlHighlighter::farEditsSettleWhenIdle()
{
    // 30000 lines: an edit at the top that opens a comment changes every line's state. The lines
    // on screen change at once; the rest follow in idle steps, and the steps then stop.
    QString text;
    for (int i = 0; i < 30000; ++i)
        text += QStringLiteral("<p class=\"c%1\">line &amp; %1</p>\r\n").arg(i);
    Rig rig(true);
    rig.box.setText(text);
    rig.paint();
    QTRY_VERIFY(rig.highlighter->isSettled());
    QTextDocument *doc = rig.area.document();

    QTextCursor top(doc);
    rig.area.setTextCursor(top);
    QTest::keyClicks(&rig.area, QStringLiteral("<!--"));
    rig.paint();
    QCOMPARE(kindAt(rig, 1, 0), 'c');
    QTRY_VERIFY_WITH_TIMEOUT(rig.highlighter->isSettled(), 20000);
    // The end of the document on screen: comment from its first character.
    rig.area.verticalScrollBar()->setValue(rig.area.verticalScrollBar()->maximum());
    rig.paint();
    QCOMPARE(kindAt(rig, doc->blockCount() - 2, 0), 'c');

    // Closing it again at the top brings the tags back at the end, without a scroll of the top.
    QTextCursor after(doc);
    after.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 4);
    after.insertText(QStringLiteral("-->"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.highlighter->isSettled(), 20000);
    rig.paint();
    QCOMPARE(kindAt(rig, doc->blockCount() - 2, 0), 'm');
    QCOMPARE(kindAt(rig, doc->blockCount() - 2, 1), 'n');
}

void TestHtmlHighlighter::displayOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("markup over lines") << QStringLiteral(
        "<!DOCTYPE html>\r\n<p class=\"a\r\nb\">x &amp; y<!-- c\r\nd -->\r\n<script>\r\nq\r\n</script>");
    QTest::newRow("lone CR and LF") << QStringLiteral("<a\rb>\n<i>\r\n<!--\r-->\r\n");
}

void TestHtmlHighlighter::displayOnly()
{
    QFETCH(QString, text);
    Rig plain(false);
    Rig coloured(true);
    // The same steps on both: the markup commands with their undo, typing, the widget's undo.
    const QList<std::function<void(Rig &)>> steps = {
        [&](Rig &r) { r.box.setText(text); },
        [](Rig &r) { r.box.setSelStart(3); r.box.setSelLength(12); },
        [](Rig &r) { r.markup.mnuEditCenter_Click(); },
        [](Rig &r) { r.markup.mnuEditConversion_Click(); },
        [](Rig &r) { r.markup.mnuEditBack_Click(); },
        [](Rig &r) { r.box.setSelStart(5); QTest::keyClicks(&r.area, QStringLiteral("<b t='")); },
        [](Rig &r) { QTest::keyClick(&r.area, Qt::Key_Return); },
        [](Rig &r) { r.area.undo(); },
        [](Rig &r) { r.markup.mnuEditDelete_Click(); },
        [](Rig &r) { r.markup.mnuEditBack_Click(); },
        [](Rig &r) { r.area.selectAll(); },
    };
    for (qsizetype i = 0; i < steps.size(); ++i) {
        for (Rig *r : {&plain, &coloured}) {
            steps[i](*r);
            r->paint();
        }
        QCOMPARE(coloured.box.text(), plain.box.text());
        QCOMPARE(coloured.box.selStart(), plain.box.selStart());
        QCOMPARE(coloured.box.selLength(), plain.box.selLength());
        QCOMPARE(coloured.area.document()->availableUndoSteps(),
                 plain.area.document()->availableUndoSteps());
        QCOMPARE(coloured.undo.keep_count(), plain.undo.keep_count());
    }
    // Colours were shown...
    QVERIFY(kindsOf(coloured).contains(u'n'));
    // ...but never entered the document: no character carries a colour of its own.
    for (QTextBlock b = coloured.area.document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            QCOMPARE(it.fragment().charFormat().foreground().style(), Qt::NoBrush);
    QCOMPARE(coloured.area.document()->toRawText(), plain.area.document()->toRawText());
}

void TestHtmlHighlighter::composedTextKeepsItsLook_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::newRow("between tags") << QStringLiteral("<p>ab</p>\r\n<i>") << 4;
    QTest::newRow("inside a tag name") << QStringLiteral("<p>ab</p>") << 7;
    QTest::newRow("in an attribute value") << QStringLiteral("<a href='x'>y</a>") << 10;
    QTest::newRow("at the start") << QStringLiteral("<b>x</b>") << 0;
    QTest::newRow("at the end") << QStringLiteral("<b>x</b>") << 8;
}

// An input method composing text in a coloured line: the composed text (the preedit) shows the
// input method's underline and the segment being converted, and every character of the line
// keeps its colour, the ones after the composed text included, until it is committed.
void TestHtmlHighlighter::composedTextKeepsItsLook()
{
    QFETCH(QString, text);
    QFETCH(int, caret);
    Rig rig(true);
    rig.box.setText(text);
    rig.box.setSelStart(caret);
    rig.paint();
    const QString before = kindsOf(rig);
    const int block = rig.area.textCursor().blockNumber();
    const int at = rig.area.textCursor().positionInBlock();
    const QString line = before.section(u'|', block, block);

    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    QTextCharFormat converting;
    converting.setBackground(Qt::darkBlue);
    converting.setForeground(Qt::white);
    const QString preedit = QStringLiteral("にほんご");
    auto compose = [&](const QString &composed, const QList<QInputMethodEvent::Attribute> &attributes) {
        QInputMethodEvent event(composed, attributes);
        QApplication::sendEvent(&rig.area, &event);
        rig.paint();
    };
    compose(preedit, {{QInputMethodEvent::TextFormat, 0, 2, underline},
                      {QInputMethodEvent::TextFormat, 2, 2, converting},
                      {QInputMethodEvent::Cursor, 4, 1, QVariant()}});
    const QTextLayout *layout = rig.area.document()->findBlockByNumber(block).layout();
    QCOMPARE(layout->preeditAreaText(), preedit);
    auto formatAt = [&](int position) {
        QTextCharFormat merged;
        for (const QTextLayout::FormatRange &r : layout->formats())
            if (position >= r.start && position < r.start + r.length)
                merged.merge(r.format);
        return merged;
    };
    for (int i = 0; i < 2; ++i)
        QCOMPARE(formatAt(at + i).underlineStyle(), QTextCharFormat::SingleUnderline);
    for (int i = 2; i < 4; ++i)
        QCOMPARE(formatAt(at + i).background().color(), QColor(Qt::darkBlue));
    // The line's colours, the composed text left out, are those it had.
    QString shown;
    for (int i = 0; i < line.size() + preedit.size(); ++i)
        if (i < at || i >= at + preedit.size())
            shown += QLatin1Char(kindAt(rig, block, i));
    QCOMPARE(shown, line);
    QCOMPARE(rig.box.text(), text);

    // Given up: the line is as before.
    compose(QString(), {});
    QCOMPARE(kindsOf(rig), before);
    // Composed again and committed: the text is in the document, coloured as typed text is.
    compose(preedit, {{QInputMethodEvent::TextFormat, 0, 4, underline}});
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日本語"));
    QApplication::sendEvent(&rig.area, &commit);
    rig.paint();
    const QString committed = text.left(caret) + QStringLiteral("日本語") + text.mid(caret);
    QCOMPARE(rig.box.text(), committed);
    QVERIFY(rig.area.document()->findBlockByNumber(block).layout()->preeditAreaText().isEmpty());
    Rig fresh(true);
    fresh.box.setText(committed);
    fresh.paint();
    QCOMPARE(kindsOf(rig), kindsOf(fresh));
}

QTEST_MAIN(TestHtmlHighlighter)
#include "tst_htmlhighlighter.moc"
