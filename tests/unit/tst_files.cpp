#include "platform/filenames.h"
#include "platform/files.h"
#include "support/asuser.h"
#include "support/filebytes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zimo;
using namespace zimo::test;

namespace {

// A folder tree both test users can reach: `root` is 0755, the test's own temporary folder too.
struct SharedPlace
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
    SharedPlace() { ::chmod(QFile::encodeName(dir.path()).constData(), 0755); }
    // A folder with the given mode and owner.
    QString folder(const QString &name, mode_t mode, uid_t owner) const
    {
        const QByteArray p = QFile::encodeName(path(name));
        ::mkdir(p.constData(), 0700);
        ::chown(p.constData(), owner, owner);
        ::chmod(p.constData(), mode);
        return path(name);
    }
    static void file(const QString &name, const QByteArray &bytes, mode_t mode, uid_t owner,
                     gid_t group)
    {
        writeBytes(name, bytes);
        const QByteArray p = fileNameBytes(name);
        ::chown(p.constData(), owner, group);
        ::chmod(p.constData(), mode);
    }
};

struct stat statOf(const QString &path)
{
    struct stat st {};
    ::lstat(fileNameBytes(path).constData(), &st);
    return st;
}

// Runs writeFileAtomically as the editing user; "ok" or the reason it gave.
QByteArray writeAsEditingUser(const QString &path, const QByteArray &bytes, unsigned flags)
{
    return runAsUser(editingUser, [&] {
               QString error;
               return writeFileAtomically(path, bytes, &error, flags) ? QByteArray("ok")
                                                                       : error.toUtf8();
           })
        .value_or("child failed");
}

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT
private slots:
    void splitLines_data();
    void splitLines();
    void fields_data();
    void fields();
    void atomicWriteReplaces();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void readsWholeAtEverySize_data();
    void readsWholeAtEverySize();
    void readFailuresInJapanese_data();
    void readFailuresInJapanese();
    void rightsDecideHowTheFileIsWritten_data();
    void rightsDecideHowTheFileIsWritten();
    void linksPlantedByAnotherUser_data();
    void linksPlantedByAnotherUser();
    void privateFileIsTheUsersAlone();
    void namesThatAreNotUtf8_data();
    void namesThatAreNotUtf8();
    void longestNamesSave_data();
    void longestNamesSave();
    void staleTemporariesRemoved();
    void ownFilesOnly();
};

void TestFiles::splitLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
    QTest::newRow("CR LF, no final end") << QByteArray("a\r\nb") << QList<QByteArray>{"a", "b"};
    QTest::newRow("final CR LF") << QByteArray("a\r\nb\r\n") << QList<QByteArray>{"a", "b"};
    QTest::newRow("lone CR ends a line") << QByteArray("a\rb") << QList<QByteArray>{"a", "b"};
    QTest::newRow("lone LF stays inside") << QByteArray("a\nb") << QList<QByteArray>{"a\nb"};
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QList<QByteArray>{"a\n", "b"};
    QTest::newRow("empty lines") << QByteArray("\r\n\r\n") << QList<QByteArray>{"", ""};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\n") << QList<QByteArray>{"a", ""};
}

void TestFiles::splitLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, lines);
    QCOMPARE(zimo::splitLines(bytes), lines);
}

void TestFiles::fields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("fields");
    QTest::newRow("lines") << QByteArray("12\r\nFace\r\nTrue\r\nFalse")
                           << QList<QByteArray>{"12", "Face", "True", "False"};
    QTest::newRow("final CR LF") << QByteArray("12\r\nFace\r\n")
                                 << QList<QByteArray>{"12", "Face"};
    QTest::newRow("leading blanks skipped") << QByteArray("   a,  b") << QList<QByteArray>{"a", "b"};
    QTest::newRow("comma ends a field") << QByteArray("My, Face\r\nx")
                                        << QList<QByteArray>{"My", "Face", "x"};
    QTest::newRow("quoted keeps comma") << QByteArray("\"a,b\",c")
                                        << QList<QByteArray>{"a,b", "c"};
    QTest::newRow("quoted unclosed runs to end") << QByteArray("\"abc") << QList<QByteArray>{"abc"};
    QTest::newRow("empty first line") << QByteArray("\r\nb") << QList<QByteArray>{"", "b"};
    QTest::newRow("lone LF ends a field") << QByteArray("a\nb") << QList<QByteArray>{"a", "b"};
    QTest::newRow("nothing") << QByteArray("") << QList<QByteArray>{};
    QTest::newRow("Shift-JIS bytes") << QByteArray("\x83\x65\x83\x58\x83\x67,x")
                                     << QList<QByteArray>{"\x83\x65\x83\x58\x83\x67", "x"};
}

void TestFiles::fields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, fields);
    FieldReader reader(bytes);
    QList<QByteArray> got;
    while (auto field = reader.next())
        got.append(*field);
    QCOMPARE(got, fields);
}

void TestFiles::atomicWriteReplaces()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("a much longer old content");
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    QString error;
    QVERIFY(writeFileAtomically(path, QByteArray("new"), &error));
    QCOMPARE(readWholeFile(path), std::optional<QByteArray>("new"));
    QCOMPARE(QFile(path).permissions() & 0x7777,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
}

void TestFiles::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("missing folder") << QStringLiteral("missing/x.txt");
    // A new file cannot be made there (an existing writable one is written in place).
    QTest::newRow("new file in a read-only folder") << QStringLiteral("ro/y.txt");
}

void TestFiles::failedWriteKeepsOldFile()
{
    QFETCH(QString, where);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("ro"));
    const QString path = dir.filePath(where);
    const QString old = dir.filePath(QStringLiteral("ro/x.txt"));
    writeBytes(old, "old bytes");
    const bool readOnlyCase = where.startsWith(u"ro/");
    if (readOnlyCase) {
        QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (QFileInfo(dir.filePath(QStringLiteral("ro"))).isWritable())
            QSKIP("running with rights that ignore folder permissions");
    }
    QString error;
    QVERIFY(!writeFileAtomically(path, QByteArray("new"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(readWholeFile(old), std::optional<QByteArray>("old bytes"));
    QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(QDir(dir.filePath("ro")).entryList(QDir::Files | QDir::Hidden), QStringList{"x.txt"});
}

// Files are read whole at every size around the read buffer, and past the size the system gives
// (a file whose size says 0 may still hold bytes).
void TestFiles::readsWholeAtEverySize_data()
{
    QTest::addColumn<QString>("path"); // empty: a file of `size` random bytes
    QTest::addColumn<int>("size");
    for (const int size : {0, 1, 16383, 16385, 65535, 65536, 65537, 1 << 20, (1 << 20) + 1})
        QTest::addRow("%d bytes", size) << QString() << size;
    QTest::newRow("a file whose size says 0") << "/proc/self/cmdline" << 0;
}

void TestFiles::readsWholeAtEverySize()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    QTemporaryDir dir;
    QByteArray bytes;
    const bool made = path.isEmpty();
    if (made) {
        path = dir.filePath(QStringLiteral("doc"));
        bytes.resize(size);
        QRandomGenerator random(size);
        for (char &c : bytes)
            c = char(random.bounded(256));
        writeBytes(path, bytes);
    }
    QString error;
    const std::optional<QByteArray> read = readWholeFile(path, &error);
    QVERIFY2(read, qPrintable(error));
    if (made)
        QCOMPARE(*read, bytes);
    else
        QVERIFY(!read->isEmpty());
}

// Why a file cannot be read, in Japanese (never the system's English text), with the error
// number for the unnamed cases.
void TestFiles::readFailuresInJapanese_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("reason");
    const QString notRegular =
        QStringLiteral("通常のファイルではありません（名前付きパイプや装置は開けません）。");
    QTest::newRow("missing") << "missing" << "ファイルがありません。";
    QTest::newRow("a folder") << "folder" << "フォルダは開けません。";
    QTest::newRow("a device") << "device" << notRegular;
    QTest::newRow("a pipe: refused at once, not waited on") << "fifo" << notRegular;
    QTest::newRow("a file in the path") << "file/x" << "パスの途中にフォルダではない項目があります。";
    QTest::newRow("name too long") << "long" << "ファイル名が長すぎます。";
    QTest::newRow("links in a circle") << "loop" << "シンボリックリンクが循環しています。";
    QTest::newRow("no read right (as an ordinary user)") << "unreadable"
                                                         << "読み取りの権限がありません。";
}

void TestFiles::readFailuresInJapanese()
{
    QFETCH(QString, what);
    QFETCH(QString, reason);
    SharedPlace place;
    QString path = place.path(what);
    if (what == u"folder")
        QVERIFY(QDir().mkdir(path));
    else if (what == u"device")
        path = QStringLiteral("/dev/zero");
    else if (what == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (what == u"file/x")
        writeBytes(place.path("file"), "x");
    else if (what == u"long")
        path = place.path(QString(300, u'n'));
    else if (what == u"loop")
        QVERIFY(QFile::link(path, path));

    QString error;
    if (what == u"unreadable") {
        if (!canRunAsUser())
            QSKIP("reading as an ordinary user needs root to switch users");
        SharedPlace::file(path, "secret", 0600, otherUser, otherUser);
        const auto got = runAsUser(editingUser, [&] {
            QString e;
            return readWholeFile(path, &e) ? QByteArray("read") : e.toUtf8();
        });
        QVERIFY(got);
        error = QString::fromUtf8(*got);
    } else {
        QVERIFY(!readWholeFile(path, &error));
    }
    QCOMPARE(error, reason);
}

// As an ordinary user: a file the user may not write is refused; where a rename would need the
// folder's rights, cut hard links off or change the owner, the file is written in place (same
// inode, owner and group), and every name of it shows the new text.
void TestFiles::rightsDecideHowTheFileIsWritten_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("result");  // "ok" or the reason
    QTest::addColumn<bool>("samePlace");  // written in place: the inode stays
    QTest::addColumn<QByteArray>("name"); // the file's name as the system has it
    const QByteArray sjis = "\x93\xfa\x96\x7b.txt"; // a name made on an older system
    QTest::newRow("read-only file in a writable folder")
        << "0444" << "ファイルが読み取り専用です。" << true << QByteArray("doc.txt");
    QTest::newRow("read-only file in a writable folder, Shift_JIS name")
        << "0444" << "ファイルが読み取り専用です。" << true << sjis;
    QTest::newRow("read-only file of another user, folder writable")
        << "other 0644" << "ファイルが読み取り専用です。" << true << QByteArray("doc.txt");
    QTest::newRow("writable file in a folder the user cannot write")
        << "folder 0755" << "ok" << true << QByteArray("doc.txt");
    QTest::newRow("writable file in a folder the user cannot write, Shift_JIS name")
        << "folder 0755" << "ok" << true << sjis;
    QTest::newRow("file with a second hard link") << "hard link" << "ok" << true << QByteArray("doc.txt");
    QTest::newRow("another user's file written through group rights")
        << "group" << "ok" << true << QByteArray("doc.txt");
    QTest::newRow("the user's own file in the user's folder: renamed")
        << "own" << "ok" << false << QByteArray("doc.txt");
    QTest::newRow("the user's own file in the user's folder: renamed, Shift_JIS name")
        << "own" << "ok" << false << sjis;
}

void TestFiles::rightsDecideHowTheFileIsWritten()
{
    QFETCH(QString, setup);
    QFETCH(QString, result);
    QFETCH(bool, samePlace);
    QFETCH(QByteArray, name);
    if (!canRunAsUser())
        QSKIP("tests about rights need root to switch to an ordinary user");
    SharedPlace place;
    const bool readOnlyFolder = setup == u"folder 0755";
    const QString folder = place.folder("f", readOnlyFolder ? 0755 : 01777,
                                        readOnlyFolder ? otherUser : 0);
    const QString file = folder + u'/' + fileNameFromBytes(name);
    const QString second = folder + "/second.txt";
    const QByteArray old = "old bytes, longer than the new ones";
    uid_t owner = editingUser;
    gid_t group = editingUser;
    mode_t mode = 0644;
    if (setup == u"0444")
        mode = 0444;
    if (setup == u"other 0644" || setup == u"group") {
        owner = otherUser;
        mode = setup == u"group" ? 0664 : 0644;
        group = setup == u"group" ? editingUser : otherUser;
    }
    SharedPlace::file(file, old, mode, owner, group);
    if (setup == u"hard link")
        QVERIFY(::link(fileNameBytes(file).constData(), QFile::encodeName(second).constData()) == 0);
    const struct stat before = statOf(file);

    QCOMPARE(QString::fromUtf8(writeAsEditingUser(file, "new", FollowLink)), result);

    const struct stat after = statOf(file);
    QCOMPARE(bytesOf(file), result == u"ok" ? QByteArray("new") : old);
    QCOMPARE(after.st_ino == before.st_ino, samePlace);
    QCOMPARE(after.st_uid, owner);
    QCOMPARE(after.st_gid, group);
    QCOMPARE(after.st_mode & 07777, mode);
    if (setup == u"hard link")
        QCOMPARE(bytesOf(second), QByteArray("new"));
    // Nothing left beside it.
    QList<QByteArray> expected{name};
    if (setup == u"hard link")
        expected << "second.txt";
    QCOMPARE(entriesOf(folder), expected);
    removeTree(place.dir.path());
}

// In a shared sticky folder (like /tmp) another user plants a symbolic link where a file that is
// not a document goes (settings, drafts). It is never written through: the user's own file it
// points to keeps its bytes.
void TestFiles::linksPlantedByAnotherUser_data()
{
    QTest::addColumn<unsigned>("flags");
    QTest::addColumn<bool>("dangling");
    QTest::newRow("settings file, link to the user's file") << 0u << false;
    QTest::newRow("settings file, dangling link") << 0u << true;
    QTest::newRow("draft, link to the user's file") << unsigned(PrivateFile) << false;
    QTest::newRow("draft, dangling link") << unsigned(PrivateFile) << true;
}

void TestFiles::linksPlantedByAnotherUser()
{
    QFETCH(unsigned, flags);
    QFETCH(bool, dangling);
    if (!canRunAsUser())
        QSKIP("tests about rights need root to switch users");
    SharedPlace place;
    const QString shared = place.folder("shared", 01777, 0);
    const QString home = place.folder("home", 0755, editingUser);
    const QString victim = home + "/.bashrc";
    if (!dangling)
        SharedPlace::file(victim, "the user's own", 0644, editingUser, editingUser);
    const QString name = shared + "/zimo.ini";
    QVERIFY(runAsUser(otherUser, [&] { return QFile::link(victim, name) ? "" : "no"; }) ==
            QByteArray());

    const QByteArray got = writeAsEditingUser(name, "written", flags);

    if (dangling)
        QVERIFY(!QFileInfo::exists(victim));
    else
        QCOMPARE(bytesOf(victim), QByteArray("the user's own"));
    // The sticky folder keeps the other user's link (nobody else may replace it): the write is
    // reported as failed, never done through the link.
    QVERIFY2(got != "ok", got.constData());
    QVERIFY(QFileInfo(name).isSymLink());
}

// A private file is created 0600 whatever the file mode mask, and an existing one that others
// could read becomes 0600.
void TestFiles::privateFileIsTheUsersAlone()
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath("fresh");
    const QString open = dir.filePath("open");
    writeBytes(open, "old");
    QVERIFY(QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther));
    const mode_t oldMask = ::umask(0);
    const bool freshWritten = writeFileAtomically(fresh, "text", nullptr, PrivateFile);
    const bool openWritten = writeFileAtomically(open, "text", nullptr, PrivateFile);
    ::umask(oldMask);
    QVERIFY(freshWritten && openWritten);
    QCOMPARE(statOf(fresh).st_mode & 07777, mode_t(0600));
    QCOMPARE(statOf(open).st_mode & 07777, mode_t(0600));
    QCOMPARE(bytesOf(open), QByteArray("text"));
}

// Names made on older systems (Shift_JIS, EUC-JP bytes) are written and read as the very names:
// through links of either kind, and named readably (\xNN) when the write fails.
void TestFiles::namesThatAreNotUtf8_data()
{
    QTest::addColumn<QByteArray>("target"); // the file written, as the system has it
    QTest::addColumn<QByteArray>("given");  // the name the write is given; empty: the target
    QTest::addColumn<bool>("existed");
    QTest::addColumn<QString>("reason");    // empty: written; "<dir>" stands for the folder
    QTest::newRow("new Shift_JIS name") << QByteArray("\x93\xfa\x96\x7b.html") << QByteArray()
                                        << false << QString();
    QTest::newRow("existing EUC-JP name") << QByteArray("\xc6\xfc\xcb\xdc.html") << QByteArray()
                                          << true << QString();
    QTest::newRow("UTF-8 link to a Shift_JIS name") << QByteArray("\x93\xfa.html")
                                                   << QByteArray("link.html") << true << QString();
    QTest::newRow("Shift_JIS link to a UTF-8 name") << QByteArray("日本.html")
                                                   << QByteArray("\x93\xfa-link") << true << QString();
    QTest::newRow("dangling link to a Shift_JIS name") << QByteArray("\x93\xfa.html")
                                                      << QByteArray("link.html") << false << QString();
    QTest::newRow("in a missing Shift_JIS folder")
        << QByteArray("\xc6\xfc/a.html") << QByteArray() << false
        << QStringLiteral("フォルダ「<dir>/\\xC6\\xFC」がありません。");
}

void TestFiles::namesThatAreNotUtf8()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, given);
    QFETCH(bool, existed);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString targetPath = folder + fileNameFromBytes(target);
    if (existed)
        writeBytes(targetPath, "old bytes");
    if (!given.isEmpty())
        QCOMPARE(::symlink(target.constData(), fileNameBytes(folder + fileNameFromBytes(given)).constData()), 0);

    QString error;
    const bool written =
        writeFileAtomically(folder + fileNameFromBytes(given.isEmpty() ? target : given), "new", &error);
    if (reason.isEmpty()) {
        QVERIFY2(written, qPrintable(error));
        QCOMPARE(bytesOf(targetPath), QByteArray("new"));
        // The link stays a link, and nothing else appears.
        QList<QByteArray> expected{target};
        if (!given.isEmpty()) {
            expected.append(given);
            QVERIFY(pathInfo(folder + fileNameFromBytes(given)).isLink);
        }
        std::sort(expected.begin(), expected.end());
        QCOMPARE(entriesOf(dir.path()), expected);
    } else {
        QVERIFY(!written);
        QCOMPARE(error, QString(reason).replace(QStringLiteral("<dir>"), dir.path()));
        QVERIFY(entriesOf(dir.path()).isEmpty());
    }
    removeTree(dir.path());
}

// The temporary file's name fits beside any name up to the longest a file system takes
// (255 bytes), cut at a character's boundary.
void TestFiles::longestNamesSave_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("245 bytes") << QString(245, u'n');
    QTest::newRow("255 bytes") << QString(255, u'n');
    QTest::newRow("255 bytes of 3-byte characters") << QString(85, u'\u3042');
    QTest::newRow("254 bytes, a character cut by the limit") << (QString(2, u'n') + QString(84, u'\u3042'));
    // Shift_JIS あ (82 A0) 127 times and a letter: 255 bytes that are not UTF-8.
    QTest::newRow("255 bytes of Shift_JIS") << fileNameFromBytes(QByteArray("\x82\xa0").repeated(127) + "a");
}

void TestFiles::longestNamesSave()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    writeBytes(path, "old");
    QString error;
    QVERIFY2(writeFileAtomically(path, "new", &error), qPrintable(error));
    QCOMPARE(bytesOf(path), QByteArray("new"));
    QVERIFY2(writeFileAtomically(dir.filePath(name.chopped(1) + u'x'), "created", &error),
             qPrintable(error));
    QCOMPARE(bytesOf(dir.filePath(name.chopped(1) + u'x')), QByteArray("created"));
    QCOMPARE(entriesOf(dir.path()).size(), 2);
    removeTree(dir.path());
}

// Temporary files left by a killed write of an earlier run are removed at the first write into
// their folder, and only files proven to be such: the exact name pattern, the user's, regular,
// one link, older than this run.
void TestFiles::staleTemporariesRemoved()
{
    SharedPlace place;
    const QString folder = place.folder("f", 01777, 0);
    auto f = [&](const QString &name) { return folder + u'/' + name; };
    const QDateTime past = QDateTime::currentDateTime().addDays(-1);
    auto age = [&](const QString &path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
    };
    const QStringList gone{".doc.txt.zimo-1a2b3c4", ".other.html.zimo-0", ".draft.zimo-zz9"};
    QStringList kept{"doc.txt",
                     ".doc.txt.zimo-preview.html", // the preview copy's name, not a temporary
                     ".doc.txt.zimo-ABC",          // not the pattern: capitals
                     ".doc.txt.zimo-12345678",     // not the pattern: eight characters
                     "doc.txt.zimo-abc",           // no leading dot
                     ".zimo-abc",                  // no name
                     ".fresh.zimo-abc",            // written after this run began
                     ".linked.zimo-abc"};          // with a second name
    for (const QString &name : gone + kept)
        writeBytes(f(name), "bytes");
    QVERIFY(::link(QFile::encodeName(f(".linked.zimo-abc")).constData(),
                   QFile::encodeName(f("second name")).constData()) == 0);
    for (const QString &name : gone + kept)
        if (name != u".fresh.zimo-abc")
            age(f(name));
    QVERIFY(QFile::link(f("doc.txt"), f(".link.zimo-abc")));
    QVERIFY(QDir().mkdir(f(".dir.zimo-abc")));
    kept << ".link.zimo-abc" << ".dir.zimo-abc";
    const timespec yesterday[2] = {{::time(nullptr) - 86400, 0}, {::time(nullptr) - 86400, 0}};
    for (const char *name : {".link.zimo-abc", ".dir.zimo-abc"})
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(f(QString::fromLatin1(name))).constData(),
                             yesterday, AT_SYMLINK_NOFOLLOW),
                 0);
    if (canRunAsUser()) {
        // Another user's file of that shape is never the user's to remove.
        writeBytes(f(".theirs.zimo-abc"), "theirs");
        age(f(".theirs.zimo-abc"));
        QCOMPARE(::chown(QFile::encodeName(f(".theirs.zimo-abc")).constData(), otherUser, otherUser), 0);
        kept << ".theirs.zimo-abc";
    }
    QVERIFY(writeFileAtomically(f("doc.txt"), "saved"));
    for (const QString &name : gone)
        QVERIFY2(!QFileInfo::exists(f(name)), qPrintable(name));
    for (const QString &name : kept)
        QVERIFY2(QFileInfo(f(name)).isSymLink() || QFileInfo::exists(f(name)), qPrintable(name));
}

// The files of the program's own (the preview copy): created only where nothing is, rewritten and
// removed only while they are the very file created.
void TestFiles::ownFilesOnly()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("own.html");
    const QString other = dir.filePath("other");
    writeBytes(other, "the user's");
    QVERIFY(QFile::link(other, name));
    OwnFileResult r = createOwnFile(name, "copy");
    QCOMPARE(r.err, EEXIST);
    QCOMPARE(bytesOf(other), QByteArray("the user's"));
    QVERIFY(QFile::remove(name));

    r = createOwnFile(name, "copy");
    QVERIFY(r.ok());
    QCOMPARE(statOf(name).st_mode & 0777, mode_t(0600));
    const OwnFileResult again = replaceOwnFile(name, r.identity, "copy 2");
    QVERIFY(again.ok());
    QCOMPARE(bytesOf(name), QByteArray("copy 2"));
    // The first identity is gone: it no longer names our file.
    QCOMPARE(replaceOwnFile(name, r.identity, "x").err, EEXIST);
    QVERIFY(!removeOwnFile(name, r.identity));
    QCOMPARE(bytesOf(name), QByteArray("copy 2"));
    // Something else put at the name is never replaced or removed.
    writeBytes(dir.filePath("users"), "now the user's");
    QVERIFY(::rename(QFile::encodeName(dir.filePath("users")).constData(),
                     QFile::encodeName(name).constData()) == 0);
    QCOMPARE(replaceOwnFile(name, again.identity, "x").err, EEXIST);
    QVERIFY(!removeOwnFile(name, again.identity));
    QCOMPARE(bytesOf(name), QByteArray("now the user's"));
    QVERIFY(QFile::remove(name));
    r = createOwnFile(name, "three");
    QVERIFY(removeOwnFile(name, r.identity));
    QVERIFY(!QFileInfo::exists(name));
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
