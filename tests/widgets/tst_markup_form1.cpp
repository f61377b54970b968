#include "app/form1.h"
#include "document/draft.h"
#include "platform/qt/textarea.h"
#include "whenshown.h"
#include "support/workfolder.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTextCursor>

using namespace zimo;
using namespace zimo::test;
using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

void pressCtrl(Form1 &form, Qt::Key key)
{
    QTest::keyClick(form.textArea(), key, Qt::ControlModifier);
}

bool backEnabled(const Form1 &form)
{
    return form.action(u"mnuEditBack"_s)->isEnabled();
}

} // namespace

// The markup commands in the real main window: its menu actions and shortcut keys, the text box
// adapter over the real text area, and the real message boxes.
class TestMarkupForm1 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void brCommands_data();
    void brCommands();
    void undoThroughShortcuts();
    void centerOnKeySelection();
    void snippets();
    void countBoxes();

private:
    // A started, shown and active main window in the test's working folder.
    void start(Form1 &form, const QString &text);

    std::unique_ptr<zimo::test::WorkFolder> m_dir;
};

void TestMarkupForm1::init()
{
    m_dir = std::make_unique<zimo::test::WorkFolder>();
    QVERIFY(m_dir->isValid());
    // No draft of an earlier test leads Form_Load to its question.
    QVERIFY(QDir(defaultDraftFolder()).removeRecursively());
}

void TestMarkupForm1::cleanup()
{
    m_dir.reset();
}

void TestMarkupForm1::start(Form1 &form, const QString &text)
{
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.textArea()->setFocus();
    form.services().Text1.setText(text);
}

void TestMarkupForm1::brCommands_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("key"); // 0: trigger the menu item instead
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString plain = u"一行目\r\n二行目\rまだ二行目\r\n\r\n最後"_s;
    const QString tagged = u"一行目<BR>\r\n二行目\rまだ二行目<BR>\r\n<BR>\r\n最後"_s;
    QTest::newRow("menu <BR> add") << u"mnuEditConversion"_s << 0 << plain << tagged;
    QTest::newRow("Ctrl+B") << QString() << int(Qt::Key_B) << plain << tagged;
    QTest::newRow("menu <BR> remove") << u"mnuEditDelete"_s << 0 << tagged << plain;
    QTest::newRow("Ctrl+D") << QString() << int(Qt::Key_D) << tagged << plain;
    QTest::newRow("Ctrl+D, nothing to remove") << QString() << int(Qt::Key_D) << plain << plain;
}

void TestMarkupForm1::brCommands()
{
    QFETCH(QString, action);
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    Form1 form;
    start(form, text);
    QTextCursor cursor = form.textArea()->textCursor();
    cursor.setPosition(4);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    form.textArea()->setTextCursor(cursor);

    if (key)
        pressCtrl(form, Qt::Key(key));
    else
        form.action(action)->trigger();

    TextBox &box = form.services().Text1;
    QCOMPARE(box.text(), expected);
    QCOMPARE(form.textArea()->textCursor().position(), 0);
    QVERIFY(!form.textArea()->textCursor().hasSelection());
    QVERIFY(backEnabled(form));

    pressCtrl(form, Qt::Key_U);
    QCOMPARE(box.text(), text);
    QVERIFY(!backEnabled(form));
}

void TestMarkupForm1::undoThroughShortcuts()
{
    Form1 form;
    const QString start0 = u"a\r\nb"_s;
    start(form, start0);
    TextBox &box = form.services().Text1;
    QVERIFY(!backEnabled(form));
    pressCtrl(form, Qt::Key_U); // disabled: the text area's own Ctrl+U must not run either
    QCOMPARE(box.text(), start0);

    pressCtrl(form, Qt::Key_B);
    const QString beforeSecond = box.text();
    pressCtrl(form, Qt::Key_B);
    form.action(u"mnuEditPlug_1"_s)->trigger(); // no item folder: changes nothing, snapshots
    QCOMPARE(box.text(), u"a<BR><BR>\r\nb"_s);
    QTest::keyClicks(form.textArea(), u"typed"_s);
    QCOMPARE(box.text(), u"typeda<BR><BR>\r\nb"_s);

    pressCtrl(form, Qt::Key_U); // back to the text before the snippet command
    QCOMPARE(box.text(), u"a<BR><BR>\r\nb"_s);
    QVERIFY(backEnabled(form));
    pressCtrl(form, Qt::Key_U);
    QCOMPARE(box.text(), beforeSecond);
    QVERIFY(!backEnabled(form));
    pressCtrl(form, Qt::Key_U);
    QCOMPARE(box.text(), beforeSecond);
}

// The selection is made with keys in the widget, after several line breaks and a lone CR (a line
// end of its own, one character in the model), so its position reaches the command through the
// adapter's conversion.
void TestMarkupForm1::centerOnKeySelection()
{
    Form1 form;
    start(form, u"first\r\nse\rcond\r\n\r\nタイトル行\r\nlast"_s);
    TextArea *area = form.textArea();
    QTest::keyClick(area, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(area, Qt::Key_Down);
    QTest::keyClick(area, Qt::Key_Home);
    QTest::keyClick(area, Qt::Key_End, Qt::ShiftModifier);
    TextBox &box = form.services().Text1;
    QCOMPARE(box.selText(), u"タイトル行"_s);
    QCOMPARE(box.selStart(), 18);

    pressCtrl(form, Qt::Key_C);
    QCOMPARE(box.text(),
             u"first\r\nse\rcond\r\n\r\n\r\n<CENTER>\r\nタイトル行\r\n</CENTER>\r\n\r\nlast"_s);
    // The caret stands right after the block: typing goes there.
    QCOMPARE(box.selStart(), 18 + 12 + 5 + 13);
    QCOMPARE(box.selLength(), 0);
    QTest::keyClicks(area, u"X"_s);
    QCOMPARE(box.text(),
             u"first\r\nse\rcond\r\n\r\n\r\n<CENTER>\r\nタイトル行\r\n</CENTER>\r\nX\r\nlast"_s);

    // A selection holding line breaks, made with Shift+Down.
    box.setText(u"x\r\nab\r\ncd\r\ny"_s);
    QTest::keyClick(area, Qt::Key_Down);
    QTest::keyClick(area, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(area, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(box.selText(), u"ab\r\ncd"_s);
    form.action(u"mnuEditCenter"_s)->trigger();
    QCOMPARE(box.text(), u"x\r\n\r\n<CENTER>\r\nab\r\ncd\r\n</CENTER>\r\n\r\ny"_s);
}

void TestMarkupForm1::snippets()
{
    // 見出し in code page 932, ending in a line break
    writeFile(u"item/plug_1.txt"_s, "<H1>\x8c\xa9\x8f\x6f\x82\xb5</H1>\r\n");
    Form1 form;
    start(form, u"本文"_s);
    TextBox &box = form.services().Text1;
    form.action(u"mnuEditPlug_1"_s)->trigger();
    QCOMPARE(box.text(), u"本文\r\n<H1>見出し</H1>\r\n"_s);
    QCOMPARE(form.textArea()->textCursor().position(), 0);

    // plug_2.txt is missing: nothing changes, but "I'll be back" has a snapshot
    form.action(u"mnuEditPlug_2"_s)->trigger();
    QCOMPARE(box.text(), u"本文\r\n<H1>見出し</H1>\r\n"_s);
    pressCtrl(form, Qt::Key_U);
    QCOMPARE(box.text(), u"本文\r\n<H1>見出し</H1>\r\n"_s);
    pressCtrl(form, Qt::Key_U);
    QCOMPARE(box.text(), u"本文"_s);
}

void TestMarkupForm1::countBoxes()
{
    Form1 form;
    start(form, u"abc\r\ndef"_s);
    QStringList seen;
    whenShown<QMessageBox>([&seen](QMessageBox *first) {
        seen << first->windowTitle() << first->text();
        whenShown<QMessageBox>([&seen](QMessageBox *second) {
            seen << second->windowTitle() << second->text();
            QTest::keyClick(second, Qt::Key_Return);
        });
        QTest::keyClick(first, Qt::Key_Return);
    });
    pressCtrl(form, Qt::Key_L);
    QCOMPARE(seen, (QStringList{u"ZIMO"_s, u"まだ作成中です。"_s, u"ZIMO"_s, u"7"_s}));
    QVERIFY(!backEnabled(form));
}

QTEST_MAIN(TestMarkupForm1)
#include "tst_markup_form1.moc"
