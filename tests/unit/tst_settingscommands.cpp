#include "settings/exploresettings.h"
#include "settings/fontsettings.h"
#include "settings/settingscommands.h"
#include "support/fakes.h"
#include "support/tmpfs.h"
#include "support/workfolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace zimo;
using namespace zimo::test;

namespace {

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::optional<QByteArray> fileBytes(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

using Help = Shell::HelpCommand;

} // namespace

// The format command, the file-manager command and help topics.
class TestSettingsCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void formatApplies_data();
    void formatApplies();
    void formatReplacesLongerFile();
    void formatCancelled_data();
    void formatCancelled();
    void formatReopensAtLastChoice();
    void formatCannotWrite();
    void settingsOnFullDisk_data();
    void settingsOnFullDisk();

    void explorer_data();
    void explorer();
    void explorerMissingFileCreatesNothing();

    void helpOrder();
    void helpInstalledLayout();
    void helpCandidates_data();
    void helpCandidates();
    void helpMissing();
    void helpCannotShow();
    void shippedHelpPage();

private:
    std::unique_ptr<zimo::test::WorkFolder> m_dir;
};

void TestSettingsCommands::init()
{
    m_dir = std::make_unique<zimo::test::WorkFolder>();
    QVERIFY(m_dir->isValid());
}

void TestSettingsCommands::cleanup()
{
    m_dir.reset();
}

void TestSettingsCommands::formatApplies_data()
{
    QTest::addColumn<FontChoice>("chosen");
    QTest::addColumn<double>("shownSize");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("8 shown as 11") << FontChoice{"Serif", 8, false, false} << 11.0
                                   << QByteArray("8\r\nSerif\r\nFalse\r\nFalse");
    QTest::newRow("10.5 shown as 11") << FontChoice{"Serif", 10.5, true, false} << 11.0
                                      << QByteArray("10.5\r\nSerif\r\nTrue\r\nFalse");
    QTest::newRow("11 kept") << FontChoice{"Serif", 11, false, false} << 11.0
                             << QByteArray("11\r\nSerif\r\nFalse\r\nFalse");
    QTest::newRow("12") << FontChoice{"Mono", 12, false, true} << 12.0
                        << QByteArray("12\r\nMono\r\nFalse\r\nTrue");
    QTest::newRow("9.75 shown as 11") << FontChoice{"Mono", 9.75, false, false} << 11.0
                                      << QByteArray("9.75\r\nMono\r\nFalse\r\nFalse");
    QTest::newRow("bold and italic")
        << FontChoice{"Sans", 20, true, true} << 20.0 << QByteArray("20\r\nSans\r\nTrue\r\nTrue");
}

void TestSettingsCommands::formatApplies()
{
    QFETCH(FontChoice, chosen);
    QFETCH(double, shownSize);
    QFETCH(QByteArray, file);
    FakePlatform p;
    p.text.font = {QStringLiteral("Layout Face"), 14, !chosen.bold, !chosen.italic};
    p.dialog.fontAnswers.enqueue(chosen);
    SettingsCommands(p.services).mnuOptionForm_Click();

    QCOMPARE(p.dialog.flags, 3);
    QCOMPARE(p.dialog.fontAsks.size(), 1);
    QCOMPARE(p.text.font, (FontChoice{chosen.name, shownSize, chosen.bold, chosen.italic}));
    QCOMPARE(fileBytes(zimo2IniName), std::optional<QByteArray>(file));
    QVERIFY(p.messageBox.shown.isEmpty());
}

void TestSettingsCommands::formatReplacesLongerFile()
{
    writeFile(zimo2IniName, "10.5\r\nA Very Long Face Name Indeed\r\nTrue\r\nTrue\r\n");
    FakePlatform p;
    p.dialog.fontAnswers.enqueue(FontChoice{"B", 12, false, false});
    SettingsCommands(p.services).mnuOptionForm_Click();
    QCOMPARE(fileBytes(zimo2IniName), std::optional<QByteArray>("12\r\nB\r\nFalse\r\nFalse"));
}

void TestSettingsCommands::formatCancelled_data()
{
    QTest::addColumn<double>("sizeBefore");
    QTest::addColumn<double>("sizeAfter");
    QTest::addColumn<bool>("fileBefore");
    QTest::newRow("small size raised, no file") << 9.0 << 11.0 << false;
    QTest::newRow("small size raised, file kept") << 10.5 << 11.0 << true;
    QTest::newRow("large size kept") << 16.0 << 16.0 << true;
}

void TestSettingsCommands::formatCancelled()
{
    QFETCH(double, sizeBefore);
    QFETCH(double, sizeAfter);
    QFETCH(bool, fileBefore);
    const QByteArray old("8\r\nOld\r\nTrue\r\nTrue");
    if (fileBefore)
        writeFile(zimo2IniName, old);
    FakePlatform p;
    p.text.font = {QStringLiteral("Layout Face"), sizeBefore, true, false};
    SettingsCommands(p.services).mnuOptionForm_Click(); // the empty script cancels

    QCOMPARE(p.dialog.fontAsks.size(), 1);
    QCOMPARE(p.text.font, (FontChoice{QStringLiteral("Layout Face"), sizeAfter, true, false}));
    QCOMPARE(fileBytes(zimo2IniName),
             fileBefore ? std::optional<QByteArray>(old) : std::optional<QByteArray>());
    QVERIFY(p.messageBox.shown.isEmpty());
    QVERIFY(!p.dialog.font);
}

void TestSettingsCommands::formatReopensAtLastChoice()
{
    FakePlatform p;
    SettingsCommands commands(p.services);
    const FontChoice first{"Serif", 9, true, false};
    p.dialog.fontAnswers.enqueue(first);
    commands.mnuOptionForm_Click();
    QCOMPARE(p.text.font.size, 11.0); // shown at the minimum size
    commands.mnuOptionForm_Click();   // cancelled
    const FontChoice third{"Mono", 13, false, true};
    p.dialog.fontAnswers.enqueue(third);
    commands.mnuOptionForm_Click();
    commands.mnuOptionForm_Click(); // cancelled

    // The first use starts from the dialog's own defaults; later ones from the last confirmed
    // choice (not from the text area's font), which a cancel leaves as it was.
    QCOMPARE(p.dialog.fontAsks,
             (QList<std::optional<FontChoice>>{std::nullopt, first, first, third}));
    QCOMPARE(fileBytes(zimo2IniName), std::optional<QByteArray>("13\r\nMono\r\nFalse\r\nTrue"));
}

void TestSettingsCommands::formatCannotWrite()
{
    // A folder in the way: the file cannot be replaced.
    QVERIFY(QDir().mkdir(zimo2IniName));
    FakePlatform p;
    p.dialog.fontAnswers.enqueue(FontChoice{"Serif", 8, true, true});
    SettingsCommands(p.services).mnuOptionForm_Click();

    QCOMPARE(p.messageBox.shown.size(), 1);
    QCOMPARE(p.messageBox.shown[0].style, int(MsgStyle::Exclamation));
    QVERIFY(p.messageBox.shown[0].prompt.contains(zimo2IniName));
    // The font is applied all the same, with the minimum size.
    QCOMPARE(p.text.font, (FontChoice{"Serif", 11, true, true}));
}

// Both settings files on a full disk: the old file stays byte for byte and the user is told.
void TestSettingsCommands::settingsOnFullDisk_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("zimo_2.ini") << zimo2IniName;
    QTest::newRow("zimo.ini") << zimoIniName;
}

void TestSettingsCommands::settingsOnFullDisk()
{
    QFETCH(QString, file);
    TmpfsMount mount(m_dir->path(), "size=64k");
    if (!mount.mounted())
        QSKIP("mounting a small file system needs root");
    // The working folder is now the new file system's root.
    QVERIFY(QDir::setCurrent(m_dir->path()));
    const QByteArray old = file == zimoIniName ? QByteArray("/old/folder\r\n")
                                               : QByteArray("24\r\nOld\r\nFalse\r\nFalse");
    writeFile(file, old);
    QVERIFY(mount.fill());

    FakePlatform p;
    if (file == zimoIniName) {
        FakeLabel Label1;
        Label1.text = QStringLiteral("/a/new/folder/with/a/longer/name");
        QVERIFY(!ExploreSettings(Label1, p.messageBox, p.shell).store());
    } else {
        p.dialog.fontAnswers.enqueue(FontChoice{"Serif", 12, true, false});
        SettingsCommands(p.services).mnuOptionForm_Click();
    }
    QCOMPARE(fileBytes(file), std::optional<QByteArray>(old));
    QCOMPARE(p.messageBox.shown.size(), 1);
    QVERIFY2(p.messageBox.shown[0].prompt.contains(file) &&
                 p.messageBox.shown[0].prompt.contains(QStringLiteral("ディスクの空き容量が足りません。")),
             qPrintable(p.messageBox.shown[0].prompt));
}

void TestSettingsCommands::explorer_data()
{
    QTest::addColumn<std::optional<QByteArray>>("file");
    QTest::addColumn<QString>("folder");
    QTest::newRow("missing file") << std::optional<QByteArray>() << "/";
    QTest::newRow("empty file") << std::optional<QByteArray>(QByteArray()) << "/";
    QTest::newRow("blanks only") << std::optional<QByteArray>("  ") << "/";
    QTest::newRow("CR LF only: empty, no fallback") << std::optional<QByteArray>("\r\n") << "";
    QTest::newRow("path") << std::optional<QByteArray>("/home/user/www") << "/home/user/www";
    QTest::newRow("one-byte path with LF") << std::optional<QByteArray>("/\n") << "/";
    QTest::newRow("comma") << std::optional<QByteArray>("/srv/a,b") << "/srv/a";
    QTest::newRow("quoted") << std::optional<QByteArray>("\"/srv/a,b\"") << "/srv/a,b";
    QTest::newRow("Japanese") << std::optional<QByteArray>("/home/\x93\xfa\x96\x7b\x8c\xea")
                              << "/home/日本語";
    QTest::newRow("Windows path unchanged")
        << std::optional<QByteArray>("c:\\Windows") << "c:\\Windows";
    QTest::newRow("missing folder passed on")
        << std::optional<QByteArray>("/no/such/folder") << "/no/such/folder";
}

void TestSettingsCommands::explorer()
{
    QFETCH(std::optional<QByteArray>, file);
    QFETCH(QString, folder);
    if (file)
        writeFile(zimoIniName, *file);
    FakePlatform p;
    p.shell.openFolderResult = false; // not looked at
    SettingsCommands(p.services).mnuExplorer_Click();
    QCOMPARE(p.shell.openedFolders, QStringList{folder});
    QVERIFY(p.messageBox.shown.isEmpty());
    QCOMPARE(fileBytes(zimoIniName), file);
}

void TestSettingsCommands::explorerMissingFileCreatesNothing()
{
    // Reading never creates the file: a folder where it can be read from stays as it was.
    FakePlatform p;
    SettingsCommands(p.services).mnuExplorer_Click();
    QVERIFY(!QFile::exists(zimoIniName));
    QVERIFY(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

void TestSettingsCommands::helpOrder()
{
    FakePlatform p;
    p.app.programPath = m_dir->path();
    writeFile(helpFileName, "<html></html>");
    // The help opens only after the notice has been answered.
    qsizetype helpCallsDuringMessage = -1;
    p.messageBox.onShow = [&](const ShownMessage &) {
        helpCallsDuringMessage = p.shell.helpCalls.size();
    };
    SettingsCommands commands(p.services);
    for (int use = 1; use <= 2; ++use) {
        commands.mnuHelpPlay_Click();
        QCOMPARE(helpCallsDuringMessage, 2 * (use - 1));
        QCOMPARE(p.messageBox.shown.size(), use);
        QCOMPARE(p.messageBox.shown.last(),
                 (ShownMessage{QStringLiteral("まだ作ってません"), 0, QString()}));
        QCOMPARE(p.shell.helpCalls.size(), 2 * use);
        const auto &contents = p.shell.helpCalls[2 * use - 2];
        const auto &topic = p.shell.helpCalls[2 * use - 1];
        const QString expected = m_dir->path() + QStringLiteral("/zimo.html");
        QCOMPARE(contents.file, expected);
        QCOMPARE(contents.command, Help::Contents);
        QCOMPARE(contents.topic, 0);
        QCOMPARE(topic.file, expected);
        QCOMPARE(topic.command, Help::Topic);
        QCOMPARE(topic.topic, 9999);
    }
}

void TestSettingsCommands::helpInstalledLayout()
{
    // prefix/bin/zimo with prefix/share/zimo/zimo.html
    QVERIFY(QDir().mkpath(QStringLiteral("prefix/bin")));
    QVERIFY(QDir().mkpath(QStringLiteral("prefix/share/zimo")));
    writeFile(QStringLiteral("prefix/share/zimo/zimo.html"), "<html></html>");
    FakePlatform p;
    p.app.programPath = m_dir->filePath(QStringLiteral("prefix/bin"));
    SettingsCommands(p.services).mnuHelpPlay_Click();
    QCOMPARE(p.messageBox.shown.size(), 1);
    QCOMPARE(p.shell.helpCalls.size(), 2);
    QCOMPARE(p.shell.helpCalls[0].file,
             m_dir->filePath(QStringLiteral("prefix/share/zimo/zimo.html")));
    QCOMPARE(p.shell.helpCalls[1].file, p.shell.helpCalls[0].file);

    // A copy beside the program comes first.
    writeFile(QStringLiteral("prefix/bin/zimo.html"), "<html></html>");
    SettingsCommands(p.services).mnuHelpPlay_Click();
    QCOMPARE(p.shell.helpCalls[2].file, m_dir->filePath(QStringLiteral("prefix/bin/zimo.html")));
}

void TestSettingsCommands::helpCandidates_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QStringList>("candidates");
    QTest::newRow("folder") << "/opt/zimo/bin"
                            << QStringList{"/opt/zimo/bin/zimo.html",
                                           "/opt/zimo/share/zimo/zimo.html"};
    QTest::newRow("root folder: one separator")
        << "/" << QStringList{"/zimo.html", "/share/zimo/zimo.html"};
}

void TestSettingsCommands::helpCandidates()
{
    QFETCH(QString, programFolder);
    QFETCH(QStringList, candidates);
    QCOMPARE(helpFileCandidates(programFolder), candidates);
}

void TestSettingsCommands::helpMissing()
{
    FakePlatform p;
    p.app.programPath = m_dir->path();
    SettingsCommands(p.services).mnuHelpPlay_Click();
    QCOMPARE(p.messageBox.shown.size(), 2);
    QCOMPARE(p.messageBox.shown[0].prompt, QStringLiteral("まだ作ってません"));
    QCOMPARE(p.messageBox.shown[1].style, int(MsgStyle::Exclamation));
    QVERIFY(p.messageBox.shown[1].prompt.contains(m_dir->path() + QStringLiteral("/zimo.html")));
    QVERIFY(p.shell.helpCalls.isEmpty());
}

void TestSettingsCommands::helpCannotShow()
{
    FakePlatform p;
    p.app.programPath = m_dir->path();
    writeFile(helpFileName, "<html></html>");
    p.shell.helpResult = false;
    SettingsCommands(p.services).mnuHelpPlay_Click();
    QCOMPARE(p.shell.helpCalls.size(), 1);
    QCOMPARE(p.messageBox.shown.size(), 2);
    QCOMPARE(p.messageBox.shown[1].style, int(MsgStyle::Exclamation));
    QVERIFY(p.messageBox.shown[1].prompt.contains(helpFileName));
}

void TestSettingsCommands::shippedHelpPage()
{
    const QString path = QFINDTESTDATA("../../data/help/zimo.html");
    QVERIFY(!path.isEmpty());
    const auto bytes = fileBytes(path);
    QVERIFY(bytes);
    const QString page = QString::fromUtf8(*bytes);

    // Help opens at the topic with context number 9999.
    QVERIFY(page.contains(QStringLiteral("id=\"topic-%1\"").arg(helpStartTopic)));
    // Every link of the contents leads to an anchor of the page.
    static const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
    int links = 0;
    for (const auto &match : link.globalMatch(page)) {
        const QString anchor = match.captured(1);
        QVERIFY2(page.contains(QStringLiteral("id=\"%1\"").arg(anchor)) ||
                     page.contains(QStringLiteral("name=\"%1\"").arg(anchor)),
                 qPrintable(anchor));
        ++links;
    }
    QVERIFY(links >= 10);
    // What the page says zimo.ini holds for the default folder matches what "Ok" writes for it
    // ("/" then LF, see the explore settings rows).
    QVERIFY(page.contains(QStringLiteral("既定の「/」は「/」と LF")));
    // Each command, with its shortcut, and each file the program uses are described.
    const QStringList mentioned = {"新規作成",
                                   "開く",
                                   "保存",
                                   "上書き",
                                   "印刷",
                                   "終了",
                                   "&lt;BR&gt;一括追加",
                                   "&lt;BR&gt;一括削除",
                                   "&lt;CENTER&gt;||Range||",
                                   "[Plug_1]",
                                   "[Plug_2]",
                                   "I'll be back",
                                   "総文字数",
                                   "検索",
                                   "書式",
                                   "詳細設定",
                                   "トピック",
                                   "バージョン",
                                   "エクスプローラ",
                                   "Ctrl+N",
                                   "Ctrl+O",
                                   "Ctrl+S",
                                   "Ctrl+P",
                                   "Ctrl+B",
                                   "Ctrl+D",
                                   "Ctrl+C",
                                   "Ctrl+U",
                                   "Ctrl+L",
                                   "Ctrl+F",
                                   "zimo.ini",
                                   "zimo_2.ini",
                                   "item/plug_1.txt",
                                   "item/plug_2.txt"};
    for (const QString &text : mentioned)
        QVERIFY2(page.contains(text), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestSettingsCommands)
#include "tst_settingscommands.moc"
