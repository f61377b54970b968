// QtShell and QtAppInfo: the file manager asked through xdg-open, Qt's folder chooser, the help
// window, and the program's folder.
//
// Qt's offscreen platform cannot open URLs, so opening a folder runs in a child copy of this test
// on the X11 platform, against a private Xvfb server and a recording stand-in for xdg-open.

#include "platform/filenames.h"
#include "platform/qt/qtappinfo.h"
#include "platform/qt/qtshell.h"
#include "whenshown.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

#include <sys/stat.h>
#include <unistd.h>

using namespace zimo;
using zimo::test::whenShown;

namespace {

const char childSwitch[] = "--open-folder";

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A help page with its topic far below the top, marked by `anchor` ("id" or "name").
QString helpPage(const QString &anchor, const QString &charset)
{
    QString page = QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" "
                                  "content=\"text/html; charset=%1\"><title>ZIMO</title></head>"
                                  "<body><h1>目次</h1>")
                       .arg(charset);
    for (int i = 0; i < 200; ++i)
        page += QStringLiteral("<p>説明の段落 %1</p>").arg(i);
    page += anchor == QLatin1String("id")
                ? QStringLiteral("<h2 id=\"topic-9999\">トピック九九九九</h2>")
                : QStringLiteral("<h2><a name=\"topic-9999\"></a>トピック九九九九</h2>");
    for (int i = 0; i < 200; ++i)
        page += QStringLiteral("<p>続き %1</p>").arg(i);
    return page + QStringLiteral("</body></html>");
}

// The y position of the block that carries the anchor `name` (as "id" or as "a name").
qreal anchorTop(QTextBrowser *browser, const QString &name)
{
    for (QTextBlock b = browser->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(name))
                return browser->document()->documentLayout()->blockBoundingRect(b).top();
    return -1;
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void openFolderAsksXdgOpen_data();
    void openFolderAsksXdgOpen();
    void openFolderWithoutOpener();
    void browseForFolder_data();
    void browseForFolder();
    void helpShowsContentsThenTopic_data();
    void helpShowsContentsThenTopic();
    void helpWindowReusedAndMadeAgain();
    void helpShowsTheProgramsPage();
    void helpFileMissing_data();
    void helpFileMissing();
    void appInfo();

private:
    // Runs openFolder(folder) in a child on X11 with `path` as PATH; its exit code is 0 when
    // openFolder returned true.
    int openFolderInChild(const QString &folder, const QString &path);

    QProcess m_xvfb;
    QString m_display;
    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_home;
};

void TestShell::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());

    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return;
    // Xvfb picks a free display and reports its number. It must not restart (refusing
    // connections meanwhile) each time a child program leaves it.
    m_xvfb.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-noreset"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("640x480x24")});
    QVERIFY(m_xvfb.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine(), 20000);
    m_display = QLatin1Char(':') + QString::fromLatin1(m_xvfb.readLine().trimmed());
}

void TestShell::cleanupTestCase()
{
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        m_xvfb.waitForFinished();
    }
}

void TestShell::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

int TestShell::openFolderInChild(const QString &folder, const QString &path)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("PATH"), path);
    env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The folder's bytes go as hex: an argument made from a QString would lose those that are not
    // UTF-8.
    child.start(QCoreApplication::applicationFilePath(),
                {QLatin1String(childSwitch), QString::fromLatin1(fileNameBytes(folder).toHex())});
    if (!child.waitForFinished(30000) || child.exitStatus() != QProcess::NormalExit)
        return -1;
    return child.exitCode();
}

void TestShell::openFolderAsksXdgOpen_data()
{
    QTest::addColumn<QString>("folder"); // made inside the test folder
    QTest::newRow("space and Japanese") << QStringLiteral("私の フォルダ");
    QTest::newRow("shell characters") << QStringLiteral("a'b;$(touch pwned) `touch pwned2` \"q\"");
    QTest::newRow("percent, hash, question mark") << QStringLiteral("100% #1?");
    // Made on an older system: the URL carries the name's bytes (%93%FA), not U+FFFD.
    QTest::newRow("Shift_JIS name") << fileNameFromBytes("\x93\xfa \x96\x7b");
}

void TestShell::openFolderAsksXdgOpen()
{
    QFETCH(QString, folder);
    if (m_display.isEmpty())
        QSKIP("Xvfb is not installed");

    const QString target = m_dir->path() + u'/' + folder;
    QCOMPARE(::mkdir(fileNameBytes(target).constData(), 0700), 0);
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    const QString record = m_dir->filePath(QStringLiteral("record.txt"));
    QVERIFY(QDir().mkpath(bin));
    // The stand-in writes the number of its arguments, then each argument on a line.
    writeFile(bin + QStringLiteral("/xdg-open"),
              QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1.part'\n"
                             "/bin/mv '%1.part' '%1'\n")
                  .arg(record)
                  .toUtf8());
    QVERIFY(QFile::setPermissions(bin + QStringLiteral("/xdg-open"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QCOMPARE(openFolderInChild(target, bin), 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);

    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("1"));
    const QUrl url(lines.value(1), QUrl::StrictMode);
    QVERIFY2(url.isValid() && url.isLocalFile(), qPrintable(lines.value(1)));
    QCOMPARE(url.scheme(), QStringLiteral("file"));
    QCOMPARE(localFileName(url), target);
    QCOMPARE(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()),
             fileNameBytes(target));
    ::rmdir(fileNameBytes(target).constData());
    // Nothing in the path ran as a command.
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("pwned"))));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("pwned2"))));
}

void TestShell::openFolderWithoutOpener()
{
    if (m_display.isEmpty())
        QSKIP("Xvfb is not installed");
    // No xdg-open (nor any browser) on the PATH: nothing could be started.
    const QString empty = m_dir->filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    QCOMPARE(openFolderInChild(m_dir->path(), empty), 1);
    // And an empty path asks nobody.
    QVERIFY(!QtShell().openFolder(QString()));
}

void TestShell::browseForFolder_data()
{
    QTest::addColumn<bool>("withDialogParent");
    QTest::addColumn<bool>("confirm");
    QTest::newRow("owned by the dialog, chosen") << true << true;
    QTest::newRow("owned by the dialog, cancelled") << true << false;
    QTest::newRow("owned by the main window, chosen") << false << true;
    QTest::newRow("owned by the main window, cancelled") << false << false;
}

void TestShell::browseForFolder()
{
    QFETCH(bool, withDialogParent);
    QFETCH(bool, confirm);

    QWidget mainWindow;
    QWidget form2;
    mainWindow.show();
    form2.show();
    QtShell shell(&mainWindow);
    if (withDialogParent)
        shell.setDialogParent(&form2);

    const QString chosen = m_dir->filePath(QStringLiteral("選ぶ フォルダ"));
    QVERIFY(QDir().mkpath(chosen));
    writeFile(m_dir->filePath(QStringLiteral("file.txt")), "x");

    QWidget *owner = nullptr;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    whenShown<QFileDialog>([&owner, &mode, chosen, confirm](QFileDialog *shown) {
        owner = shown->parentWidget();
        mode = shown->fileMode();
        if (!confirm) {
            QTest::keyClick(shown, Qt::Key_Escape);
            return;
        }
        shown->setDirectory(chosen);
        static_cast<QDialog *>(shown)->accept(); // as the Choose button does
    });
    const std::optional<QString> result = shell.browseForFolder();

    QCOMPARE(owner, withDialogParent ? &form2 : &mainWindow);
    QCOMPARE(mode, QFileDialog::Directory);
    if (confirm)
        QCOMPARE(result, std::optional<QString>(chosen));
    else
        QVERIFY(!result.has_value());
}

void TestShell::helpShowsContentsThenTopic_data()
{
    QTest::addColumn<QString>("anchor");
    QTest::addColumn<QString>("charset");
    QTest::newRow("id, UTF-8") << QStringLiteral("id") << QStringLiteral("UTF-8");
    QTest::newRow("name, UTF-8") << QStringLiteral("name") << QStringLiteral("UTF-8");
    QTest::newRow("id, Shift_JIS") << QStringLiteral("id") << QStringLiteral("Shift_JIS");
}

void TestShell::helpShowsContentsThenTopic()
{
    QFETCH(QString, anchor);
    QFETCH(QString, charset);

    const QString page = helpPage(anchor, charset);
    QStringEncoder encode(charset.toLatin1().constData());
    QVERIFY(encode.isValid());
    const QString helpFile = m_dir->filePath(QStringLiteral("zimo.html"));
    writeFile(helpFile, encode(page));

    QtShell shell;
    QVERIFY(shell.showHelp(helpFile, Shell::HelpCommand::Contents, 0));
    QTextBrowser *help = shell.helpWindow();
    QVERIFY(help);
    QVERIFY(help->isWindow());
    QVERIFY(help->isVisible());
    QCOMPARE(help->windowTitle(), QStringLiteral("ZIMO ヘルプ"));
    QCOMPARE(help->source().toLocalFile(), helpFile);
    QVERIFY(help->toPlainText().contains(QStringLiteral("トピック九九九九")));
    QCOMPARE(help->verticalScrollBar()->value(), 0);

    QVERIFY(shell.showHelp(helpFile, Shell::HelpCommand::Topic, 9999));
    QCOMPARE(shell.helpWindow(), help);
    // The topic's heading stands at the top of the view.
    const qreal top = anchorTop(help, QStringLiteral("topic-9999"));
    QVERIFY(top > help->viewport()->height());
    QTRY_VERIFY(std::abs(help->verticalScrollBar()->value() - top) < 30);

    // Back to the contents: the top of the same page.
    QVERIFY(shell.showHelp(helpFile, Shell::HelpCommand::Contents, 0));
    QCOMPARE(shell.helpWindow(), help);
    QCOMPARE(help->verticalScrollBar()->value(), 0);
}

void TestShell::helpWindowReusedAndMadeAgain()
{
    const QString helpFile = m_dir->filePath(QStringLiteral("zimo.html"));
    writeFile(helpFile, helpPage(QStringLiteral("id"), QStringLiteral("UTF-8")).toUtf8());

    QtShell shell;
    QVERIFY(shell.showHelp(helpFile, Shell::HelpCommand::Topic, 9999));
    QPointer<QTextBrowser> first = shell.helpWindow();
    QVERIFY(first);
    QTRY_VERIFY(first->verticalScrollBar()->value() > 0);

    // Closed by the user: the window goes, and the next request makes a new one.
    first->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(!shell.helpWindow());
    QVERIFY(shell.showHelp(helpFile, Shell::HelpCommand::Contents, 0));
    QVERIFY(shell.helpWindow());
    QVERIFY(shell.helpWindow()->isVisible());
}

void TestShell::helpShowsTheProgramsPage()
{
    // The help page that is installed beside the program marks its first topic for this call.
    const QString helpFile = QFINDTESTDATA("../../data/help/zimo.html");
    if (helpFile.isEmpty())
        QSKIP("the help page is not in this tree");
    QtShell shell;
    QVERIFY(shell.showHelp(helpFile, Shell::HelpCommand::Contents, 0));
    QVERIFY(shell.showHelp(helpFile, Shell::HelpCommand::Topic, 9999));
    QTextBrowser *help = shell.helpWindow();
    const qreal top = anchorTop(help, QStringLiteral("topic-9999"));
    QVERIFY(top > 0);
    QTRY_VERIFY(std::abs(help->verticalScrollBar()->value()
                         - std::min<qreal>(top, help->verticalScrollBar()->maximum()))
                < 30);
}

void TestShell::helpFileMissing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("no such file") << QStringLiteral("zimo.html");
    QTest::newRow("a folder") << QStringLiteral("folder");
    QTest::newRow("empty name") << QString();
}

void TestShell::helpFileMissing()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));

    QtShell shell;
    const QString path = name.isEmpty() ? QString() : m_dir->filePath(name);
    QVERIFY(!shell.showHelp(path, Shell::HelpCommand::Contents, 0));
    QVERIFY(!shell.showHelp(path, Shell::HelpCommand::Topic, 9999));
    QVERIFY(!shell.helpWindow());
}

void TestShell::appInfo()
{
    int ended = 0;
    QtAppInfo app([&ended] { ++ended; });
    QCOMPARE(app.title(), QStringLiteral("ZIMO"));

    // The folder of this program file, without a separator at the end.
    const QString path = app.path();
    QVERIFY(!path.endsWith(u'/'));
    QVERIFY(QFileInfo(path).isAbsolute());
    const QFileInfo program(path + QLatin1Char('/')
                            + QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QVERIFY(program.isFile());
    QCOMPARE(program.canonicalFilePath(),
             QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());

    app.end();
    QCOMPARE(ended, 1);
}

// The test, or with --open-folder <folder> the child that asks the desktop to open the folder.
int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], childSwitch) == 0) {
        QApplication app(argc, argv);
        return QtShell().openFolder(fileNameFromBytes(QByteArray::fromHex(argv[2]))) ? 0 : 1;
    }
    QApplication app(argc, argv);
    TestShell test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell.moc"
