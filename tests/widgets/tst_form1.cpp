#include "app/form1.h"
#include "app/singleinstance.h"
#include "document/draft.h"
#include "platform/filenames.h"
#include "platform/qt/qtprinter.h"
#include "platform/qt/textarea.h"
#include "support/filebytes.h"
#include "whenshown.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>
#include <QMessageBox>
#include <QTimer>
#include <QMimeData>
#include <QPrintDialog>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;

namespace {

struct Row
{
    int level;
    QString name;
    QString caption;
    QString shortcut;
};

// The menu bar as a user sees it, left to right, each entry's items top to bottom.
const QList<Row> expectedMenus = {
    {1, "mnuFile", "ファイル(&F)", ""},
    {2, "mnuFileNew", "新規作成(&N)", "Ctrl+N"},
    {2, "mnuFileOpen", "開く．．．(&O)", "Ctrl+O"},
    {2, "mnuFileSave", "保存．．．(&A)", ""},
    {2, "mnuFileOverwrite", "上書き(&S)", "Ctrl+S"},
    {2, "mnuFilePrint", "印刷(&P)", "Ctrl+P"},
    {2, "mnuFileEnd", "終了(&X)", ""},
    {1, "mnuEdit", "編集(&Q)", ""},
    {2, "mnuEditConversion", "<BR>一括追加(B)", "Ctrl+B"},
    {2, "mnuEditDelete", "<BR>一括削除(&D)", "Ctrl+D"},
    {2, "mnuEditCenter", "<CENTER>||Range||", "Ctrl+C"},
    {2, "mnuEditPlug_1", "[Plug_1]", ""},
    {2, "mnuEditPlug_2", "[Plug_2]", ""},
    {2, "mnuEditBack", "I'll be back", "Ctrl+U"},
    {1, "mnuOption", "オプション(&O)", ""},
    {2, "mnuOptionline", "総文字数(&L)", "Ctrl+L"},
    {2, "mnuEditReference", "検索(&F)...", "Ctrl+F"},
    {2, "mnuOptionForm", "書式(&G)...", ""},
    {2, "mnuOptionDetails", "詳細設定(&V)", ""},
    {2, "mnuOptionBrowser", "ブラウザで表示(&W)", "F12"},
    {1, "mnuHelp", "ヘルプ(&H)", ""},
    {2, "mnuHelpPlay", "トピック(&H)", ""},
    {2, "mnuHelpVer", "バージョン(&A)", ""},
    {1, "mnuExplorer", "エクスプローラ(&E)", ""},
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void menuTree();
    void initialState();
    void printerMadeOnFirstUse();
    void clientSizeAndResize();
    void statusBar_data();
    void statusBar();
    void encodingInStatusBar();
    void statusBarKeepsItsHeight();
    void startupFont_data();
    void startupFont();
    void commandLineDocument();
    void explorerRunsFromTheBar();
    void f12ReachesTheBrowserCommand();
    void ctrlCRunsCenterAndCopiesNothing();
    void disabledShortcutsDoNothing();
    void drop_data();
    void drop();
    void singleInstance_data();
    void singleInstance();

private:
    QTemporaryDir m_dir;
};

void TestForm1::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QFile::remove(QStringLiteral("zimo_2.ini"));
    // No draft of an earlier test leads Form_Load to its question.
    QVERIFY(QDir(defaultDraftFolder()).removeRecursively());
}

void TestForm1::menuTree()
{
    Form1 form;
    QList<Row> got;
    const QList<QAction *> bar = form.menuBar()->actions();
    QCOMPARE(bar.size(), 5);
    for (QAction *entry : bar) {
        got.append({1, entry->objectName(), entry->text(), entry->shortcut().toString()});
        if (entry->menu()) {
            for (QAction *item : entry->menu()->actions()) {
                // The program's own items come after the menu's items, below a separator
                // (tst_replace_form1 checks them).
                if (item->isSeparator())
                    break;
                got.append({2, item->objectName(), item->text(), item->shortcut().toString()});
            }
        }
    }
    QCOMPARE(got.size(), expectedMenus.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].level, expectedMenus[i].level);
        QCOMPARE(got[i].name, expectedMenus[i].name);
        QCOMPARE(got[i].caption, expectedMenus[i].caption);
        QCOMPARE(got[i].shortcut, expectedMenus[i].shortcut);
    }
    // The last bar entry is a command of its own, with no drop-down.
    QVERIFY(!bar.last()->menu());
    QCOMPARE(form.action(QStringLiteral("mnuExplorer")), bar.last());
}

void TestForm1::printerMadeOnFirstUse()
{
    Form1 form;
    form.Form_Load({});
    auto &printer = dynamic_cast<QtPrinter &>(form.services().printer);
    // Starting loads no print plugin: the printer is made when the print dialog first needs it.
    QVERIFY(!printer.hasQPrinter());
    zimo::test::whenShown<QPrintDialog>([&printer](QPrintDialog *shown) {
        QCOMPARE(shown->printer(), printer.qprinter());
        shown->reject();
    });
    QVERIFY(!form.services().CommonDialog1.showPrinter());
    QVERIFY(printer.hasQPrinter());
}

void TestForm1::initialState()
{
    Form1 form;
    form.Form_Load({});
    for (const Row &row : expectedMenus) {
        const bool disabled = row.name == u"mnuEditBack" || row.name == u"mnuFileOverwrite";
        QVERIFY2(form.action(row.name)->isEnabled() == !disabled, qPrintable(row.name));
    }
    QCOMPARE(form.windowTitle(), QStringLiteral("ZIMO"));
    QCOMPARE(form.services().Text1.text(), QString());
    QCOMPARE(form.undoStore().keep_count(), 0);
}

void TestForm1::clientSizeAndResize()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // 11550 x 7230 twips between the menu bar and the status bar; the window is as tall as the
    // three together.
    const double dpiX = form.logicalDpiX(), dpiY = form.logicalDpiY();
    QCOMPARE(form.textArea()->width(), qRound(11550 * dpiX / 1440));
    QCOMPARE(form.textArea()->height(), qRound(7230 * dpiY / 1440));
    QVERIFY(form.statusBar()->isVisible());
    QVERIFY(form.statusBar()->height() > 0);
    QCOMPARE(form.textArea()->geometry().top(), form.menuBar()->height());
    QCOMPARE(form.statusBar()->geometry().top(), form.textArea()->geometry().bottom() + 1);
    QCOMPARE(form.height(),
             form.menuBar()->height() + form.textArea()->height() + form.statusBar()->height());

    // Down to one pixel between the bars (with none left, the layout takes the area away).
    const int bars = form.menuBar()->heightForWidth(120) + form.statusBar()->height();
    for (const QSize size : {QSize(500, 300), QSize(1000, 700), QSize(120, bars + 10), QSize(120, bars + 1)}) {
        form.resize(size);
        QTRY_COMPARE(form.size(), size);
        const QRect client(0, form.menuBar()->height(), size.width(),
                           size.height() - form.menuBar()->height() - form.statusBar()->height());
        QTRY_COMPARE(form.textArea()->geometry(), client);
    }
}

void TestForm1::statusBar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("lineEnds");
    QTest::newRow("empty") << QString() << qsizetype(0) << "行 1、列 1" << "改行: なし";
    QTest::newRow("CR LF") << QStringLiteral("ab\r\ncd") << qsizetype(5) << "行 2、列 2"
                           << "改行: CR LF";
    QTest::newRow("LF") << QStringLiteral("ab\ncd\nef") << qsizetype(7) << "行 3、列 2"
                        << "改行: LF";
    QTest::newRow("CR") << QStringLiteral("ab\rcd") << qsizetype(2) << "行 1、列 3"
                        << "改行: CR";
    QTest::newRow("mixed") << QStringLiteral("a\r\nb\nc\rd") << qsizetype(7) << "行 4、列 1"
                           << "改行: 混在";
    // A long line is held as several paragraphs of the text area: still one line, its column
    // counted from the line's start.
    QTest::newRow("long line") << QString(3000, u'x') << qsizetype(2999) << "行 1、列 3000"
                               << "改行: なし";
    QTest::newRow("long line between lines")
        << QString(QStringLiteral("a\r\n") + QString(3000, u'x') + QStringLiteral("\r\nb"))
        << qsizetype(3 + 1234) << "行 2、列 1235" << "改行: CR LF";
    QTest::newRow("after a long line") << QString(QString(3000, u'x') + QStringLiteral("\nb"))
                                       << qsizetype(3002) << "行 2、列 2" << "改行: LF";
}

// The status bar follows the caret and the line ends, also through the user's own edits.
void TestForm1::statusBar()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, caret);
    QFETCH(QString, position);
    QFETCH(QString, lineEnds);
    Form1 form;
    form.Form_Load({});
    auto *positionLabel = form.statusBar()->findChild<QLabel *>(QStringLiteral("statusPosition"));
    auto *lineEndsLabel = form.statusBar()->findChild<QLabel *>(QStringLiteral("statusLineEnds"));
    QVERIFY(positionLabel && lineEndsLabel);
    TextBox &box = form.services().Text1;
    box.setText(QStringLiteral("x\ny\rz"));
    box.setSelStart(3);
    box.setText(text);
    box.setSelStart(caret);
    QCOMPARE(positionLabel->text(), position);
    QCOMPARE(lineEndsLabel->text(), lineEnds);

    // Enter adds a CR LF line: the caret is at the start of the next line.
    QTest::keyClick(form.textArea(), Qt::Key_Return);
    QCOMPARE(positionLabel->text(),
             QStringLiteral("行 %1、列 1").arg(position.section(u' ', 1, 1).section(u'、', 0, 0).toInt() + 1));
    const QString afterEnter = lineEnds == u"改行: なし" || lineEnds == u"改行: CR LF"
                                   ? QStringLiteral("改行: CR LF")
                                   : QStringLiteral("改行: 混在");
    QCOMPARE(lineEndsLabel->text(), afterEnter);
    form.textArea()->undo();
    QCOMPARE(lineEndsLabel->text(), lineEnds);
}

// The status bar names the document's encoding; its menu writes in another one from now on.
void TestForm1::encodingInStatusBar()
{
    Form1 form;
    form.Form_Load({});
    auto *button = form.statusBar()->findChild<QToolButton *>(QStringLiteral("encodingButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Shift_JIS（既定）"));

    emit button->menu()->aboutToShow();
    auto *reopen = button->menu()->findChild<QMenu *>(QStringLiteral("reopenMenu"));
    auto *write = button->menu()->findChild<QMenu *>(QStringLiteral("writeMenu"));
    QVERIFY(reopen && write);
    QVERIFY(!reopen->isEnabled()); // no file yet
    QStringList names;
    QString checked;
    QAction *utf8Bom = nullptr;
    for (QAction *action : write->actions()) {
        names.append(action->text());
        if (action->isChecked())
            checked = action->text();
        if (action->text() == QStringLiteral("UTF-8（BOM付き）"))
            utf8Bom = action;
    }
    QCOMPARE(names, (QStringList{"Shift_JIS", "UTF-8", "UTF-8（BOM付き）", "EUC-JP", "ISO-2022-JP",
                                 "UTF-16LE（BOM付き）", "UTF-16BE（BOM付き）"}));
    QCOMPARE(checked, QStringLiteral("Shift_JIS"));

    QVERIFY(utf8Bom);
    utf8Bom->trigger();
    QTRY_COMPARE(button->text(), QStringLiteral("UTF-8（BOM付き）（指定）"));
    QCOMPARE(form.documentCommands().encoding(), (TextEncoding{Encoding::Utf8, true}));

    form.documentCommands().setEncoding({Encoding::EucJp, false}, EncodingOrigin::Recognised);
    QCOMPARE(button->text(), QStringLiteral("EUC-JP"));
}

// Whatever the encoding's name in the status bar ("UTF-8" or "Shift_JIS（既定）", whose Japanese
// characters come from a taller font), the bar keeps its height and the text area does not move.
void TestForm1::statusBarKeepsItsHeight()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *button = form.statusBar()->findChild<QToolButton *>(QStringLiteral("encodingButton"));
    QVERIFY(button);
    const int height = form.statusBar()->height();
    const QRect textArea = form.textArea()->geometry();
    QStringList shown;
    for (const EncodingOrigin origin :
         {EncodingOrigin::Recognised, EncodingOrigin::Default, EncodingOrigin::Chosen}) {
        for (const TextEncoding e : DocumentCommands::writeChoices()) {
            form.documentCommands().setEncoding(e, origin);
            shown.append(button->text());
            for (int i = 0; i < 3; ++i)
                QApplication::processEvents(); // the bar's layout, then the window's
            QCOMPARE(form.statusBar()->height(), height);
            QCOMPARE(form.textArea()->geometry(), textArea);
        }
    }
    QVERIFY(shown.contains(QStringLiteral("UTF-8")));
    QVERIFY(shown.contains(QStringLiteral("Shift_JIS（既定）")));
}

void TestForm1::startupFont_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<double>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::newRow("8 shown as 14") << QByteArray("8\r\nMS Gothic\r\nTrue\r\nFalse") << 14.0 << true
                                   << false;
    QTest::newRow("10.5 shown as 14") << QByteArray("10.5\r\nFace\r\nFalse\r\nTrue") << 14.0 << false
                                      << true;
    QTest::newRow("11 stays") << QByteArray("11\r\nFace\r\nFalse\r\nFalse") << 11.0 << false << false;
    QTest::newRow("24 with final CR LF") << QByteArray("24\r\nFace\r\nTRUE\r\ntrue\r\n") << 24.0
                                        << true << true;
    QTest::newRow("missing file: the layout's font") << QByteArray() << 11.0 << false << false;
    QTest::newRow("garbage fields: the layout's font")
        << QByteArray("big\r\nFace\r\nmaybe\r\n???") << 11.0 << false << false;
    QTest::newRow("three fields") << QByteArray("16\r\nFace\r\n-1") << 16.0 << true << false;
    QTest::newRow("99999: the layout's size") << QByteArray("99999\r\nFace\r\nTrue\r\nFalse")
                                              << 11.0 << true << false;
    QTest::newRow("1e38: the layout's size") << QByteArray("1e38\r\nFace\r\nFalse\r\nTrue") << 11.0
                                             << false << true;
    QTest::newRow("512 stays") << QByteArray("512\r\nFace\r\nFalse\r\nFalse") << 512.0 << false
                               << false;
}

void TestForm1::startupFont()
{
    QFETCH(QByteArray, ini);
    QFETCH(double, size);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    if (!ini.isEmpty())
        writeFile(QStringLiteral("zimo_2.ini"), ini);
    Form1 form;
    const QString layoutFace = form.services().Text1.fontName();
    form.Form_Load({});
    // The size reads back as applied, to the nearest whole pixel.
    QVERIFY2(qAbs(form.services().Text1.fontSize() - size) < 0.5,
             qPrintable(QString::number(form.services().Text1.fontSize())));
    QCOMPARE(form.services().Text1.fontBold(), bold);
    QCOMPARE(form.services().Text1.fontItalic(), italic);
    // The face named in the file is not restored.
    QCOMPARE(form.services().Text1.fontName(), layoutFace);
    QCOMPARE(QFile::exists(QStringLiteral("zimo_2.ini")), !ini.isEmpty());
}

void TestForm1::commandLineDocument()
{
    const QString path = m_dir.filePath(QStringLiteral("新しい 文書.txt"));
    writeFile(path, "a\r\nb");
    Form1 form;
    form.Form_Load({path, QStringLiteral("ignored.txt")});
    QCOMPARE(form.services().Text1.text(), QStringLiteral("a\r\nb\r\n"));
    QVERIFY(!form.action(QStringLiteral("mnuFileOverwrite"))->isEnabled());
}

void TestForm1::explorerRunsFromTheBar()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QAction *explorer = form.action(QStringLiteral("mnuExplorer"));
    // Keep the desktop out of it: only whether the command runs matters here.
    explorer->disconnect();
    QSignalSpy triggered(explorer, &QAction::triggered);
    form.textArea()->setFocus();
    QTest::keyClick(form.textArea(), Qt::Key_E, Qt::AltModifier);
    QTRY_COMPARE(triggered.size(), 1);
    QVERIFY(!QApplication::activePopupWidget());
}

void TestForm1::f12ReachesTheBrowserCommand()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QAction *browser = form.action(QStringLiteral("mnuOptionBrowser"));
    // Only whether the key reaches the command matters here, not the desktop.
    browser->disconnect();
    QSignalSpy triggered(browser, &QAction::triggered);
    form.textArea()->setFocus();
    QTest::keyClick(form.textArea(), Qt::Key_F12);
    QTRY_COMPARE(triggered.size(), 1);
    QCOMPARE(form.services().Text1.text(), QString());
}

void TestForm1::ctrlCRunsCenterAndCopiesNothing()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TextBox &text = form.services().Text1;
    text.setText(QStringLiteral("one\r\ntwo\r\nthree"));
    text.setSelStart(5);
    text.setSelLength(3);
    QApplication::clipboard()->setText(QStringLiteral("clipboard"));
    form.textArea()->setFocus();
    QTest::keyClick(form.textArea(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(text.text(),
             QStringLiteral("one\r\n\r\n<CENTER>\r\ntwo\r\n</CENTER>\r\n\r\nthree"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("clipboard"));
    // Ctrl+U, now enabled, undoes it.
    QTest::keyClick(form.textArea(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(text.text(), QStringLiteral("one\r\ntwo\r\nthree"));
}

void TestForm1::disabledShortcutsDoNothing()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TextBox &text = form.services().Text1;
    const QString target = m_dir.filePath(QStringLiteral("target.txt"));
    form.services().CommonDialog1.fileName = target;
    text.setText(QStringLiteral("line one\r\nline two"));
    text.setSelStart(12);
    form.textArea()->setFocus();

    // Disabled: "上書き(&S)" writes nothing; "I'll be back" neither restores nor lets the text
    // area delete a line, and the text area's own Ctrl+K, Ctrl+D do not reach it either.
    QTest::keyClick(form.textArea(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(form.textArea(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(text.text(), QStringLiteral("line one\r\nline two"));
    QVERIFY(!QFile::exists(target));

    // Enabled, the same key writes the file.
    form.action(QStringLiteral("mnuFileOverwrite"))->setEnabled(true);
    QTest::keyClick(form.textArea(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(QFile::exists(target));
}

void TestForm1::drop_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message");
    QTest::newRow("one file") << QStringList{"a.txt"} << QString() << "[a\r\n]" << QString();
    QTest::newRow("three files: the first only")
        << QStringList{"a.txt", "b.txt", "c.txt"} << QString() << "[a\r\n]" << QString();
    QTest::newRow("text only") << QStringList() << "dropped" << "[]" << QString();
    QTest::newRow("a folder") << QStringList{"folder"} << QString() << "[]" << "開けない！";
    // A Shift_JIS name: the file manager's URL carries its bytes, and the very file is read.
    QTest::newRow("name not UTF-8") << QStringList{fileNameFromBytes("\x93\xfa.txt")} << QString()
                                    << "[sjis\r\n]" << QString();
}

void TestForm1::drop()
{
    QFETCH(QStringList, files);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    writeFile(m_dir.filePath("a.txt"), "a");
    writeFile(m_dir.filePath("b.txt"), "b");
    writeFile(m_dir.filePath("c.txt"), "c");
    const QString sjisFile = m_dir.path() + u'/' + fileNameFromBytes("\x93\xfa.txt");
    zimo::test::writeBytes(sjisFile, "sjis");
    QDir(m_dir.path()).mkdir("folder");

    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TextBox &box = form.services().Text1;
    box.setText(QStringLiteral("[]"));
    box.setSelStart(1);

    QString seen;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
        if (auto *m = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen = m->text();
            m->accept();
        }
    });
    poll.start();

    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &f : files)
        urls.append(fileUrl(m_dir.path() + u'/' + f));
    if (!urls.isEmpty())
        mime.setUrls(urls);
    if (!text.isEmpty())
        mime.setText(text);
    QWidget *target = form.textArea()->viewport();
    const QPoint pos = target->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropEvent(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropEvent);

    QTRY_COMPARE(seen, message);
    QCOMPARE(box.text(), expected);
    ::unlink(fileNameBytes(sjisFile).constData());
}

// Only a lock held by a running copy refuses a start; a lock path that cannot be used falls back
// to the second path, and with neither usable the program runs unguarded.
void TestForm1::singleInstance_data()
{
    QTest::addColumn<QString>("primary");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<bool>("secondRefused");
    QTest::newRow("usable path") << "run/zimo.lock" << "tmp/zimo.lock" << true;
    QTest::newRow("a folder in its place") << "run/folder.lock" << "tmp/zimo.lock" << true;
    QTest::newRow("missing folder") << "none/zimo.lock" << "tmp/zimo.lock" << true;
    QTest::newRow("neither usable") << "run/folder.lock" << "run/folder.lock" << false;
}

void TestForm1::singleInstance()
{
    QFETCH(QString, primary);
    QFETCH(QString, fallback);
    QFETCH(bool, secondRefused);
    QVERIFY(QDir().mkpath(m_dir.filePath("run/folder.lock")));
    QVERIFY(QDir().mkpath(m_dir.filePath("tmp")));
    SingleInstance first(m_dir.filePath(primary), m_dir.filePath(fallback));
    QVERIFY(first.isOnlyCopy());
    SingleInstance second(m_dir.filePath(primary), m_dir.filePath(fallback));
    QCOMPARE(!second.isOnlyCopy(), secondRefused);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
