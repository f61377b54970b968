#include "platform/qt/qttextbox.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>

#include <cmath>
#include <thread>

using namespace zimo;

namespace {

constexpr qsizetype operator""_q(unsigned long long v)
{
    return qsizetype(v);
}

const QChar nbsp(0x00A0);
const QChar lineSeparator(0x2028);

// The size 'points' becomes once the font engine has rounded it to whole pixels on this screen.
double roundedToPixels(double points, int dpi)
{
    return std::round(points * dpi / 72.0) * 72.0 / dpi;
}

} // namespace

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
    QTest::newRow("empty") << QString() << 1;
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << 1;
    QTest::newRow("lone LF") << QStringLiteral("a\nb") << 1;
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << 2;
    QTest::newRow("CR CR LF") << QStringLiteral("a\r\r\nb") << 2;
    QTest::newRow("LF CR") << QStringLiteral("a\n\rb") << 1;
    QTest::newRow("LF CR LF") << QStringLiteral("a\n\r\nb") << 2;
    QTest::newRow("ends in CR LF") << QStringLiteral("a\r\nb\r\n") << 3;
    QTest::newRow("only CR LF") << QStringLiteral("\r\n") << 2;
    QTest::newRow("ends in lone CR") << QStringLiteral("ab\r") << 1;
    QTest::newRow("starts with lone LF") << QStringLiteral("\nab") << 1;
    QTest::newRow("empty lines") << QStringLiteral("\r\n\r\n\r\n") << 4;
    QTest::newRow("no-break space")
        << QString(QStringLiteral("a") + nbsp + QStringLiteral("b")) << 1;
    QTest::newRow("line separator") << QString(QStringLiteral("a") + lineSeparator + "b") << 1;
    QTest::newRow("undecodable bytes")
        << QString(QStringLiteral("x") + QChar(0xDC80) + QChar(0xDCFF) + "\r\n" + QChar(0xDCA0))
        << 2;
    QTest::newRow("Japanese lines") << QStringLiteral("日本語\r\nテキスト\r半角ｶﾅ\n～") << 2;
    QTest::newRow("tab and NUL") << QString(QStringLiteral("a\tb") + QChar(0) + "c") << 1;
}

void TestTextBox::textRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(int, paragraphs);
    m_box.setText(text);
    QCOMPARE(m_box.text(), text);
    // A snapshot gives the same text, also when called on another thread after the text changed.
    const std::function<QString()> snapshot = m_box.textSnapshot();
    m_box.setSelText(QStringLiteral("x\r\n"));
    QString fromThread;
    std::thread([&] { fromThread = snapshot(); }).join();
    QCOMPARE(fromThread, text);
    m_box.setText(text);
    // CR LF is a line of its own in the widget, a lone CR or LF is not.
    QCOMPARE(m_edit.document()->blockCount(), paragraphs);
    QCOMPARE(m_box.modelLength(), text.size());
    // The conversions alone agree with the widget.
    QCOMPARE(PlainTextBox::toModelText(PlainTextBox::toWidgetText(text)), text);
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
    QCOMPARE(m_edit.textCursor().selectedText().size(),
             expectedText.size() - expectedText.count(QStringLiteral("\r\n")));

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
    const QString pieces[] = {QStringLiteral("\r\n"), QStringLiteral("\r"),
                              QStringLiteral("\n"),   QStringLiteral("あ"),
                              QStringLiteral("x"),    QStringLiteral("\r\n\r\n")};
    while (text.size() < 20000)
        text += pieces[random.bounded(6)];
    m_box.setText(text);
    QCOMPARE(m_box.text(), text);

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
