#include "document/undostore.h"
#include "markup/markupcommands.h"
#include "support/fakes.h"
#include "support/workfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;
using namespace zimo::test;
using namespace Qt::StringLiterals;

namespace {

// The main window's pieces as the markup commands see them, after start-up.
struct Rig
{
    FakePlatform p;
    UndoStore undo{p.text, p.mnuEditBack};
    MarkupCommands markup{p.services, undo};

    explicit Rig(const QString &text = QString())
    {
        undo.reset();
        p.text.setText(text);
    }
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestMarkupCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void brCommands_data();
    void brCommands();
    void threeCommandsTwoBacks();
    void commandAfterBackFillsFreedSlot();

    void center_data();
    void center();

    void snippetAppended_data();
    void snippetAppended();
    void snippetInDocumentEncoding_data();
    void snippetInDocumentEncoding();
    void snippetTwiceLeavesEmptyLine();
    void snippetFollowsWorkingFolder();
    void snippetUnreadable_data();
    void snippetUnreadable();

    void count_data();
    void count();

private:
    std::unique_ptr<zimo::test::WorkFolder> m_dir;
};

void TestMarkupCommands::init()
{
    m_dir = std::make_unique<zimo::test::WorkFolder>();
    QVERIFY(m_dir->isValid());
}

void TestMarkupCommands::cleanup()
{
    m_dir.reset();
}

// <BR> add and remove as commands: snapshot first (also when nothing changes), the whole text
// assigned (caret at the start), and "I'll be back" gives the exact text from before.
void TestMarkupCommands::brCommands_data()
{
    QTest::addColumn<bool>("add");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("add, three lines") << true << u"a\r\nb\r\nc"_s << u"a<BR>\r\nb<BR>\r\nc"_s;
    QTest::newRow("add, empty text") << true << QString() << QString();
    QTest::newRow("add, lone LF only") << true << u"a\nb"_s << u"a\nb"_s;
    QTest::newRow("remove, three lines") << false << u"a<BR>\r\nb<BR>\r\nc"_s << u"a\r\nb\r\nc"_s;
    QTest::newRow("remove, no tags") << false << u"a\r\nb"_s << u"a\r\nb"_s;
    QTest::newRow("remove, empty text") << false << QString() << QString();
}

void TestMarkupCommands::brCommands()
{
    QFETCH(bool, add);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    Rig rig(text);
    rig.p.text.select(text.size() / 2, text.size() / 4);
    if (add)
        rig.markup.mnuEditConversion_Click();
    else
        rig.markup.mnuEditDelete_Click();

    QCOMPARE(rig.p.text.text(), expected);
    QCOMPARE(rig.p.text.selStart(), 0);
    QCOMPARE(rig.p.text.selLength(), 0);
    QVERIFY(rig.p.mnuEditBack.enabled);
    QCOMPARE(rig.undo.keep_count(), 1);
    QVERIFY(rig.p.messageBox.shown.isEmpty());

    rig.markup.mnuEditBack_Click();
    QCOMPARE(rig.p.text.text(), text);
    QVERIFY(!rig.p.mnuEditBack.enabled);
    // Both whole-text commands showed the program busy, and it is not busy any more.
    QCOMPARE(rig.p.app.busyTimes, 2);
    QCOMPARE(rig.p.app.busyDepth, 0);
}

void TestMarkupCommands::threeCommandsTwoBacks()
{
    Rig rig(u"one\r\ntwo"_s);
    rig.markup.mnuEditConversion_Click();
    const QString beforeSecond = rig.p.text.text();
    rig.markup.mnuEditConversion_Click();
    rig.p.text.select(0, 3);
    rig.markup.mnuEditCenter_Click();
    // typed text after the last command is lost
    rig.p.text.setSelText(u"typed"_s);

    rig.markup.mnuEditBack_Click();
    QVERIFY(rig.p.mnuEditBack.enabled);
    rig.markup.mnuEditBack_Click();
    QCOMPARE(rig.p.text.text(), beforeSecond);
    QVERIFY(!rig.p.mnuEditBack.enabled);
}

void TestMarkupCommands::commandAfterBackFillsFreedSlot()
{
    Rig rig(u"a\r\nb"_s);
    rig.markup.mnuEditConversion_Click(); // a<BR>\r\nb
    rig.markup.mnuEditConversion_Click(); // a<BR><BR>\r\nb
    rig.markup.mnuEditBack_Click();       // a<BR>\r\nb, one snapshot left
    rig.markup.mnuEditDelete_Click();     // a\r\nb, two snapshots again
    QCOMPARE(rig.p.text.text(), u"a\r\nb"_s);
    QCOMPARE(rig.undo.keep_count(), 2);
    QCOMPARE(rig.undo.keep_slots()[0], u"a\r\nb"_s);
    QCOMPARE(rig.undo.keep_slots()[1], u"a<BR>\r\nb"_s);
}

void TestMarkupCommands::center_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("caret");

    // The block adds 12 characters before the selection and 13 after it.
    QTest::newRow("nothing selected") << u"abcd"_s << 2 << 0
                                      << u"ab\r\n<CENTER>\r\n\r\n</CENTER>\r\ncd"_s << 27;
    QTest::newRow("empty document") << QString() << 0 << 0
                                    << u"\r\n<CENTER>\r\n\r\n</CENTER>\r\n"_s << 25;
    QTest::newRow("whole middle line") << u"one\r\ntwo\r\nthree"_s << 5 << 3
                                       << u"one\r\n\r\n<CENTER>\r\ntwo\r\n</CENTER>\r\n\r\nthree"_s
                                       << 33;
    QTest::newRow("mid-line") << u"abcdef"_s << 2 << 2
                              << u"ab\r\n<CENTER>\r\ncd\r\n</CENTER>\r\nef"_s << 29;
    QTest::newRow("holding line breaks") << u"x\r\na\r\nb\r\ny"_s << 3 << 4
                                         << u"x\r\n\r\n<CENTER>\r\na\r\nb\r\n</CENTER>\r\n\r\ny"_s
                                         << 32;
    QTest::newRow("next to lone CR and LF") << u"a\rb\nc"_s << 1 << 3
                                            << u"a\r\n<CENTER>\r\n\rb\n\r\n</CENTER>\r\nc"_s << 29;
    QTest::newRow("whole document") << u"見出し"_s << 0 << 3
                                    << u"\r\n<CENTER>\r\n見出し\r\n</CENTER>\r\n"_s << 28;
    QTest::newRow("caret at the end") << u"x\r\n"_s << 3 << 0
                                      << u"x\r\n\r\n<CENTER>\r\n\r\n</CENTER>\r\n"_s << 28;
}

void TestMarkupCommands::center()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, expected);
    QFETCH(int, caret);

    Rig rig(text);
    rig.p.text.select(start, length);
    const int setTextBefore = rig.p.text.setTextCount;
    rig.markup.mnuEditCenter_Click();

    QCOMPARE(rig.p.text.text(), expected);
    QCOMPARE(rig.p.text.selStart(), caret);
    QCOMPARE(rig.p.text.selLength(), 0);
    QCOMPARE(rig.p.text.setTextCount, setTextBefore); // only the selection is replaced
    QCOMPARE(rig.undo.keep_count(), 1);

    rig.markup.mnuEditBack_Click();
    QCOMPARE(rig.p.text.text(), text);
}

void TestMarkupCommands::snippetAppended_data()
{
    QTest::addColumn<bool>("second");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty document") << false << QString() << QByteArray("<HR>") << u"\r\n<HR>"_s;
    QTest::newRow("after the text") << false << u"a\r\nb"_s << QByteArray("<P>\r\n")
                                    << u"a\r\nb\r\n<P>\r\n"_s;
    QTest::newRow("plug_2") << true << u"a"_s << QByteArray("two") << u"a\r\ntwo"_s;
    // 日本語 and a half-width katakana ｱ in code page 932
    QTest::newRow("Japanese") << false << u"x"_s << QByteArray("\x93\xfa\x96\x7b\x8c\xea\xb1")
                              << u"x\r\n日本語ｱ"_s;
    QTest::newRow("lone CR and LF kept") << false << u"x"_s << QByteArray("a\rb\nc")
                                         << u"x\r\na\rb\nc"_s;
    QTest::newRow("nothing trimmed") << false << u"x"_s << QByteArray("\r\n  y  \r\n\r\n")
                                     << u"x\r\n\r\n  y  \r\n\r\n"_s;
    // A readable empty file is a successful read: the line break alone is appended.
    QTest::newRow("empty file") << false << u"x"_s << QByteArray() << u"x\r\n"_s;
}

void TestMarkupCommands::snippetAppended()
{
    QFETCH(bool, second);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);

    writeFile(u"item/plug_1.txt"_s, second ? QByteArray("the wrong file") : bytes);
    writeFile(u"item/plug_2.txt"_s, second ? bytes : QByteArray("the wrong file"));
    Rig rig(text);
    rig.p.text.select(text.size(), 0); // the snippet goes to the end whatever the caret
    if (second)
        rig.markup.mnuEditPlug_2_Click();
    else
        rig.markup.mnuEditPlug_1_Click();

    QCOMPARE(rig.p.text.text(), expected);
    QCOMPARE(rig.p.text.selStart(), 0);
    QVERIFY(rig.p.messageBox.shown.isEmpty());
    rig.markup.mnuEditBack_Click();
    QCOMPARE(rig.p.text.text(), text);
}

void TestMarkupCommands::snippetInDocumentEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("document"); // an Encoding, -1 for none set
    QTest::addColumn<QString>("expected");
    // C3 B7: ﾃｷ in code page 932, ÷ in UTF-8; A4 A2: あ in EUC-JP, ､｢ in code page 932.
    QTest::newRow("ﾃｷ, no document encoding set") << QByteArray("\xc3\xb7") << -1 << u"x\r\nﾃｷ"_s;
    QTest::newRow("ﾃｷ into Shift_JIS") << QByteArray("\xc3\xb7") << int(Encoding::Cp932)
                                       << u"x\r\nﾃｷ"_s;
    QTest::newRow("÷ into UTF-8") << QByteArray("\xc3\xb7") << int(Encoding::Utf8) << u"x\r\n÷"_s;
    QTest::newRow("あ into EUC-JP") << QByteArray("\xa4\xa2") << int(Encoding::EucJp)
                                     << u"x\r\nあ"_s;
    QTest::newRow("UTF-8 Japanese into Shift_JIS") << QByteArray("\xe6\x97\xa5")
                                                   << int(Encoding::Cp932) << u"x\r\n日"_s;
}

// A snippet whose bytes read completely both ways takes the document's reading.
void TestMarkupCommands::snippetInDocumentEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, document);
    QFETCH(QString, expected);
    writeFile(u"item/plug_1.txt"_s, bytes);
    Rig rig(u"x"_s);
    if (document >= 0)
        rig.markup.documentEncoding = [document] { return Encoding(document); };
    rig.markup.mnuEditPlug_1_Click();
    QCOMPARE(rig.p.text.text(), expected);
}

void TestMarkupCommands::snippetTwiceLeavesEmptyLine()
{
    writeFile(u"item/plug_1.txt"_s, "<HR>\r\n");
    Rig rig(u"top"_s);
    rig.p.text.select(0, 3); // a selection is not replaced
    rig.markup.mnuEditPlug_1_Click();
    rig.markup.mnuEditPlug_1_Click();
    QCOMPARE(rig.p.text.text(), u"top\r\n<HR>\r\n\r\n<HR>\r\n"_s);
}

void TestMarkupCommands::snippetFollowsWorkingFolder()
{
    QTemporaryDir other;
    QVERIFY(other.isValid());
    writeFile(u"item/plug_1.txt"_s, "first");
    writeFile(other.filePath(u"item/plug_1.txt"_s), "second");

    Rig rig(u"doc"_s);
    rig.markup.mnuEditPlug_1_Click();
    QVERIFY(QDir::setCurrent(other.path()));
    rig.markup.mnuEditPlug_1_Click();
    QCOMPARE(rig.p.text.text(), u"doc\r\nfirst\r\nsecond"_s);

    // read afresh each time: a changed file counts at once
    writeFile(other.filePath(u"item/plug_1.txt"_s), "third");
    rig.markup.mnuEditPlug_1_Click();
    QCOMPARE(rig.p.text.text(), u"doc\r\nfirst\r\nsecond\r\nthird"_s);
}

// The file cannot be read: the text, caret and selection stay, no message, but the snapshot is
// taken and restoring it gives the same text.
void TestMarkupCommands::snippetUnreadable_data()
{
    QTest::addColumn<QString>("makePath"); // what to create first ("" for nothing)
    QTest::addColumn<bool>("asFolder");
    QTest::newRow("no item folder") << QString() << false;
    QTest::newRow("no plug_1.txt") << u"item/plug_2.txt"_s << false;
    QTest::newRow("item is a file") << u"item"_s << false;
    QTest::newRow("plug_1.txt is a folder") << u"item/plug_1.txt"_s << true;
}

void TestMarkupCommands::snippetUnreadable()
{
    QFETCH(QString, makePath);
    QFETCH(bool, asFolder);
    if (asFolder)
        QVERIFY(QDir().mkpath(makePath));
    else if (!makePath.isEmpty())
        writeFile(makePath, "x");

    const QString text = u"a\r\nb"_s;
    Rig rig(text);
    rig.p.text.select(1, 2);
    const int setTextBefore = rig.p.text.setTextCount;
    rig.markup.mnuEditPlug_1_Click();

    QCOMPARE(rig.p.text.text(), text);
    QCOMPARE(rig.p.text.setTextCount, setTextBefore);
    QCOMPARE(rig.p.text.selStart(), 1);
    QCOMPARE(rig.p.text.selLength(), 2);
    QVERIFY(rig.p.messageBox.shown.isEmpty());
    QVERIFY(rig.p.mnuEditBack.enabled);
    rig.markup.mnuEditBack_Click();
    QCOMPARE(rig.p.text.text(), text);
    QVERIFY(!rig.p.mnuEditBack.enabled);
}

void TestMarkupCommands::count_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << u"-1"_s;
    QTest::newRow("one character") << u"a"_s << u"0"_s;
    QTest::newRow("abcde") << u"abcde"_s << u"4"_s;
    QTest::newRow("two lines") << u"abc\r\ndef"_s << u"7"_s;
    QTest::newRow("lone CR and LF") << u"a\rb\n"_s << u"3"_s;
    QTest::newRow("Japanese") << u"日本語の文"_s << u"4"_s;
    QTest::newRow("32,767 characters") << QString(32767, u'x') << u"32766"_s;
    QTest::newRow("32,769 characters") << QString(32769, u'x') << u"32768"_s;
    QTest::newRow("40,000 characters") << QString(40000, u'あ') << u"39999"_s;
}

void TestMarkupCommands::count()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);

    Rig rig(text);
    rig.p.text.select(0, text.size() / 2);
    rig.markup.mnuOptionline_Click();

    const QList<ShownMessage> expected{{u"まだ作成中です。"_s, 0, QString()}, {shown, 0, QString()}};
    QCOMPARE(rig.p.messageBox.shown, expected);
    QCOMPARE(rig.p.text.text(), text);
    QCOMPARE(rig.p.text.selLength(), text.size() / 2);
    QCOMPARE(rig.undo.keep_count(), 0); // no snapshot
    QVERIFY(!rig.p.mnuEditBack.enabled);
}

QTEST_GUILESS_MAIN(TestMarkupCommands)
#include "tst_markupcommands.moc"
