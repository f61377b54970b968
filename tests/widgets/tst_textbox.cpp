#include "platform/qt/lineends.h"
#include "platform/qt/linenumberarea.h"
#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSyntaxHighlighter>
#include <QTest>
#include <QTextBlock>

#include <cmath>
#include <thread>
#include <vector>

using namespace zimo;

namespace {

constexpr qsizetype operator""_q(unsigned long long v)
{
    return qsizetype(v);
}

const QChar nbsp(0x00A0);
const QChar lineSeparator(0x2028);

// The kinds of a document's line ends as the document holds them, e.g. "CRLF,LF,CR".
QString lineEndsOf(QTextDocument *doc)
{
    QStringList kinds;
    for (QTextBlock b = doc->begin().next(); b.isValid(); b = b.next()) {
        switch (LineEnds::kindOf(b.charFormat())) {
        case LineEnd::CrLf: kinds << QStringLiteral("CRLF"); break;
        case LineEnd::Lf: kinds << QStringLiteral("LF"); break;
        case LineEnd::Cr: kinds << QStringLiteral("CR"); break;
        case LineEnd::Join: kinds << QStringLiteral("JOIN"); break;
        }
    }
    return kinds.join(u',');
}

// CR LF, lone CR and lone LF each count once.
qsizetype lineEndCount(const QString &text)
{
    return text.count(u'\r') + text.count(u'\n') - text.count(QStringLiteral("\r\n"));
}

// The size 'points' becomes once the font engine has rounded it to whole pixels on this screen.
double roundedToPixels(double points, int dpi)
{
    return std::round(points * dpi / 72.0) * 72.0 / dpi;
}

// A highlighter as an HTML one works: formats on each paragraph and a state carried to the next,
// each paragraph marked dirty in the document as it is done.
class TagHighlighter : public QSyntaxHighlighter
{
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString &text) override
    {
        QTextCharFormat tag;
        tag.setForeground(Qt::blue);
        for (qsizetype i = text.indexOf(u'x'); i >= 0; i = text.indexOf(u'x', i + 1))
            setFormat(int(i), 1, tag);
        setCurrentBlockState(previousBlockState() + 1);
    }
};

// What the user does in the text area.
enum class Edit { Type, Return, Backspace, Delete, PastePlain, PasteOwn };

// `n` times the character c.
QString times(qsizetype n, char16_t c)
{
    return QString(n, QChar(c));
}

// The kinds of n breaks, e.g. "JOIN,JOIN".
QString joins(int n)
{
    QStringList k;
    for (int i = 0; i < n; ++i)
        k << QStringLiteral("JOIN");
    return k.join(u',');
}

// The longest paragraph of a document.
int longestParagraph(const QTextDocument *doc)
{
    int longest = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        longest = std::max(longest, b.length() - 1);
    return longest;
}

// Keys with their modifiers, pressed one after another.
using Keys = QList<QKeyCombination>;

} // namespace

Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(Keys)

class TestTextBox : public QObject
{
    Q_OBJECT
private slots:
    void textRoundTrip_data();
    void textRoundTrip();
    void setTextPutsCaretAtStart();
    void selection_data();
    void selection();
    void positionsAtParagraphEnds_data();
    void positionsAtParagraphEnds();
    void selectionAnywhereInALongText();
    void setSelText_data();
    void setSelText();
    void setSelTextAppendsLineAfterLine();
    void setSelTextIsOneUndoStep();
    void userEditsKeepLineEnds_data();
    void userEditsKeepLineEnds();
    void randomEditsAndUndoKeepTheText();
    void lineEndKindsAgreeWithAPlainList_data();
    void lineEndKindsAgreeWithAPlainList();
    void cutPoint_data();
    void cutPoint();
    void keysAtAJoin_data();
    void keysAtAJoin();
    void gutterNumbersLinesNotParagraphs();
    void composedTextPastTheLimitIsCut();
    void font_data();
    void font();
    void focusActivatesWindow();
    void lineBox_data();
    void lineBox();
    void lineBoxKeepsLongText();

private:
    QPlainTextEdit m_edit;
    PlainTextBox m_box{&m_edit};
};

void TestTextBox::textRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("paragraphs");
    QTest::addColumn<QString>("ends");
    QTest::newRow("empty") << QString() << 1 << "";
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << 2 << "CR";
    QTest::newRow("lone LF") << QStringLiteral("a\nb") << 2 << "LF";
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << 2 << "CRLF";
    QTest::newRow("CR CR LF") << QStringLiteral("a\r\r\nb") << 3 << "CR,CRLF";
    QTest::newRow("LF CR") << QStringLiteral("a\n\rb") << 3 << "LF,CR";
    QTest::newRow("LF CR LF") << QStringLiteral("a\n\r\nb") << 3 << "LF,CRLF";
    QTest::newRow("ends in CR LF") << QStringLiteral("a\r\nb\r\n") << 3 << "CRLF,CRLF";
    QTest::newRow("only CR LF") << QStringLiteral("\r\n") << 2 << "CRLF";
    QTest::newRow("ends in lone CR") << QStringLiteral("ab\r") << 2 << "CR";
    QTest::newRow("starts with lone LF") << QStringLiteral("\nab") << 2 << "LF";
    QTest::newRow("empty lines") << QStringLiteral("\r\n\r\n\r\n") << 4 << "CRLF,CRLF,CRLF";
    QTest::newRow("LF lines") << QStringLiteral("<P>\n本文\n\n</P>\n") << 5 << "LF,LF,LF,LF";
    QTest::newRow("CR lines") << QStringLiteral("\r\rone\rtwo") << 4 << "CR,CR,CR";
    QTest::newRow("mixed") << QStringLiteral("a\r\nb\nc\rd\r\n\n\re") << 7
                           << "CRLF,LF,CR,CRLF,LF,CR";
    QTest::newRow("no-break space")
        << QString(QStringLiteral("a") + nbsp + QStringLiteral("b")) << 1 << "";
    QTest::newRow("line separator") << QString(QStringLiteral("a") + lineSeparator + "b") << 1
                                    << "";
    QTest::newRow("undecodable bytes")
        << QString(QStringLiteral("x") + QChar(0xDC80) + QChar(0xDCFF) + "\r\n" + QChar(0xDCA0))
        << 2 << "CRLF";
    // The former stand-ins of lone CR and LF are ordinary characters now.
    QTest::newRow("lone surrogates DC0D DC0A")
        << QString(QStringLiteral("x") + QChar(0xDC0D) + QChar(0xDC0A) + "\ny") << 2 << "LF";
    QTest::newRow("Japanese lines") << QStringLiteral("日本語\r\nテキスト\r半角ｶﾅ\n～") << 4
                                    << "CRLF,CR,LF";
    QTest::newRow("tab and NUL") << QString(QStringLiteral("a\tb") + QChar(0) + "c") << 1 << "";
    // Characters QTextDocument uses itself are no line ends here: they are kept as stand-ins.
    QTest::newRow("paragraph separator") << QString(QStringLiteral("a") + QChar(0x2029) + "b") << 1
                                         << "";
    QTest::newRow("frame marks") << QString(QChar(0xFDD0) + QStringLiteral("a") + QChar(0xFDD1)) << 1
                                 << "";
    QTest::newRow("object replacement") << QString(QStringLiteral("a") + QChar(0xFFFC)) << 1 << "";
    // A line longer than the limit is held as paragraphs joined by joins, which hold no
    // character: the text reads back as it was.
    const qsizetype limit = PlainTextBox::paragraphLimit;
    const qsizetype target = PlainTextBox::paragraphTarget;
    QTest::newRow("line at the limit") << times(limit, u'x') << 1 << "";
    // Cut into pieces of the target (the last one holds what is left).
    QTest::newRow("line one past the limit") << times(limit + 1, u'x') << 3 << joins(2);
    QTest::newRow("long line between CR LF lines")
        << QString(QStringLiteral("a\r\n") + times(limit * 3, u'x') + QStringLiteral("\r\nb")) << 8
        << QStringLiteral("CRLF,") + joins(5) + QStringLiteral(",CRLF");
    QTest::newRow("long lines ended by LF and CR")
        << QString(times(limit + 1, u'x') + QStringLiteral("\n") + times(limit + 1, u'y') + QStringLiteral("\r"))
        << 7 << "JOIN,JOIN,LF,JOIN,JOIN,CR";
    QTest::newRow("long line of pairs and stand-ins")
        << QString(times(limit, QChar(0x2029).unicode()) + QStringLiteral("😀😀😀").repeated(int(target)))
        << 1 + int((limit + 6 * target) / target) - 1 << joins(int((limit + 6 * target) / target) - 1);
    QTest::newRow("all of them between line ends")
        << QString(QChar(0x2029) + QStringLiteral("\r\n") + QChar(0x2028) + "\n" + QChar(0xFDD0) +
                   QChar(0xFDD1) + "\r" + QChar(0xFFFC) + QChar(0x2029))
        << 4 << "CRLF,LF,CR";
}

void TestTextBox::textRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(int, paragraphs);
    QFETCH(QString, ends);
    // Each row after the previous one: a text of other line ends must not keep any of theirs.
    m_box.setText(text);
    QCOMPARE(m_box.text(), text);
    // A snapshot gives the same text, also when called on another thread after the text changed.
    const std::function<QString()> snapshot = m_box.textSnapshot();
    m_box.setSelText(QStringLiteral("x\r\n"));
    QString fromThread;
    std::thread([&] { fromThread = snapshot(); }).join();
    QCOMPARE(fromThread, text);
    m_box.setText(text);
    // Every line end is a line of its own in the widget, and keeps its kind.
    QCOMPARE(m_edit.document()->blockCount(), paragraphs);
    QCOMPARE(lineEndsOf(m_edit.document()), ends);
    QVERIFY(LineEnds::of(m_edit.document())->matchesDocument());
    QCOMPARE(m_box.modelLength(), text.size());
    QVERIFY(longestParagraph(m_edit.document()) <= PlainTextBox::paragraphLimit);
    // Nothing to undo: assigning the text is not one of the widget's own edits.
    QVERIFY(!m_edit.document()->isUndoAvailable());
    // The whole text selected reads back the same.
    m_box.setSelLength(text.size());
    QCOMPARE(m_box.selText(), text);
    QCOMPARE(m_box.selLength(), text.size());
}

void TestTextBox::setTextPutsCaretAtStart()
{
    m_box.setText(QStringLiteral("one\r\ntwo\r\nthree"));
    m_box.setSelStart(5);
    m_box.setSelLength(6);
    QCOMPARE(m_box.selLength(), 6);
    m_box.setText(QStringLiteral("four\r\nfive"));
    QCOMPARE(m_box.selStart(), 0);
    QCOMPARE(m_box.selLength(), 0);
    QCOMPARE(m_box.selText(), QString());
    QCOMPARE(m_edit.textCursor().position(), 0);
}

void TestTextBox::selection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<qsizetype>("expectedStart");
    QTest::addColumn<qsizetype>("expectedLength");
    QTest::addColumn<QString>("expectedText");

    const QString lines = QStringLiteral("ab\r\ncd\r\nef");
    QTest::newRow("after two breaks") << lines << 8_q << 2_q << 8_q << 2_q << "ef";
    QTest::newRow("across a break") << lines << 1_q << 4_q << 1_q << 4_q << "b\r\nc";
    QTest::newRow("two whole lines") << lines << 4_q << 6_q << 4_q << 6_q << "cd\r\nef";
    QTest::newRow("a break alone") << lines << 2_q << 2_q << 2_q << 2_q << "\r\n";
    QTest::newRow("lone CR and LF before")
        << QStringLiteral("a\rb\nc\r\nxyz") << 7_q << 3_q << 7_q << 3_q << "xyz";
    QTest::newRow("lone CR selected")
        << QStringLiteral("a\rb\r\nc") << 1_q << 1_q << 1_q << 1_q << "\r";
    QTest::newRow("lone LF then break selected")
        << QStringLiteral("a\n\r\nb") << 1_q << 3_q << 1_q << 3_q << "\n\r\n";
    QTest::newRow("Japanese after breaks")
        << QStringLiteral("日本\r\n語の\r\nテキスト") << 8_q << 4_q << 8_q << 4_q << "テキスト";
    QTest::newRow("length cut at the end") << lines << 8_q << 100_q << 8_q << 2_q << "ef";
    QTest::newRow("start past the end") << lines << 50_q << 3_q << 10_q << 0_q << "";
    QTest::newRow("negative start") << lines << -4_q << 2_q << 0_q << 2_q << "ab";
    QTest::newRow("negative length") << lines << 3_q << -2_q << 2_q << 0_q << "";
    // The widget cannot put the caret inside a CR LF: such a position falls back to the end of
    // the line, and a selection never holds half of a line break.
    QTest::newRow("start between CR and LF") << lines << 3_q << 2_q << 2_q << 2_q << "\r\n";
    QTest::newRow("end between CR and LF") << lines << 0_q << 3_q << 0_q << 2_q << "ab";
    QTest::newRow("empty text") << QString() << 0_q << 5_q << 0_q << 0_q << "";
    const QString lf = QStringLiteral("ab\ncd\nef");
    QTest::newRow("LF: second line") << lf << 3_q << 2_q << 3_q << 2_q << "cd";
    QTest::newRow("LF: across a break") << lf << 1_q << 3_q << 1_q << 3_q << "b\nc";
    QTest::newRow("LF: to the end") << lf << 5_q << 100_q << 5_q << 3_q << "\nef";
    const QString cr = QStringLiteral("ab\rcd\ref");
    QTest::newRow("CR: across two breaks") << cr << 1_q << 6_q << 1_q << 6_q << "b\rcd\re";
    QTest::newRow("CR: a break alone") << cr << 5_q << 1_q << 5_q << 1_q << "\r";
    // a0 CR1 LF2 b3 LF4 c5 CR6 d7 CR8 LF9 e10
    const QString mixed = QStringLiteral("a\r\nb\nc\rd\r\ne");
    QTest::newRow("mixed: after each kind") << mixed << 7_q << 4_q << 7_q << 4_q << "d\r\ne";
    QTest::newRow("mixed: LF and CR") << mixed << 3_q << 5_q << 3_q << 5_q << "b\nc\rd";
    QTest::newRow("mixed: start between CR and LF") << mixed << 9_q << 2_q << 8_q << 2_q << "\r\n";
    QTest::newRow("mixed: end between CR and LF") << mixed << 5_q << 4_q << 5_q << 3_q << "c\rd";
    QTest::newRow("mixed: all") << mixed << 0_q << 11_q << 0_q << 11_q << mixed;
    // Characters held as stand-ins are one position each, as in the model.
    const QString special = QString(QStringLiteral("a") + QChar(0x2029) + "\r\n" + QChar(0xFDD0) +
                                    QChar(0xFDD1) + "\n" + QChar(0x2028) + QChar(0xFFFC) + "b");
    QTest::newRow("stand-ins: across a break") << special << 1_q << 5_q << 1_q << 5_q
                                               << special.mid(1, 5);
    QTest::newRow("stand-ins: after them") << special << 7_q << 3_q << 7_q << 3_q << special.mid(7);
    QTest::newRow("stand-ins: end between CR and LF") << special << 1_q << 2_q << 1_q << 1_q
                                                      << special.mid(1, 1);
}

void TestTextBox::selection()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    QFETCH(qsizetype, expectedStart);
    QFETCH(qsizetype, expectedLength);
    QFETCH(QString, expectedText);

    m_box.setText(text);
    m_box.setSelStart(start);
    QCOMPARE(m_box.selStart(), expectedStart);
    QCOMPARE(m_box.selLength(), 0);
    m_box.setSelLength(length);
    QCOMPARE(m_box.selStart(), expectedStart);
    QCOMPARE(m_box.selLength(), expectedLength);
    QCOMPARE(m_box.selText(), expectedText);
    // One widget character per line end.
    QCOMPARE(m_edit.textCursor().selectedText().size(),
             expectedText.size() - expectedText.count(QStringLiteral("\r\n")));
    QCOMPARE(m_edit.textCursor().selectedText().count(QChar::ParagraphSeparator),
             lineEndCount(expectedText));

    // Setting the start again clears the selection.
    m_box.setSelStart(expectedStart);
    QCOMPARE(m_box.selLength(), 0);
    QVERIFY(!m_edit.textCursor().hasSelection());
}

void TestTextBox::positionsAtParagraphEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("model");
    QTest::addColumn<int>("widget");
    QTest::addColumn<qsizetype>("modelBack");

    // "ab" CR LF "cd" CR LF "ef": paragraphs at widget 0..2, 3..5, 6..8.
    const QString lines = QStringLiteral("ab\r\ncd\r\nef");
    QTest::newRow("start") << lines << 0_q << 0 << 0_q;
    QTest::newRow("end of first line") << lines << 2_q << 2 << 2_q;
    QTest::newRow("between CR and LF") << lines << 3_q << 2 << 2_q;
    QTest::newRow("start of second line") << lines << 4_q << 3 << 4_q;
    QTest::newRow("end of second line") << lines << 6_q << 5 << 6_q;
    QTest::newRow("start of last line") << lines << 8_q << 6 << 8_q;
    QTest::newRow("end of text") << lines << 10_q << 8 << 10_q;
    QTest::newRow("past the end") << lines << 11_q << 8 << 10_q;
    const QString empties = QStringLiteral("\r\n\r\nx\r\n");
    QTest::newRow("empty line start") << empties << 2_q << 1 << 2_q;
    QTest::newRow("inside a break after empty line") << empties << 3_q << 1 << 2_q;
    QTest::newRow("after final break") << empties << 7_q << 4 << 7_q;
    const QString lone = QStringLiteral("a\rb\nc\r\nd");
    QTest::newRow("lone CR and LF count once") << lone << 5_q << 5 << 5_q;
    QTest::newRow("after them and a break") << lone << 7_q << 6 << 7_q;
    // a0 LF1 b2 CR3 LF4 c5 CR6 d7: paragraphs at widget 0..1, 2..3, 4..5, 6..7.
    const QString mixed = QStringLiteral("a\nb\r\nc\rd");
    QTest::newRow("mixed: after a lone LF") << mixed << 2_q << 2 << 2_q;
    QTest::newRow("mixed: between CR and LF") << mixed << 4_q << 3 << 3_q;
    QTest::newRow("mixed: after the CR LF") << mixed << 5_q << 4 << 5_q;
    QTest::newRow("mixed: after a lone CR") << mixed << 7_q << 6 << 7_q;
    QTest::newRow("mixed: end") << mixed << 8_q << 7 << 8_q;
    // "ab" CR LF, then 401 x cut after 200 and 400: paragraphs at widget 0..2, 3..203, 204..404,
    // 405..406; a model position at a join is the start of the paragraph after it.
    const QString cut = QStringLiteral("ab\r\n") + times(PlainTextBox::paragraphLimit + 1, u'x');
    QTest::newRow("join: line start") << cut << 4_q << 3 << 4_q;
    QTest::newRow("join: before it") << cut << 203_q << 202 << 203_q;
    QTest::newRow("join: at it") << cut << 204_q << 204 << 204_q;
    QTest::newRow("join: after it") << cut << 205_q << 205 << 205_q;
    QTest::newRow("join: at the second") << cut << 404_q << 405 << 404_q;
    QTest::newRow("join: end") << cut << 405_q << 406 << 405_q;
    QTest::newRow("join: past the end") << cut << 999_q << 406 << 405_q;
    const QString lf = QStringLiteral("ab\n\ncd");
    QTest::newRow("LF: empty line") << lf << 3_q << 3 << 3_q;
    QTest::newRow("LF: end") << lf << 6_q << 6 << 6_q;
    QTest::newRow("LF: past the end") << lf << 9_q << 6 << 6_q;
}

void TestTextBox::positionsAtParagraphEnds()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, model);
    QFETCH(int, widget);
    QFETCH(qsizetype, modelBack);
    m_box.setText(text);
    QCOMPARE(m_box.widgetPosition(model), widget);
    QCOMPARE(m_box.modelPosition(widget), modelBack);
    // The end of the paragraph before a join is the same place of the text as the start of the
    // paragraph after it.
    const QTextBlock block = m_edit.document()->findBlock(widget);
    if (block.blockNumber() > 0 && LineEnds::of(m_edit.document())->isJoined(block.blockNumber()))
        QCOMPARE(m_box.modelPosition(block.position() - 1), m_box.modelPosition(block.position()));
    m_box.setSelStart(model);
    QCOMPARE(m_edit.textCursor().position(), widget);
    QCOMPARE(m_box.selStart(), modelBack);
}

// Many lines of every length with lone CRs and LFs among them: any selection that does not cut a
// CR LF reads back exactly the characters of the text.
void TestTextBox::selectionAnywhereInALongText()
{
    QRandomGenerator random(20240611);
    QString text;
    // Long runs without a line end make lines cut by joins, some after a tag or a space.
    const QString pieces[] = {QStringLiteral("\r\n"), QStringLiteral("\r"),
                              QStringLiteral("\n"),   QStringLiteral("あ"),
                              QStringLiteral("x"),    QStringLiteral("\r\n\r\n"),
                              times(300, u'z'),       QStringLiteral("<p> ").repeated(80)};
    while (text.size() < 40000)
        text += pieces[random.bounded(8)];
    m_box.setText(text);
    QCOMPARE(m_box.text(), text);
    QVERIFY(LineEnds::of(m_edit.document())->matchesDocument());

    auto insideBreak = [&](qsizetype pos) {
        return pos > 0 && pos < text.size() && text.at(pos - 1) == u'\r' && text.at(pos) == u'\n';
    };
    for (int i = 0; i < 500; ++i) {
        qsizetype start = random.bounded(int(text.size() + 1));
        qsizetype length = random.bounded(int(text.size() - start + 1));
        if (insideBreak(start) || insideBreak(start + length))
            continue;
        m_box.setSelStart(start);
        m_box.setSelLength(length);
        QCOMPARE(m_box.selStart(), start);
        QCOMPARE(m_box.selLength(), length);
        QCOMPARE(m_box.selText(), text.mid(start, length));
    }
}

void TestTextBox::setSelText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qsizetype>("caret");

    const QString lines = QStringLiteral("ab\r\ncd");
    QTest::newRow("insert at caret") << lines << 4_q << 0_q << "X"
                                     << "ab\r\nXcd" << 5_q;
    QTest::newRow("replace across a break") << lines << 1_q << 4_q << "Y"
                                            << "aYd" << 2_q;
    QTest::newRow("replace a break with CR LF") << lines << 2_q << 2_q << "\r\n\r\n"
                                                << "ab\r\n\r\ncd" << 6_q;
    QTest::newRow("insert CR LF") << QStringLiteral("abc") << 1_q << 0_q << "\r\n"
                                  << "a\r\nbc" << 3_q;
    QTest::newRow("insert lone CR") << QStringLiteral("abc") << 1_q << 0_q << "\r"
                                    << "a\rbc" << 2_q;
    QTest::newRow("insert lone LF after a break") << lines << 4_q << 0_q << "\n"
                                                  << "ab\r\n\ncd" << 5_q;
    QTest::newRow("insert mixed line ends") << lines << 4_q << 0_q << "x\r\ny\nz\r"
                                            << "ab\r\nx\r\ny\nz\rcd" << 11_q;
    QTest::newRow("insert at the end after CR LF") << QStringLiteral("ab\r\n") << 4_q << 0_q << "c"
                                                   << "ab\r\nc" << 5_q;
    QTest::newRow("empty text deletes the selection") << lines << 0_q << 4_q << ""
                                                      << "cd" << 0_q;
    QTest::newRow("into an empty text") << QString() << 0_q << 0_q << "日本\r\n語"
                                        << "日本\r\n語" << 5_q;
    QTest::newRow("replace lone CR with CR LF") << QStringLiteral("a\rb") << 1_q << 1_q << "\r\n"
                                                << "a\r\nb" << 3_q;
    // The markup commands' own edits: tags around or between lines of other line ends.
    QTest::newRow("wrap LF lines") << QStringLiteral("x\na\nb\ny") << 2_q << 3_q
                                   << "<CENTER>\r\na\nb</CENTER>\r\n"
                                   << "x\n<CENTER>\r\na\nb</CENTER>\r\n\ny" << 26_q;
    QTest::newRow("tag before a CR") << QStringLiteral("a\rb\rc") << 3_q << 0_q << "<BR>"
                                     << "a\rb<BR>\rc" << 7_q;
    QTest::newRow("replace lines of every kind") << QStringLiteral("a\r\nb\nc\rd") << 1_q << 6_q
                                                 << "\n\r" << "a\n\rd" << 3_q;
    QTest::newRow("insert characters held as stand-ins")
        << QStringLiteral("a\r\nb") << 3_q << 0_q
        << QString(QChar(0x2029) + QStringLiteral("\r\n") + QChar(0xFDD0) + QChar(0xFFFC))
        << QString(QStringLiteral("a\r\n") + QChar(0x2029) + "\r\n" + QChar(0xFDD0) + QChar(0xFFFC) + "b")
        << 8_q;
    QTest::newRow("delete a lone LF") << QStringLiteral("a\nb\rc") << 1_q << 1_q << ""
                                      << "ab\rc" << 1_q;
}

void TestTextBox::setSelText()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    QFETCH(QString, inserted);
    QFETCH(QString, expected);
    QFETCH(qsizetype, caret);

    m_box.setText(text);
    m_box.setSelStart(start);
    m_box.setSelLength(length);
    QCOMPARE(m_box.selLength(), length);
    m_box.setSelText(inserted);
    QCOMPARE(m_box.text(), expected);
    QCOMPARE(m_box.selStart(), caret);
    QCOMPARE(m_box.selLength(), 0);
    QCOMPARE(m_box.selText(), QString());
    QVERIFY(LineEnds::of(m_edit.document())->matchesDocument());
    // The widget's own undo brings the old text back with its line ends, redo the new one.
    m_edit.undo();
    QCOMPARE(m_box.text(), text);
    QVERIFY(LineEnds::of(m_edit.document())->matchesDocument());
    m_edit.redo();
    QCOMPARE(m_box.text(), expected);
    QVERIFY(LineEnds::of(m_edit.document())->matchesDocument());
}

// Inserting line after line at the caret, as loading a file by path does, keeps them in order.
void TestTextBox::setSelTextAppendsLineAfterLine()
{
    m_box.setText(QStringLiteral("head\r\ntail"));
    m_box.setSelStart(6);
    for (const QString &line : {QStringLiteral("one"), QStringLiteral("two\r"), QString()})
        m_box.setSelText(line + QStringLiteral("\r\n"));
    QCOMPARE(m_box.text(), QStringLiteral("head\r\none\r\ntwo\r\r\n\r\ntail"));
    QCOMPARE(m_box.selStart(), 19);
}

void TestTextBox::setSelTextIsOneUndoStep()
{
    m_box.setText(QStringLiteral("ab\r\ncd"));
    m_box.setSelStart(1);
    m_box.setSelLength(4);
    m_box.setSelText(QStringLiteral("1\r\n2\r\n3"));
    QCOMPARE(m_box.text(), QStringLiteral("a1\r\n2\r\n3d"));
    m_edit.undo();
    QCOMPARE(m_box.text(), QStringLiteral("ab\r\ncd"));
}

void TestTextBox::userEditsKeepLineEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");

    QTest::newRow("type in an LF line") << "ab\ncd" << 4_q << 0_q << Edit::Type << "x"
                                        << "ab\ncxd";
    QTest::newRow("type after a CR") << "ab\rcd" << 3_q << 0_q << Edit::Type << "x"
                                     << "ab\rxcd";
    QTest::newRow("type in an empty line after LF") << "a\n\nb" << 2_q << 0_q << Edit::Type
                                                    << "xy" << "a\nxy\nb";
    QTest::newRow("type over lines") << "a\nb\rc\nd" << 2_q << 3_q << Edit::Type << "X"
                                     << "a\nX\nd";
    // Enter is CR LF whatever the line ends around it.
    QTest::newRow("Enter inside an LF line") << "ab\ncd" << 1_q << 0_q << Edit::Return << ""
                                             << "a\r\nb\ncd";
    QTest::newRow("Enter at the end of an LF line") << "ab\ncd" << 2_q << 0_q << Edit::Return
                                                    << "" << "ab\r\n\ncd";
    QTest::newRow("Enter after a CR") << "ab\rcd" << 3_q << 0_q << Edit::Return << ""
                                      << "ab\r\r\ncd";
    QTest::newRow("Enter in an empty line after LF") << "a\n\nb" << 2_q << 0_q << Edit::Return
                                                     << "" << "a\n\r\n\nb";
    QTest::newRow("Enter over a selection") << "a\nb\rc" << 1_q << 3_q << Edit::Return << ""
                                            << "a\r\nc";
    // Deleting a line end removes that line end's characters, and no other line end's kind.
    QTest::newRow("Backspace over LF") << "ab\ncd" << 3_q << 0_q << Edit::Backspace << ""
                                       << "abcd";
    QTest::newRow("Backspace over CR") << "ab\rcd\re" << 3_q << 0_q << Edit::Backspace << ""
                                       << "abcd\re";
    QTest::newRow("Backspace over CR LF between LF and CR")
        << "a\nb\r\nc\rd" << 5_q << 0_q << Edit::Backspace << "" << "a\nbc\rd";
    QTest::newRow("Backspace into a line ended by CR") << "a\n\rb" << 2_q << 0_q
                                                       << Edit::Backspace << "" << "a\rb";
    QTest::newRow("Delete an empty line's CR") << "a\n\rb" << 2_q << 0_q << Edit::Delete << ""
                                               << "a\nb";
    QTest::newRow("Delete LF before CR line") << "a\nb\rc" << 1_q << 0_q << Edit::Delete << ""
                                              << "ab\rc";
    QTest::newRow("Delete lines from a line's start") << "a\nb\rc\nd" << 2_q << 4_q
                                                      << Edit::Delete << "" << "a\nd";
    QTest::newRow("Delete lines from inside a line") << "a\nb\rc\r\nd" << 2_q << 3_q
                                                     << Edit::Delete << "" << "a\n\r\nd";
    // Another program's text: every CR, LF and CR LF is a CR LF line end.
    QTest::newRow("paste another program's text")
        << "a\nb" << 2_q << 0_q << Edit::PastePlain << "x\ry\nz\r\nw"
        << "a\nx\r\ny\r\nz\r\nwb";
    // The program's own copy comes back as it was.
    QTest::newRow("paste our own copy") << "a\nb" << 2_q << 0_q << Edit::PasteOwn << "x\ry\nz\r\n"
                                        << "a\nx\ry\nz\r\nb";
    QTest::newRow("paste our own copy over lines")
        << "a\r\nb\rc" << 1_q << 4_q << Edit::PasteOwn << "\n" << "a\nc";
}

// Typing, Enter, Backspace, Delete and paste in the text area give the text the model expects,
// keep every other line end's kind, and the widget's own undo and redo go back and forth exactly.
void TestTextBox::userEditsKeepLineEnds()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    QFETCH(Edit, edit);
    QFETCH(QString, argument);
    QFETCH(QString, expected);

    TextArea area;
    PlainTextBox box(&area);
    LineEnds *ends = LineEnds::of(area.document());
    box.setText(text);
    box.setSelStart(start);
    box.setSelLength(length);
    QCOMPARE(box.selLength(), length);
    switch (edit) {
    case Edit::Type:
        QTest::keyClicks(&area, argument);
        break;
    case Edit::Return:
        QTest::keyClick(&area, Qt::Key_Return);
        break;
    case Edit::Backspace:
        QTest::keyClick(&area, Qt::Key_Backspace);
        break;
    case Edit::Delete:
        QTest::keyClick(&area, Qt::Key_Delete);
        break;
    case Edit::PastePlain:
        QApplication::clipboard()->setText(argument);
        area.paste();
        break;
    case Edit::PasteOwn: {
        auto *mime = new QMimeData;
        mime->setText(QStringLiteral("plain text is not taken"));
        mime->setData(TextArea::modelTextMimeType,
                      QByteArray(reinterpret_cast<const char *>(argument.utf16()),
                                 argument.size() * 2));
        QApplication::clipboard()->setMimeData(mime);
        area.paste();
        break;
    }
    }
    QCOMPARE(box.text(), expected);
    QVERIFY(ends->matchesDocument());
    QCOMPARE(area.document()->blockCount(), 1 + lineEndCount(expected));
    QCOMPARE(box.modelLength(), expected.size());

    // Undo as many steps as the edit took (typing several keys may be several).
    while (area.document()->isUndoAvailable())
        area.undo();
    QCOMPARE(box.text(), text);
    QVERIFY(ends->matchesDocument());
    while (area.document()->isRedoAvailable())
        area.redo();
    QCOMPARE(box.text(), expected);
    QVERIFY(ends->matchesDocument());

    // A line typed after the edit is a CR LF line whatever stood at the caret.
    QTest::keyClick(&area, Qt::Key_Return);
    QTest::keyClicks(&area, QStringLiteral("z"));
    const qsizetype caret = box.selStart();
    QCOMPARE(box.text().mid(caret - 3, 3), QStringLiteral("\r\nz"));
    QVERIFY(ends->matchesDocument());
}

// Replacements anywhere in a long mixed text, with the widget's undo and redo in between and a
// syntax highlighter at work: the text reads back as a plain string edited alike says, and the
// kinds held agree with the document after every step.
void TestTextBox::randomEditsAndUndoKeepTheText()
{
    QRandomGenerator random(777);
    // The long pieces make lines cut by joins, which the edits split, merge and grow.
    const QString pieces[] = {QStringLiteral("\r\n"), QStringLiteral("\r"), QStringLiteral("\n"),
                              QStringLiteral("あ"), QStringLiteral("xy"), QString(),
                              times(150, u'z'), QStringLiteral("<b>&amp; ").repeated(20)};
    auto randomText = [&](int parts) {
        QString t;
        for (int i = 0; i < parts; ++i)
            t += pieces[random.bounded(i % 5 == 4 ? 8 : 6)];
        return t;
    };
    TextArea area;
    PlainTextBox box(&area);
    LineEnds *ends = LineEnds::of(area.document());
    // The highlighter re-marks paragraphs after every change, as the program's HTML one does.
    TagHighlighter highlighter(area.document());
    QString text = randomText(3000);
    box.setText(text);
    QStringList history{text};
    qsizetype at = 0; // the current step in history
    auto insideBreak = [&](qsizetype pos) {
        return pos > 0 && pos < text.size() && text.at(pos - 1) == u'\r' && text.at(pos) == u'\n';
    };
    for (int step = 0; step < 300; ++step) {
        const int what = random.bounded(10);
        if (what == 0 && at > 0) {
            area.undo();
            text = history.at(--at);
        } else if (what == 1 && at + 1 < history.size()) {
            area.redo();
            text = history.at(++at);
        } else {
            qsizetype start = random.bounded(int(text.size() + 1));
            qsizetype length = random.bounded(std::min(200, int(text.size() - start)) + 1);
            if (insideBreak(start) || insideBreak(start + length))
                continue;
            const QString inserted = randomText(random.bounded(40));
            box.setSelStart(start);
            box.setSelLength(length);
            box.setSelText(inserted);
            text = text.left(start) + inserted + text.mid(start + length);
            history.resize(at + 1);
            history.append(text);
            ++at;
        }
        QCOMPARE(box.text(), text);
        QCOMPARE(box.modelLength(), text.size());
        QVERIFY2(ends->matchesDocument(), qPrintable(QString::number(step)));
        QVERIFY(longestParagraph(area.document()) <= PlainTextBox::paragraphLimit);
    }
}

void TestTextBox::lineEndKindsAgreeWithAPlainList_data()
{
    QTest::addColumn<int>("initial");
    QTest::addColumn<int>("maxRun");
    // Around the chunk sizes (512 when made, 1024 at most) and far beyond them.
    QTest::newRow("empty, small edits") << 0 << 3;
    QTest::newRow("511") << 511 << 5;
    QTest::newRow("1025") << 1025 << 40;
    QTest::newRow("5000, large edits") << 5000 << 1500;
    QTest::newRow("20000") << 20000 << 300;
}

// The chunked kinds with their counts agree with a plain list after any sequence of edits.
void TestTextBox::lineEndKindsAgreeWithAPlainList()
{
    QFETCH(int, initial);
    QFETCH(int, maxRun);
    QRandomGenerator random(quint32(initial * 7 + maxRun));
    std::vector<std::uint8_t> plain(static_cast<std::size_t>(initial));
    for (auto &k : plain)
        k = std::uint8_t(random.bounded(10) < 7 ? 0 : random.bounded(1, 4));
    LineEndKinds kinds;
    kinds.assign(plain);
    for (int step = 0; step < 400; ++step) {
        const qsizetype pos = random.bounded(int(plain.size()) + 1);
        const qsizetype removed = random.bounded(std::min(maxRun, int(plain.size() - pos)) + 1);
        std::vector<std::uint8_t> added(std::size_t(random.bounded(maxRun + 1)));
        // Often a single kind, as a typed line end is; sometimes every kind.
        const bool oneKind = random.bounded(2) == 0;
        const auto kind = std::uint8_t(random.bounded(4));
        for (auto &k : added)
            k = oneKind ? kind : std::uint8_t(random.bounded(4));
        kinds.replace(pos, removed, added.data(), qsizetype(added.size()));
        plain.erase(plain.begin() + pos, plain.begin() + pos + removed);
        plain.insert(plain.begin() + pos, added.begin(), added.end());

        QCOMPARE(kinds.size(), qsizetype(plain.size()));
        for (std::uint8_t k = 0; k < 4; ++k)
            QCOMPARE(kinds.count(LineEnd(k)), qsizetype(std::count(plain.begin(), plain.end(), k)));
        // Probes around the edit and anywhere.
        for (qsizetype at : {qsizetype(0), pos, pos + qsizetype(added.size()),
                             qsizetype(random.bounded(int(plain.size()) + 1)), qsizetype(plain.size())}) {
            at = std::min(at, qsizetype(plain.size()));
            QCOMPARE(kinds.crlfBefore(at), qsizetype(std::count(plain.begin(), plain.begin() + at, 0)));
            const qsizetype joinsBefore = std::count(plain.begin(), plain.begin() + at, 3);
            QCOMPARE(kinds.joinsBefore(at), joinsBefore);
            QCOMPARE(kinds.modelExtraBefore(at), kinds.crlfBefore(at) - joinsBefore);
            // The line end that ends line n: the first break at or after `at` that is no join.
            const auto lineEnd = std::find_if(plain.begin() + at, plain.end(), [](std::uint8_t k) { return k != 3; });
            QCOMPARE(kinds.nthLineEnd(at - joinsBefore), qsizetype(lineEnd - plain.begin()));
            if (at < qsizetype(plain.size()))
                QCOMPARE(kinds.at(at), LineEnd(plain[std::size_t(at)]));
        }
    }
    std::vector<std::uint8_t> read(plain.size());
    kinds.read(0, qsizetype(read.size()), read.data());
    QCOMPARE(read, plain);
    // Back to one kind: held without chunks again.
    kinds.replace(0, kinds.size(), nullptr, 0);
    QVERIFY(kinds.isUniform());
}

void TestTextBox::cutPoint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("target");
    QTest::addColumn<qsizetype>("cut");
    const QString x = times(20, u'x');
    QTest::newRow("nowhere better: at the target") << x << 10_q << 10_q;
    QTest::newRow("after a tag's end") << QString(x.left(6) + ">" + x) << 10_q << 7_q;
    QTest::newRow("the last tag's end in reach")
        << QString("xxxxx>x>xxxxxxxxxxxxxx") << 10_q << 8_q;
    QTest::newRow("a tag's end before a later space") << QString("xxxxx>xx xxxxxxxxxx") << 10_q << 6_q;
    QTest::newRow("after a space") << QString("xxxxxxx xxxxxxxxxxx") << 10_q << 8_q;
    QTest::newRow("after a tab") << QString("xxxxxxxxx\txxxxxxxx") << 10_q << 10_q;
    QTest::newRow("before a tag's start") << QString("xxxxxxx<xxxxxxxxxx") << 10_q << 7_q;
    QTest::newRow("before a reference") << QString("xxxxxx&amp;xxxxxxxx") << 10_q << 6_q;
    QTest::newRow("a tag's end in the first half is too far") << QString("xx>xxxxxxxxxxxxxxxxx")
                                                              << 10_q << 10_q;
    QTest::newRow("not inside a surrogate pair")
        << QString(times(9, u'x') + QStringLiteral("😀") + x) << 10_q << 9_q;
    QTest::newRow("a pair right at the cut stays whole")
        << QString(times(10, u'x') + QStringLiteral("😀") + x) << 10_q << 10_q;
    QTest::newRow("not before a combining mark")
        << QString(times(10, u'x') + QChar(0x0301) + x) << 10_q << 9_q;
    QTest::newRow("a cut of zero") << x << 0_q << 0_q;
}

void TestTextBox::cutPoint()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, target);
    QFETCH(qsizetype, cut);
    QCOMPARE(PlainTextBox::cutPoint(reinterpret_cast<const char16_t *>(text.constData()), text.size(),
                                    target),
             cut);
}

void TestTextBox::keysAtAJoin_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start"); // model position of the caret
    QTest::addColumn<qsizetype>("length");
    // Put the caret at the end of the paragraph before the join, not at the start of the next.
    QTest::addColumn<bool>("beforeJoin");
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<qsizetype>("selected");

    // 200 a, then 201 b: cut after the a (no tag or space to cut at), the join at model 200.
    const qsizetype target = PlainTextBox::paragraphTarget;
    const qsizetype limit = PlainTextBox::paragraphLimit;
    const QString ab = times(target, u'a') + times(limit + 1 - target, u'b');
    const auto without = [&](qsizetype at, qsizetype n) { return QString(ab).remove(at, n); };
    QTest::newRow("Backspace after a join deletes the character before it")
        << ab << 200_q << 0_q << false << Keys{Qt::Key_Backspace} << without(199, 1) << 199_q << 0_q;
    QTest::newRow("Backspace at the end before a join")
        << ab << 200_q << 0_q << true << Keys{Qt::Key_Backspace} << without(199, 1) << 199_q << 0_q;
    QTest::newRow("Delete before a join deletes the character after it")
        << ab << 200_q << 0_q << true << Keys{Qt::Key_Delete} << without(200, 1) << 200_q << 0_q;
    QTest::newRow("Delete after a join")
        << ab << 200_q << 0_q << false << Keys{Qt::Key_Delete} << without(200, 1) << 200_q << 0_q;
    QTest::newRow("Backspace twice over a join")
        << ab << 201_q << 0_q << false << Keys{Qt::Key_Backspace, Qt::Key_Backspace} << without(199, 2)
        << 199_q << 0_q;
    QTest::newRow("Delete twice over a join")
        << ab << 199_q << 0_q << false << Keys{Qt::Key_Delete, Qt::Key_Delete} << without(199, 2)
        << 199_q << 0_q;
    QTest::newRow("Right passes a character, not the join")
        << ab << 200_q << 0_q << true << Keys{Qt::Key_Right} << ab << 201_q << 0_q;
    QTest::newRow("Left passes a character, not the join")
        << ab << 200_q << 0_q << false << Keys{Qt::Key_Left} << ab << 199_q << 0_q;
    QTest::newRow("Shift+Right selects over the join")
        << ab << 199_q << 0_q << false << Keys{Qt::ShiftModifier | Qt::Key_Right, Qt::ShiftModifier | Qt::Key_Right}
        << ab << 199_q << 2_q;
    QTest::newRow("Shift+Left selects over the join")
        << ab << 201_q << 0_q << false << Keys{Qt::ShiftModifier | Qt::Key_Left, Qt::ShiftModifier | Qt::Key_Left}
        << ab << 199_q << 2_q;
    QTest::newRow("typing over a selection across the join")
        << ab << 190_q << 20_q << false << Keys{Qt::Key_Z} << QString(ab).replace(190, 20, QStringLiteral("z"))
        << 191_q << 0_q;
    QTest::newRow("Delete a selection across the join")
        << ab << 150_q << 100_q << false << Keys{Qt::Key_Delete} << without(150, 100) << 150_q << 0_q;
    QTest::newRow("typing at the join")
        << ab << 200_q << 0_q << true << Keys{Qt::Key_Z, Qt::Key_Z} << QString(ab).insert(200, QStringLiteral("zz"))
        << 202_q << 0_q;
    // A CR LF right after joined text: Backspace deletes it, the joins stay joins.
    const QString lines = QStringLiteral("x\r\n") + ab + QStringLiteral("\r\ny");
    QTest::newRow("Backspace over a line end after a joined line")
        << lines << 406_q << 0_q << false << Keys{Qt::Key_Backspace}
        << QString(QStringLiteral("x\r\n") + ab + QStringLiteral("y")) << 404_q << 0_q;
    QTest::newRow("Enter at a join is a line end")
        << ab << 200_q << 0_q << false << Keys{Qt::Key_Return}
        << QString(ab).insert(200, QStringLiteral("\r\n")) << 202_q << 0_q;
    // Typing into a paragraph at the limit cuts it again (the text stays as typed).
    const QString full = times(limit, u'c');
    QTest::newRow("typing past the limit")
        << full << limit << 0_q << false << Keys{Qt::Key_Z, Qt::Key_Z, Qt::Key_Z}
        << QString(full + QStringLiteral("zzz")) << limit + 3 << 0_q;
    QTest::newRow("typing past the limit in the middle")
        << full << 7_q << 0_q << false << Keys{Qt::Key_Z}
        << QString(full).insert(7, QStringLiteral("z")) << 8_q << 0_q;
}

// Keys at a join delete and pass real characters: the text changes as it would in one paragraph,
// no paragraph grows past the limit, and the widget's own undo and redo keep the joins.
void TestTextBox::keysAtAJoin()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    QFETCH(bool, beforeJoin);
    QFETCH(Keys, keys);
    QFETCH(QString, expected);
    QFETCH(qsizetype, caret);
    QFETCH(qsizetype, selected);

    TextArea area;
    PlainTextBox box(&area);
    LineEnds *ends = LineEnds::of(area.document());
    box.setText(text);
    const int paragraphsBefore = area.document()->blockCount();
    box.setSelStart(start);
    box.setSelLength(length);
    if (beforeJoin) {
        QTextCursor cursor = area.textCursor();
        QVERIFY(cursor.atBlockStart() && ends->isJoined(cursor.blockNumber()));
        cursor.setPosition(cursor.position() - 1);
        area.setTextCursor(cursor);
        QCOMPARE(box.selStart(), start);
    }
    for (const QKeyCombination key : keys)
        QTest::keyClick(&area, key.key(), key.keyboardModifiers());
    QCOMPARE(box.text(), expected);
    QCOMPARE(box.selStart(), caret);
    QCOMPARE(box.selLength(), selected);
    QCOMPARE(box.selText(), expected.mid(caret, selected));
    QVERIFY(ends->matchesDocument());
    QVERIFY(longestParagraph(area.document()) <= PlainTextBox::paragraphLimit);
    QCOMPARE(box.modelLength(), expected.size());

    while (area.document()->isUndoAvailable())
        area.undo();
    QCOMPARE(box.text(), text);
    QCOMPARE(area.document()->blockCount(), paragraphsBefore);
    QVERIFY(ends->matchesDocument());
    while (area.document()->isRedoAvailable())
        area.redo();
    QCOMPARE(box.text(), expected);
    QVERIFY(ends->matchesDocument());
    QVERIFY(longestParagraph(area.document()) <= PlainTextBox::paragraphLimit);
}

// Text committed by an input method grows the paragraph as typing does, and is cut alike, in
// the same step of the widget's undo.
void TestTextBox::composedTextPastTheLimitIsCut()
{
    TextArea area;
    PlainTextBox box(&area);
    const QString full(PlainTextBox::paragraphLimit, u'c');
    box.setText(full);
    box.setSelStart(10);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日本語"));
    QApplication::sendEvent(&area, &commit);
    QCOMPARE(box.text(), QString(full).insert(10, QStringLiteral("日本語")));
    QCOMPARE(box.selStart(), 13);
    QVERIFY(area.document()->blockCount() > 1);
    QVERIFY(longestParagraph(area.document()) <= PlainTextBox::paragraphLimit);
    QVERIFY(LineEnds::of(area.document())->matchesDocument());
    area.undo();
    QCOMPARE(box.text(), full);
    QCOMPARE(area.document()->blockCount(), 1);
}

// The gutter numbers lines: a paragraph after a join has no number, and the width follows the
// number of lines, not of paragraphs.
void TestTextBox::gutterNumbersLinesNotParagraphs()
{
    const auto gutterOf = [](const QString &text, QImage &picture) {
        TextArea area;
        area.resize(400, 300);
        PlainTextBox box(&area);
        box.setText(text);
        area.setLineNumbersVisible(true);
        area.show();
        QApplication::processEvents();
        picture = area.lineNumberArea()->grab().toImage();
        return area.lineNumberArea()->width();
    };
    // One line cut into many paragraphs, against its first paragraph alone: the same picture
    // ("1" at the top and nothing more), the same width.
    const qsizetype target = PlainTextBox::paragraphTarget;
    QImage joined, single;
    const int joinedWidth = gutterOf(times(target * 60, u'x'), joined);
    const int singleWidth = gutterOf(times(target, u'x'), single);
    QCOMPARE(joinedWidth, singleWidth);
    QCOMPARE(joined, single);
    // 120 lines, each cut in two: three digits, as 120 short lines.
    QImage unused;
    const QString longLines = QStringList(120, times(PlainTextBox::paragraphLimit + 1, u'y')).join(u'\n');
    QCOMPARE(gutterOf(longLines, unused), gutterOf(QStringList(120, QStringLiteral("y")).join(u'\n'), unused));
    QVERIFY(gutterOf(longLines, unused) > singleWidth);
}

void TestTextBox::font_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<bool>("applied");
    QTest::newRow("10.5") << 10.5 << true;
    QTest::newRow("11") << 11.0 << true;
    QTest::newRow("14") << 14.0 << true;
    QTest::newRow("24") << 24.0 << true;
    QTest::newRow("zero is refused") << 0.0 << false;
    QTest::newRow("negative is refused") << -3.0 << false;
    QTest::newRow("not a number is refused") << std::nan("") << false;
}

void TestTextBox::font()
{
    QFETCH(double, size);
    QFETCH(bool, applied);
    QPlainTextEdit edit;
    PlainTextBox box(&edit);
    QLineEdit line;
    LineTextBox lineBox(&line);
    for (TextBox *b : {static_cast<TextBox *>(&box), static_cast<TextBox *>(&lineBox)}) {
        QWidget *w = b == &box ? static_cast<QWidget *>(&edit) : &line;
        b->setFontSize(12);
        const double before = b->fontSize();
        b->setFontSize(size);
        QCOMPARE(b->fontSize(), applied ? roundedToPixels(size, w->logicalDpiY()) : before);
        QCOMPARE(b->fontSize(), QFontInfo(w->font()).pointSizeF());

        b->setFontName(QStringLiteral("Noto Sans Mono CJK JP"));
        b->setFontBold(true);
        b->setFontItalic(true);
        QCOMPARE(b->fontName(), QStringLiteral("Noto Sans Mono CJK JP"));
        QVERIFY(b->fontBold());
        QVERIFY(b->fontItalic());
        QVERIFY(w->font().bold());
        QVERIFY(w->font().italic());
        b->setFontBold(false);
        QVERIFY(!b->fontBold());
        QVERIFY(b->fontItalic());
        // Each property leaves the others as they were.
        QCOMPARE(w->font().family(), QStringLiteral("Noto Sans Mono CJK JP"));
    }
}

void TestTextBox::focusActivatesWindow()
{
    QPlainTextEdit edit;
    QLineEdit other;
    PlainTextBox box(&edit);
    edit.show();
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    box.setFocus();
    QTRY_COMPARE(QApplication::activeWindow(), &edit);
    QTRY_VERIFY(edit.hasFocus());
}

void TestTextBox::lineBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<qsizetype>("expectedLength");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qsizetype>("caret");
    QTest::newRow("replace") << QStringLiteral("abcdef") << 1_q << 3_q << 3_q << "X"
                             << "aXef" << 2_q;
    QTest::newRow("insert at caret") << QStringLiteral("abc") << 3_q << 0_q << 0_q << "日本"
                                     << "abc日本" << 5_q;
    QTest::newRow("length cut") << QStringLiteral("abc") << 2_q << 9_q << 1_q << ""
                                << "ab" << 2_q;
    QTest::newRow("start past end") << QStringLiteral("abc") << 9_q << 1_q << 0_q << "d"
                                    << "abcd" << 4_q;
}

void TestTextBox::lineBox()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    QFETCH(qsizetype, expectedLength);
    QFETCH(QString, inserted);
    QFETCH(QString, expected);
    QFETCH(qsizetype, caret);

    QLineEdit edit;
    LineTextBox box(&edit);
    box.setText(text);
    QCOMPARE(box.text(), text);
    QCOMPARE(box.selStart(), 0);
    QCOMPARE(box.selLength(), 0);
    box.setSelStart(start);
    box.setSelLength(length);
    QCOMPARE(box.selLength(), expectedLength);
    QCOMPARE(box.selText(), text.mid(box.selStart(), expectedLength));
    box.setSelText(inserted);
    QCOMPARE(box.text(), expected);
    QCOMPARE(box.selStart(), caret);
    QCOMPARE(box.selLength(), 0);
    box.setSelStart(0);
    QVERIFY(!edit.hasSelectedText());
}

void TestTextBox::lineBoxKeepsLongText()
{
    QLineEdit edit;
    LineTextBox box(&edit);
    const QString text(40000, u'あ');
    box.setText(text);
    QCOMPARE(box.text(), text);
}

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
