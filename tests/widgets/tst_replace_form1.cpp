#include "app/form1.h"
#include "document/draft.h"
#include "platform/qt/linenumberarea.h"
#include "platform/qt/textarea.h"
#include "search/gotodialog.h"
#include "search/replacedialog.h"
#include "settings/ownsettings.h"
#include "support/asuser.h"
#include "support/fakes.h"
#include "support/filebytes.h"
#include "support/workfolder.h"
#include "whenshown.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace zimo;
using namespace zimo::test;
using namespace Qt::StringLiterals;

// Replace, go to a line and line numbers in the real main window, offscreen.
class TestReplaceForm1 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void menuRows();
    void shortcutsReachTheMenu_data();
    void shortcutsReachTheMenu();
    void replaceAllUndoneBothWays();
    void replaceDialogButtons();
    void goToLine_data();
    void goToLine();
    void statusBarOpensGoTo();
    void lineNumbers();
    void lineNumbersRemembered();
    void settingsFileFallsBack_data();
    void settingsFileFallsBack();
    void settingsFileRights();

private:
    void start(Form1 &form, const QString &text);

    std::unique_ptr<WorkFolder> m_dir;
    std::unique_ptr<QTemporaryDir> m_config;
};

void TestReplaceForm1::init()
{
    m_dir = std::make_unique<WorkFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(defaultDraftFolder()).removeRecursively());
    // Each test has a configuration folder of its own.
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

void TestReplaceForm1::cleanup()
{
    m_dir.reset();
    m_config.reset();
}

void TestReplaceForm1::start(Form1 &form, const QString &text)
{
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.textArea()->setFocus();
    form.services().Text1.setText(text);
}

// The new items come after the menus' own, below a separator.
void TestReplaceForm1::menuRows()
{
    Form1 form;
    const auto captions = [&](const char *menu) {
        QStringList list;
        for (QAction *a : form.menuBar()->findChild<QMenu *>(QLatin1String(menu))->actions())
            list.append(a->isSeparator() ? u"-"_s : a->text() + u' ' + a->shortcut().toString());
        return list.mid(list.indexOf(u"-"_s));
    };
    QCOMPARE(captions("mnuEdit"),
             (QStringList{u"-"_s, u"置換(&R)... Ctrl+R"_s, u"指定行へ移動(&J)... Ctrl+G"_s}));
    QCOMPARE(captions("mnuOption"), (QStringList{u"-"_s, u"行番号を表示(&N) "_s, u"-"_s,
                                                 u"HTMLをチェック(&K) F7"_s}));
    QVERIFY(form.action(u"mnuOptionLineNumbers"_s)->isCheckable());
    QVERIFY(!form.action(u"mnuOptionLineNumbers"_s)->isChecked());
}

// Ctrl+R and Ctrl+G typed in the text area run the menu items and nothing of the text area's own,
// and do nothing at all while the items are disabled.
void TestReplaceForm1::shortcutsReachTheMenu_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("action");
    QTest::newRow("Ctrl+R") << int(Qt::Key_R) << u"mnuEditReplace"_s;
    QTest::newRow("Ctrl+G") << int(Qt::Key_G) << u"mnuEditGoTo"_s;
}

void TestReplaceForm1::shortcutsReachTheMenu()
{
    QFETCH(int, key);
    QFETCH(QString, action);
    Form1 form;
    start(form, u"abc"_s);
    QAction *item = form.action(action);
    int triggered = 0;
    connect(item, &QAction::triggered, &form, [&] { ++triggered; });
    // The go-to dialog is modal: closed as soon as it shows.
    QPointer<QTimer> watcher = whenShown<GoToDialog>([](GoToDialog *d) { d->reject(); });
    QTest::keyClick(form.textArea(), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(triggered, 1);
    QCOMPARE(form.services().Text1.text(), u"abc"_s);
    if (form.replaceDialog())
        form.replaceDialog()->close();
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    delete watcher.data();

    item->setEnabled(false);
    form.activateWindow();
    form.textArea()->setFocus();
    QTest::keyClick(form.textArea(), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(triggered, 1);
    QCOMPARE(form.services().Text1.text(), u"abc"_s);
}

void TestReplaceForm1::replaceAllUndoneBothWays()
{
    Form1 form;
    const QString before = u"<FONT SIZE=2>一\r\n<FONT SIZE=2>二\n<FONT SIZE=3>三\r"_s;
    start(form, before);
    form.action(u"mnuEditReplace"_s)->trigger();
    ReplaceDialog *dialog = form.replaceDialog();
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QLineEdit *>(u"findText"_s)->setText(u"<FONT SIZE=(\\d)>"_s);
    dialog->findChild<QLineEdit *>(u"replaceText"_s)->setText(u"<SMALL class=s$1>"_s);
    dialog->findChild<QCheckBox *>(u"regularExpression"_s)->setChecked(true);
    dialog->findChild<QPushButton *>(u"replaceAll"_s)->click();
    QCOMPARE(dialog->status(), u"3 件置換しました。"_s);
    TextBox &box = form.services().Text1;
    const QString after = u"<SMALL class=s2>一\r\n<SMALL class=s2>二\n<SMALL class=s3>三\r"_s;
    QCOMPARE(box.text(), after);
    QVERIFY(form.documentCommands().changed());

    // One step of the text area's own undo gives the text back, line ends and all ...
    QTextDocument *doc = form.textArea()->document();
    QVERIFY(doc->isUndoAvailable());
    doc->undo();
    QCOMPARE(box.text(), before);
    doc->redo();
    QCOMPARE(box.text(), after);
    // ... and so does "I'll be back".
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.textArea()->setFocus();
    QTest::keyClick(form.textArea(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(box.text(), before);

    // Nothing found: the document stays unchanged.
    box.setText(u"abc"_s);
    const bool changedBefore = form.documentCommands().changed();
    dialog->findChild<QPushButton *>(u"replaceAll"_s)->click();
    QCOMPARE(dialog->status(), u"検索する文字列が見つかりません。"_s);
    QCOMPARE(box.text(), u"abc"_s);
    QCOMPARE(form.documentCommands().changed(), changedBefore);

    // Choosing the command again brings the same dialog back with what was typed.
    dialog->close();
    form.action(u"mnuEditReplace"_s)->trigger();
    QCOMPARE(form.replaceDialog(), dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->findChild<QLineEdit *>(u"findText"_s)->text(), u"<FONT SIZE=(\\d)>"_s);
}

void TestReplaceForm1::replaceDialogButtons()
{
    Form1 form;
    start(form, u"ab\r\nAB\r\nab"_s);
    form.action(u"mnuEditReplace"_s)->trigger();
    ReplaceDialog *dialog = form.replaceDialog();
    QCOMPARE(dialog->windowTitle(), u"置換"_s);
    QVERIFY(dialog->findChild<QCheckBox *>(u"caseSensitive"_s)->isChecked());
    QVERIFY(!dialog->findChild<QCheckBox *>(u"regularExpression"_s)->isChecked());
    dialog->findChild<QLineEdit *>(u"findText"_s)->setText(u"ab"_s);
    dialog->findChild<QLineEdit *>(u"replaceText"_s)->setText(u"xy"_s);
    TextBox &box = form.services().Text1;

    // Enter in the field is "次を検索".
    QTest::keyClick(dialog->findChild<QLineEdit *>(u"findText"_s), Qt::Key_Return);
    QCOMPARE(box.selStart(), 0);
    QCOMPARE(box.selLength(), 2);
    auto *replaceNext = dialog->findChild<QPushButton *>(u"replaceNext"_s);
    replaceNext->click();
    QCOMPARE(box.text(), u"xy\r\nAB\r\nab"_s);
    QCOMPARE(box.selStart(), 8); // "AB" differs in case
    QCOMPARE(box.selLength(), 2);
    replaceNext->click();
    QCOMPARE(box.text(), u"xy\r\nAB\r\nxy"_s);
    QCOMPARE(dialog->status(), u"検索する文字列が見つかりません。"_s);
    // Each single replacement is a step of the text area's undo.
    form.textArea()->document()->undo();
    QCOMPARE(box.text(), u"xy\r\nAB\r\nab"_s);

    // An invalid pattern is named in the dialog.
    dialog->findChild<QCheckBox *>(u"regularExpression"_s)->setChecked(true);
    dialog->findChild<QLineEdit *>(u"findText"_s)->setText(u"a(b"_s);
    dialog->findChild<QPushButton *>(u"findNext"_s)->click();
    QCOMPARE(dialog->status(), u"正規表現に誤りがあります（4 文字目のあたり）。"_s);

    // Esc hides the dialog.
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
}

void TestReplaceForm1::goToLine_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("position"); // the caret's widget position afterwards
    // Lines: "一" CR LF, "二" LF, "三" CR, "" CR LF, "五" and no line end.
    QTest::newRow("first") << 1 << 0;
    QTest::newRow("after CR LF") << 2 << 2;
    QTest::newRow("after a lone LF") << 3 << 4;
    QTest::newRow("after a lone CR: empty line") << 4 << 6;
    QTest::newRow("last") << 5 << 7;
    QTest::newRow("beyond the last: the field stops at the last") << 99 << 7;
    QTest::newRow("below the first") << 0 << 0;
}

void TestReplaceForm1::goToLine()
{
    QFETCH(int, line);
    QFETCH(int, position);
    Form1 form;
    start(form, u"一\r\n二\n三\r\r\n五"_s);
    form.services().Text1.setSelStart(3);
    int shownRange = -1;
    int shownValue = -1;
    whenShown<GoToDialog>([&](GoToDialog *d) {
        QSpinBox *field = d->field();
        shownRange = field->maximum();
        shownValue = field->value();
        field->setValue(line);
        QTest::keyClick(field, Qt::Key_Return);
    });
    form.action(u"mnuEditGoTo"_s)->trigger();
    QCOMPARE(shownRange, 5); // as many lines as the status bar counts
    QCOMPARE(shownValue, 2); // the caret's line
    QCOMPARE(form.textArea()->textCursor().position(), position);
    QCOMPARE(form.textArea()->textCursor().blockNumber(), form.textArea()->document()->findBlock(position).blockNumber());
    QVERIFY(!form.textArea()->textCursor().hasSelection());
}

void TestReplaceForm1::statusBarOpensGoTo()
{
    Form1 form;
    QString text;
    for (int i = 1; i <= 300; ++i)
        text += u"line %1\r\n"_s.arg(i);
    start(form, text);
    auto *position = form.statusBar()->findChild<QLabel *>(u"statusPosition"_s);
    QVERIFY(position);
    bool shown = false;
    whenShown<GoToDialog>([&](GoToDialog *d) {
        shown = true;
        d->field()->setValue(250);
        d->accept();
    });
    QTest::mouseClick(position, Qt::LeftButton);
    QVERIFY(shown);
    QCOMPARE(form.textArea()->textCursor().blockNumber(), 249);
    QCOMPARE(position->text(), u"行 250、列 1"_s);
    // Scrolled into view.
    const QRect caret = form.textArea()->cursorRect();
    QVERIFY(form.textArea()->viewport()->rect().contains(caret));
}

void TestReplaceForm1::lineNumbers()
{
    Form1 form;
    QString text;
    for (int i = 1; i <= 120; ++i)
        text += u"行 %1\r\n"_s.arg(i);
    start(form, text);
    TextArea *area = form.textArea();
    const QRect frameBefore = area->geometry();
    QVERIFY(!area->lineNumberArea());
    const int viewportLeft = area->viewport()->geometry().left();

    form.action(u"mnuOptionLineNumbers"_s)->trigger();
    LineNumberArea *gutter = area->lineNumberArea();
    QVERIFY(gutter);
    QVERIFY(gutter->isVisible());
    // Inside the text area: the window's layout is unchanged, the viewport moves right.
    QCOMPARE(area->geometry(), frameBefore);
    QCOMPARE(area->viewport()->geometry().left(), viewportLeft + gutter->width());
    QCOMPARE(gutter->geometry().right() + 1, area->viewport()->geometry().left());
    // Three digits (121 lines) and the font's digit width.
    const int digit = area->fontMetrics().horizontalAdvance(u'9');
    const int threeDigits = gutter->width();
    QVERIFY(threeDigits >= 3 * digit);
    // 121 lines -> 1221 lines: one digit wider.
    QTextCursor cursor(area->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString(1100, u'\n'));
    QCOMPARE(gutter->width(), threeDigits + digit);

    // The numbers drawn: the gutter's picture changes with the first visible line.
    const QImage top = gutter->grab().toImage();
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum() / 2);
    QApplication::processEvents();
    QVERIFY(gutter->grab().toImage() != top);

    // Off again: no gutter, the viewport back at its place.
    form.action(u"mnuOptionLineNumbers"_s)->trigger();
    QVERIFY(!area->lineNumberArea());
    QCOMPARE(area->viewport()->geometry().left(), viewportLeft);
}

// The check mark is written to the program's own settings file and read at the next start.
void TestReplaceForm1::lineNumbersRemembered()
{
    const QString path = m_config->filePath(u"zimo/settings.conf"_s);
    QCOMPARE(ownSettingsPath(), path);
    {
        Form1 form;
        start(form, u"a"_s);
        form.action(u"mnuOptionLineNumbers"_s)->trigger();
        QVERIFY(form.action(u"mnuOptionLineNumbers"_s)->isChecked());
    }
    QCOMPARE(bytesOf(path), QByteArray("lineNumbers=true\n"));
    // The folder is the user's alone.
    const QFile::Permissions folder = QFile::permissions(m_config->filePath(u"zimo"_s));
    QCOMPARE(folder & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(int(folder & 0x0077), 0);
    {
        Form1 form;
        start(form, u"a"_s);
        QVERIFY(form.action(u"mnuOptionLineNumbers"_s)->isChecked());
        QVERIFY(form.textArea()->lineNumberArea());
        form.action(u"mnuOptionLineNumbers"_s)->trigger();
    }
    QCOMPARE(bytesOf(path), QByteArray("lineNumbers=false\n"));
}

// What cannot be read or is not understood leaves the default (no line numbers); what the file
// holds besides is kept when it is written.
void TestReplaceForm1::settingsFileFallsBack_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: a folder in the file's place
    QTest::addColumn<bool>("lineNumbers");
    QTest::addColumn<QByteArray>("written"); // after turning the numbers on; empty: not written
    QTest::newRow("on, with comments and others")
        << QByteArray("# mine\r\nfuture = 3\r\n lineNumbers = true \r\n") << true
        << QByteArray("# mine\r\nfuture = 3\r\nlineNumbers=false\n");
    QTest::newRow("garbage") << QByteArray("\x00\xff\xfe=\n==\nlineNumbers\n", 20) << false
                             << QByteArray("\x00\xff\xfe=\n==\nlineNumbers\nlineNumbers=true\n", 37);
    QTest::newRow("unknown value") << QByteArray("lineNumbers=yes\nother=1") << false
                                   << QByteArray("lineNumbers=true\nother=1\n");
    QTest::newRow("last one counts") << QByteArray("lineNumbers=true\nlineNumbers=false\n") << false
                                     << QByteArray("lineNumbers=true\n");
    QTest::newRow("too large") << QByteArray(100 * 1024, 'x') + "\nlineNumbers=true\n" << false
                               << QByteArray("lineNumbers=true\n");
    QTest::newRow("a folder in its place") << QByteArray() << false << QByteArray();
    // Reading a FIFO would wait for a writer for ever.
    QTest::newRow("a FIFO in its place") << QByteArray("<fifo>") << false << QByteArray();
}

void TestReplaceForm1::settingsFileFallsBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, lineNumbers);
    QFETCH(QByteArray, written);
    const QString path = ownSettingsPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    if (bytes.isEmpty()) {
        QVERIFY(QDir().mkpath(path));
    } else if (bytes == "<fifo>") {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QCOMPARE(loadOwnSettings().lineNumbers, lineNumbers);
    if (bytes.size() <= 64 * 1024)
        QCOMPARE(readOwnSettings(bytes).lineNumbers, lineNumbers);
    if (written.isEmpty())
        return;
    Form1 form;
    start(form, u"a"_s);
    QCOMPARE(form.action(u"mnuOptionLineNumbers"_s)->isChecked(), lineNumbers);
    form.action(u"mnuOptionLineNumbers"_s)->trigger();
    QCOMPARE(bytesOf(path), written);
    QCOMPARE(loadOwnSettings().lineNumbers, !lineNumbers);
}

// As the user who edits: a settings file that user cannot read leaves the default, and a folder
// that user cannot write to is reported with the file's name, the old file left whole.
void TestReplaceForm1::settingsFileRights()
{
    if (!canRunAsUser())
        QSKIP("rights need a test run as root, which can take an ordinary user's rights");
    const QString folder = m_config->filePath(u"zimo"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString path = ownSettingsPath();
    writeBytes(path, "lineNumbers=true\n");
    for (const QString &p : {m_config->path(), folder, path})
        QCOMPARE(::chown(QFile::encodeName(p).constData(), editingUser, editingUser), 0);
    QVERIFY(QFile::setPermissions(path, QFile::Permissions()));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const std::optional<QByteArray> seen = runAsUser(editingUser, [] {
        QByteArray out = loadOwnSettings().lineNumbers ? "on" : "off";
        FakeMessageBox box;
        out += saveOwnSettings(OwnSettings{true}, box) ? " written" : " refused";
        out += box.shown.size() == 1 && box.shown.first().prompt.contains(u"settings.conf"_s)
                   ? " told"
                   : " silent";
        return out;
    });
    QVERIFY(seen);
    QCOMPARE(*seen, QByteArray("off refused told"));
    QCOMPARE(bytesOf(path), QByteArray("lineNumbers=true\n"));
}

QTEST_MAIN(TestReplaceForm1)
#include "tst_replace_form1.moc"
