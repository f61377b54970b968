#include "settings/exploresettings.h"
#include "support/fakes.h"
#include "support/workfolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace zimo;
using namespace zimo::test;

namespace {

const QString noFolder = QStringLiteral("初期値がありません、設定して下さい。");
const QString keptMessage = QStringLiteral("初期値を保持します。");

void writeIni(const QByteArray &bytes)
{
    QFile file(zimoIniName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::optional<QByteArray> iniBytes()
{
    QFile file(zimoIniName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

// zimo.ini: reading the explore folder, the bytes Ok leaves, and the settings dialog's steps.
class TestExploreSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void readFolder_data();
    void readFolder();
    void storedBytes_data();
    void storedBytes();
    void overlay_data();
    void overlay();

    void loadFromFile_data();
    void loadFromFile();
    void loadWithoutFolder_data();
    void loadWithoutFolder();
    void loadCannotWriteDefault();
    void browse();
    void browseCancelled();
    void store_data();
    void store();
    void storeCannotWrite();
    void storeUnencodable();

private:
    std::unique_ptr<zimo::test::WorkFolder> m_dir;
};

void TestExploreSettings::init()
{
    m_dir = std::make_unique<zimo::test::WorkFolder>();
    QVERIFY(m_dir->isValid());
}

void TestExploreSettings::cleanup()
{
    m_dir.reset();
}

void TestExploreSettings::readFolder_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<std::optional<QString>>("folder");
    QTest::newRow("empty file") << QByteArray() << std::optional<QString>();
    QTest::newRow("blanks only") << QByteArray("   ") << std::optional<QString>();
    QTest::newRow("path") << QByteArray("/home/user/www")
                          << std::optional<QString>("/home/user/www");
    QTest::newRow("root") << QByteArray("/") << std::optional<QString>("/");
    QTest::newRow("CR LF only: empty path") << QByteArray("\r\n") << std::optional<QString>("");
    QTest::newRow("one byte and LF") << QByteArray("/\n") << std::optional<QString>("/");
    QTest::newRow("comma ends the path")
        << QByteArray("/srv/a,b") << std::optional<QString>("/srv/a");
    QTest::newRow("quoted keeps the comma")
        << QByteArray("\"/srv/a,b\"") << std::optional<QString>("/srv/a,b");
    QTest::newRow("leading blanks skipped")
        << QByteArray("  /tmp") << std::optional<QString>("/tmp");
    QTest::newRow("second line ignored")
        << QByteArray("/one\r\n/two") << std::optional<QString>("/one");
    QTest::newRow("Windows path unchanged")
        << QByteArray("c:\\Program Files") << std::optional<QString>("c:\\Program Files");
    // 日本語 in code page 932.
    QTest::newRow("Japanese path")
        << QByteArray("/home/\x93\xfa\x96\x7b\x8c\xea") << std::optional<QString>("/home/日本語");
    // ソ (83 5C) ends in a backslash byte, which is no separator here.
    QTest::newRow("trail byte 5C") << QByteArray("/\x83\x5c") << std::optional<QString>("/ソ");
}

void TestExploreSettings::readFolder()
{
    QFETCH(QByteArray, bytes);
    QFETCH(std::optional<QString>, folder);
    QCOMPARE(readExploreFolder(bytes), folder);
}

void TestExploreSettings::storedBytes_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty leaves CR LF") << QString() << QByteArray("\r\n");
    QTest::newRow("one byte keeps LF") << QStringLiteral("/") << QByteArray("/\n");
    QTest::newRow("two bytes exactly") << QStringLiteral("/a") << QByteArray("/a");
    QTest::newRow("path") << QStringLiteral("/home/user/www") << QByteArray("/home/user/www");
    QTest::newRow("comma kept whole") << QStringLiteral("/srv/a,b") << QByteArray("/srv/a,b");
    QTest::newRow("Japanese") << QStringLiteral("/home/日本語")
                              << QByteArray("/home/\x93\xfa\x96\x7b\x8c\xea");
    // One character, two bytes: nothing of the CR LF is left.
    QTest::newRow("one double-byte character") << QStringLiteral("日") << QByteArray("\x93\xfa");
}

void TestExploreSettings::storedBytes()
{
    QFETCH(QString, folder);
    QFETCH(QByteArray, bytes);
    const cp932::EncodeResult result = exploreIniBytes(folder);
    QVERIFY(result.ok());
    QCOMPARE(result.bytes, bytes);
}

void TestExploreSettings::overlay_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("onto nothing") << QByteArray() << QByteArray("/") << QByteArray("/");
    QTest::newRow("onto blanks") << QByteArray("   ") << QByteArray("/") << QByteArray("/  ");
    QTest::newRow("longer than old")
        << QByteArray("ab") << QByteArray("/xyz") << QByteArray("/xyz");
    QTest::newRow("same length") << QByteArray("\r\n") << QByteArray("/a") << QByteArray("/a");
}

void TestExploreSettings::overlay()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, result);
    QCOMPARE(overlayAtStart(old, bytes), result);
}

void TestExploreSettings::loadFromFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("label");
    QTest::newRow("path") << QByteArray("/home/user/www") << "/home/user/www";
    QTest::newRow("CR LF only: empty, no fallback") << QByteArray("\r\n") << "";
    QTest::newRow("comma") << QByteArray("/srv/a,b") << "/srv/a";
    QTest::newRow("quoted") << QByteArray("\"/srv/a,b\"") << "/srv/a,b";
    QTest::newRow("Japanese") << QByteArray("/home/\x93\xfa\x96\x7b\x8c\xea") << "/home/日本語";
}

void TestExploreSettings::loadFromFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, label);
    writeIni(file);
    FakePlatform p;
    FakeLabel Label1;
    ExploreSettings(Label1, p.messageBox, p.shell).load();
    QCOMPARE(Label1.text, label);
    QVERIFY(p.messageBox.shown.isEmpty());
    QCOMPARE(iniBytes(), std::optional<QByteArray>(file));
}

void TestExploreSettings::loadWithoutFolder_data()
{
    QTest::addColumn<std::optional<QByteArray>>("file");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("missing") << std::optional<QByteArray>() << QByteArray("/");
    QTest::newRow("empty") << std::optional<QByteArray>(QByteArray()) << QByteArray("/");
    QTest::newRow("blanks only") << std::optional<QByteArray>("    ") << QByteArray("/   ");
}

void TestExploreSettings::loadWithoutFolder()
{
    QFETCH(std::optional<QByteArray>, file);
    QFETCH(QByteArray, after);
    if (file)
        writeIni(*file);
    FakePlatform p;
    FakeLabel Label1;
    Label1.text = QStringLiteral("layout");
    // The label shows the default only after the message has been answered.
    QString labelDuringMessage;
    p.messageBox.onShow = [&](const ShownMessage &) { labelDuringMessage = Label1.text; };
    ExploreSettings(Label1, p.messageBox, p.shell).load();
    QCOMPARE(p.messageBox.shown, (QList<ShownMessage>{ShownMessage{noFolder, 0, QString()}}));
    QCOMPARE(labelDuringMessage, QStringLiteral("layout"));
    QCOMPARE(Label1.text, QStringLiteral("/"));
    QCOMPARE(iniBytes(), std::optional<QByteArray>(after));
    // What was written is read back as the default folder.
    QCOMPARE(readExploreFolderFile(), std::optional<QString>("/"));
}

void TestExploreSettings::loadCannotWriteDefault()
{
    // A folder in the way of the file: it can be neither read nor replaced.
    QVERIFY(QDir().mkdir(zimoIniName));
    FakePlatform p;
    FakeLabel Label1;
    ExploreSettings(Label1, p.messageBox, p.shell).load();
    QCOMPARE(p.messageBox.shown.size(), 2);
    QCOMPARE(p.messageBox.shown[0].prompt, noFolder);
    QCOMPARE(p.messageBox.shown[1].style, int(MsgStyle::Exclamation));
    QVERIFY(p.messageBox.shown[1].prompt.contains(zimoIniName));
    QCOMPARE(Label1.text, QStringLiteral("/"));
}

void TestExploreSettings::browse()
{
    writeIni("/old");
    FakePlatform p;
    FakeLabel Label1;
    Label1.text = QStringLiteral("/old");
    p.shell.browseAnswers.enqueue(QStringLiteral("/home/user/新しい"));
    ExploreSettings(Label1, p.messageBox, p.shell).browse();
    QCOMPARE(p.shell.browseCount, 1);
    QCOMPARE(Label1.text, QStringLiteral("/home/user/新しい"));
    QVERIFY(p.messageBox.shown.isEmpty());
    // Only Ok writes.
    QCOMPARE(iniBytes(), std::optional<QByteArray>("/old"));
}

void TestExploreSettings::browseCancelled()
{
    FakePlatform p;
    FakeLabel Label1;
    Label1.text = QStringLiteral("/kept");
    ExploreSettings(Label1, p.messageBox, p.shell).browse();
    QCOMPARE(p.shell.browseCount, 1);
    QCOMPARE(p.messageBox.shown, (QList<ShownMessage>{ShownMessage{keptMessage, 0, QString()}}));
    QCOMPARE(Label1.text, QStringLiteral("/kept"));
    QVERIFY(!QFile::exists(zimoIniName));
}

void TestExploreSettings::store_data()
{
    QTest::addColumn<std::optional<QByteArray>>("before");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("missing file") << std::optional<QByteArray>() << "/home/user"
                                  << QByteArray("/home/user");
    QTest::newRow("longer old path")
        << std::optional<QByteArray>("/a/much/longer/old/path\r\n") << "/b" << QByteArray("/b");
    QTest::newRow("empty label") << std::optional<QByteArray>("/old") << "" << QByteArray("\r\n");
    QTest::newRow("one-byte label")
        << std::optional<QByteArray>("/old") << "/" << QByteArray("/\n");
    QTest::newRow("Japanese") << std::optional<QByteArray>() << "/home/日本語"
                              << QByteArray("/home/\x93\xfa\x96\x7b\x8c\xea");
}

void TestExploreSettings::store()
{
    QFETCH(std::optional<QByteArray>, before);
    QFETCH(QString, label);
    QFETCH(QByteArray, after);
    if (before)
        writeIni(*before);
    FakePlatform p;
    FakeLabel Label1;
    Label1.text = label;
    QVERIFY(ExploreSettings(Label1, p.messageBox, p.shell).store());
    QVERIFY(p.messageBox.shown.isEmpty());
    QCOMPARE(iniBytes(), std::optional<QByteArray>(after));
}

void TestExploreSettings::storeCannotWrite()
{
    QVERIFY(QDir().mkdir(zimoIniName));
    FakePlatform p;
    FakeLabel Label1;
    Label1.text = QStringLiteral("/home/user");
    QVERIFY(!ExploreSettings(Label1, p.messageBox, p.shell).store());
    QCOMPARE(p.messageBox.shown.size(), 1);
    QCOMPARE(p.messageBox.shown[0].style, int(MsgStyle::Exclamation));
    QVERIFY(p.messageBox.shown[0].prompt.contains(zimoIniName));
    QCOMPARE(Label1.text, QStringLiteral("/home/user"));
}

void TestExploreSettings::storeUnencodable()
{
    writeIni("/old");
    FakePlatform p;
    FakeLabel Label1;
    // Hangul has no place in code page 932.
    Label1.text = QStringLiteral("/home/한국");
    QVERIFY(!ExploreSettings(Label1, p.messageBox, p.shell).store());
    QCOMPARE(p.messageBox.shown.size(), 1);
    QCOMPARE(p.messageBox.shown[0].style, int(MsgStyle::Exclamation));
    QVERIFY(p.messageBox.shown[0].prompt.contains(QStringLiteral("/home/한국")));
    QCOMPARE(iniBytes(), std::optional<QByteArray>("/old"));
}

QTEST_GUILESS_MAIN(TestExploreSettings)
#include "tst_exploresettings.moc"
