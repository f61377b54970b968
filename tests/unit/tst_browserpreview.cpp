// "ブラウザで表示(&W)": which file the browser is given, the preview copy's place, name and bytes,
// failures, and that no copy is left behind; through the scripted fakes and real files.
#include "document/cp932.h"
#include "document/documentcommands.h"
#include "document/preview.h"
#include "platform/files.h"
#include "support/asuser.h"
#include "support/fakes.h"
#include "support/filebytes.h"
#include "support/workfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace zimo;
using namespace zimo::test;

namespace {

// The main window's document side and the preview, with every service faked.
struct Window
{
    FakePlatform p;
    DocumentCommands doc{p.services};
    BrowserPreview preview{p.services, doc};

    void openFile(const QString &path)
    {
        p.dialog.fileAnswers.enqueue(path);
        doc.mnuFileOpen_Click();
    }
    void newDocument()
    {
        p.messageBox.answers.enqueue(MsgAnswer::Yes);
        doc.mnuFileNew_Click();
    }
};

const QString noBrowser = QStringLiteral(
    "ブラウザを起動できませんでした。\n\n既定のブラウザが設定されているか確かめてください。");

} // namespace

class TestBrowserPreview : public QObject
{
    Q_OBJECT
private slots:
    void whatIsShown_data();
    void whatIsShown();
    void copyInTheDocumentsEncoding_data();
    void copyInTheDocumentsEncoding();
    void laterPreviewsReplaceTheCopy();
    void failures_data();
    void failures();
    void nameTakenBeside_data();
    void nameTakenBeside();
    void copyReplacedByTheUserIsLeftAlone();
    void userFilesInThePrivateFolderStay();
};

void TestBrowserPreview::whatIsShown_data()
{
    QTest::addColumn<QString>("fileName"); // opened first; empty: a document without a file
    QTest::addColumn<QString>("typed");    // appended to the text; empty: left unchanged
    QTest::addColumn<bool>("removeFile");  // the file is gone before the preview
    QTest::addColumn<QString>("shown");    // "file", "beside" or "temporary"
    QTest::addColumn<QByteArray>("bytes"); // what the browser is given

    const QByteArray page = "<P>\x93\xfa\x96\x7b</P>\r\n"; // <P>日本</P> in code page 932
    const QByteArray file = page.chopped(2); // the file as written, with no line end at its end
    QTest::newRow("unchanged HTML file: the file itself")
        << "page.html" << "" << false << "file" << file;
    QTest::newRow("unchanged, suffix in capitals") << "PAGE.HTM" << "" << false << "file" << file;
    QTest::newRow("unchanged text file: a copy, or it would open in a text editor")
        << "page.txt" << "" << false << "beside" << page;
    QTest::newRow("changed: a copy of the text in code page 932")
        << "page.html" << "<BR>\u3042" << false << "beside" << QByteArray(page).insert(page.size() - 2, "<BR>\x82\xa0");
    QTest::newRow("changed, a character code page 932 cannot hold: a reference, no question")
        << "page.html" << "\U0001F600" << false << "beside"
        << QByteArray(page).insert(page.size() - 2, "&#x1F600;");
    QTest::newRow("unchanged but the file is gone: a copy")
        << "page.html" << "" << true << "beside" << page;
    // A name made on an older system (Shift_JIS): the very file is shown, and the copy's name
    // keeps the name's bytes.
    const QString sjisName = fileNameFromBytes("\x93\xfa\x96\x7b.html");
    QTest::newRow("unchanged, Shift_JIS name: the file itself")
        << sjisName << "" << false << "file" << file;
    QTest::newRow("changed, Shift_JIS name: a copy beside")
        << sjisName << "<BR>" << false << "beside" << QByteArray(page).insert(page.size() - 2, "<BR>");
    QTest::newRow("no file: a copy in a private temporary folder")
        << "" << "<B>\u6f22</B>" << false << "temporary" << QByteArray("<B>\x8a\xbf</B>\r\n");
    QTest::newRow("no file, empty text") << "" << "" << false << "temporary" << QByteArray("\r\n");
}

void TestBrowserPreview::whatIsShown()
{
    QFETCH(QString, fileName);
    QFETCH(QString, typed);
    QFETCH(bool, removeFile);
    QFETCH(QString, shown);
    QFETCH(QByteArray, bytes);

    WorkFolder work;
    QVERIFY(work.isValid());
    const QString document = work.filePath(fileName);
    const QByteArray original = "<P>\x93\xfa\x96\x7b</P>";
    Window w;
    if (!fileName.isEmpty()) {
        writeBytes(document, original);
        w.openFile(document);
        QVERIFY(w.p.mnuFileOverwrite.enabled);
    }
    if (!typed.isEmpty()) {
        const QString text = w.p.text.text();
        w.p.text.setText(text.endsWith(u"\r\n") ? text.chopped(2) + typed + QStringLiteral("\r\n")
                                                : text + typed);
    }
    if (removeFile)
        QCOMPARE(::unlink(fileNameBytes(document).constData()), 0);

    w.preview.mnuOptionBrowser_Click();

    QCOMPARE(w.p.messageBox.shown.size(), 0);
    QCOMPARE(w.p.shell.browserCalls.size(), 1);
    const FakeShell::BrowserCall call = w.p.shell.browserCalls.first();
    QVERIFY(QFileInfo(call.file).isAbsolute());
    QVERIFY(call.existed);
    QCOMPARE(call.bytes, bytes);
    if (shown == u"file") {
        QCOMPARE(call.file, document);
        QVERIFY(w.preview.copyPath().isEmpty());
    } else if (shown == u"beside") {
        QCOMPARE(call.file, work.filePath(QLatin1Char('.') + fileName + ".zimo-preview.html"));
        QCOMPARE(w.preview.copyPath(), call.file);
    } else {
        // A folder of its own in the temporary folder, that only the user can enter.
        const QFileInfo folder(QFileInfo(call.file).path());
        QCOMPARE(folder.dir().absolutePath(), QDir(QDir::tempPath()).absolutePath());
        QCOMPARE(folder.permissions() & (QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                         QFile::ExeOther),
                 QFile::Permissions());
        QVERIFY(call.file.endsWith(u".html"));
    }
    // The document's own file is never written.
    if (!fileName.isEmpty() && !removeFile)
        QCOMPARE(bytesOf(document), original);

    // The end of the program removes the copy, and its folder when it made one.
    w.preview.removeCopy();
    if (shown == u"file") {
        QVERIFY(pathInfo(document).exists);
    } else {
        QVERIFY(!pathInfo(call.file).exists);
        if (shown == u"temporary")
            QVERIFY(!QFileInfo::exists(QFileInfo(call.file).path()));
    }
    QCOMPARE(entriesOf(work.path()), fileName.isEmpty() || removeFile
                                         ? QList<QByteArray>()
                                         : QList<QByteArray>{fileNameBytes(fileName)});
    ::unlink(fileNameBytes(document).constData());
}

// The copy is written as the document would be: in its encoding, with its byte-order mark.
void TestBrowserPreview::copyInTheDocumentsEncoding_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("copy");
    QTest::newRow("UTF-8 with its mark") << QByteArray("\xEF\xBB\xBF<P>\xE6\x97\xA5</P>")
                                         << QByteArray("\xEF\xBB\xBF<P>\xE6\x97\xA5</P>x\r\n");
    QTest::newRow("EUC-JP") << QByteArray("<P>\xC6\xFC\xCB\xDC</P>")
                            << QByteArray("<P>\xC6\xFC\xCB\xDC</P>x\r\n");
    QTest::newRow("UTF-16LE") << QByteArray("\xFF\xFE<\0P\0>\0", 8)
                              << QByteArray("\xFF\xFE<\0P\0>\0x\0\r\0\n\0", 14);
}

void TestBrowserPreview::copyInTheDocumentsEncoding()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, copy);
    WorkFolder work;
    QVERIFY(work.isValid());
    const QString document = work.filePath(QStringLiteral("page.html"));
    writeBytes(document, file);
    Window w;
    w.openFile(document);
    w.p.text.setText(w.p.text.text() + u'x');
    w.preview.mnuOptionBrowser_Click();
    QCOMPARE(w.p.shell.browserCalls.size(), 1);
    QCOMPARE(w.p.shell.browserCalls.first().bytes, copy);
    QCOMPARE(bytesOf(document), file);
}

void TestBrowserPreview::laterPreviewsReplaceTheCopy()
{
    WorkFolder work;
    QVERIFY(work.isValid());
    QVERIFY(QDir(work.path()).mkdir("site"));
    const QString a = work.filePath("a.html");
    const QString b = work.filePath("site/b.html");
    writeBytes(a, "a");
    writeBytes(b, "b");
    const QString copyA = work.filePath(".a.html.zimo-preview.html");
    const QString copyB = work.filePath("site/.b.html.zimo-preview.html");

    Window w;
    // Ended as the program's end ends it: by its destructor.
    auto owned = std::make_unique<BrowserPreview>(w.p.services, w.doc);
    {
        BrowserPreview &preview = *owned;
        w.openFile(a);
        w.p.text.setText("one");
        preview.mnuOptionBrowser_Click();
        QCOMPARE(bytesOf(copyA), QByteArray("one\r\n"));
        // Again: the same copy, rewritten.
        w.p.text.setText("two");
        preview.mnuOptionBrowser_Click();
        QCOMPARE(bytesOf(copyA), QByteArray("two\r\n"));
        // Unchanged again: the file itself; the copy stays until a copy goes elsewhere or the end.
        w.p.text.setText(w.doc.file_text());
        preview.mnuOptionBrowser_Click();
        QCOMPARE(w.p.shell.browserCalls.last().file, a);
        // Another document in another folder (the text is unchanged: no question): its copy
        // there, the first one removed.
        w.openFile(b);
        w.p.text.setText("three");
        preview.mnuOptionBrowser_Click();
        QVERIFY(!QFile::exists(copyA));
        QCOMPARE(bytesOf(copyB), QByteArray("three\r\n"));
        // A new document: a temporary copy, the one beside b removed.
        w.newDocument();
        w.p.text.setText("four");
        preview.mnuOptionBrowser_Click();
        QVERIFY(!QFile::exists(copyB));
        const QString temporary = w.p.shell.browserCalls.last().file;
        QCOMPARE(bytesOf(temporary), QByteArray("four\r\n"));
        // The same temporary copy, rewritten.
        w.p.text.setText("five");
        preview.mnuOptionBrowser_Click();
        QCOMPARE(w.p.shell.browserCalls.last().file, temporary);
        QCOMPARE(bytesOf(temporary), QByteArray("five\r\n"));
        QCOMPARE(w.p.shell.browserCalls.size(), 6);
    }
    const QString temporary = w.p.shell.browserCalls.last().file;
    owned.reset();
    QVERIFY(!QFileInfo::exists(QFileInfo(temporary).path()));
    QCOMPARE(bytesOf(a), QByteArray("a"));
    QCOMPARE(bytesOf(b), QByteArray("b"));
    QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"a.html", "site"}));
    QCOMPARE(QDir(work.filePath("site")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"b.html"});
    QCOMPARE(w.p.messageBox.shown.size(), 1); // the question of New only
}

void TestBrowserPreview::failures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("browserStarted");
    QTest::addColumn<bool>("copyLeft");
    QTest::newRow("the document's folder is gone") << "no folder" << false << false;
    QTest::newRow("no browser for the file itself") << "no browser, file" << true << false;
    QTest::newRow("no browser for a copy: the copy is kept for removal at the end")
        << "no browser, copy" << true << true;
}

void TestBrowserPreview::failures()
{
    QFETCH(QString, failure);
    QFETCH(bool, browserStarted);
    QFETCH(bool, copyLeft);

    WorkFolder work;
    QVERIFY(work.isValid());
    QVERIFY(QDir(work.path()).mkdir("site"));
    const QString document = work.filePath("site/page.html");
    writeBytes(document, "x");
    Window w;
    w.openFile(document);
    if (failure != u"no browser, file")
        w.p.text.setText("changed");
    if (failure == u"no folder")
        QVERIFY(QDir(work.filePath("site")).removeRecursively());
    w.p.shell.browserResult = !failure.startsWith(u"no browser");

    w.preview.mnuOptionBrowser_Click();

    QCOMPARE(w.p.shell.browserCalls.size(), browserStarted ? 1 : 0);
    QCOMPARE(w.p.messageBox.shown.size(), 1);
    const ShownMessage shown = w.p.messageBox.shown.first();
    QCOMPARE(shown.style, 48);
    if (failure == u"no folder") {
        QVERIFY2(shown.prompt.startsWith(QStringLiteral("表示用のファイル「%1」を書き込めませんでした。")
                                             .arg(work.filePath("site/.page.html.zimo-preview.html"))),
                 qPrintable(shown.prompt));
        QVERIFY(!QFileInfo::exists(work.filePath("site")));
    } else {
        QCOMPARE(shown.prompt, noBrowser);
    }
    QCOMPARE(!w.preview.copyPath().isEmpty(), copyLeft);
    w.preview.removeCopy();
    if (failure != u"no folder")
        QCOMPARE(QDir(work.filePath("site")).entryList(QDir::Files | QDir::Hidden), QStringList{"page.html"});
}

namespace {

const QString notBesideEnd =
    QStringLiteral("一時フォルダに作って表示します。\n\n"
                   "相対パスで指定したリンク、画像、スタイルシートは読み込まれません。");

struct stat lstatOf(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

// In a shared sticky folder (like /tmp) the name of the copy beside the document is taken: by
// another user's link (to the user's file, dangling, to the document), pipe or hard link, by a
// file of the user's, or the name is too long. The copy goes to the private folder, the user is
// told once, and what holds the name is left exactly as it was, at the preview and at the end.
void TestBrowserPreview::nameTakenBeside_data()
{
    QTest::addColumn<QString>("taken");
    QTest::newRow("another user's link to the user's file") << "link";
    QTest::newRow("another user's dangling link into the user's folder") << "dangling";
    QTest::newRow("another user's link to the document") << "link to document";
    QTest::newRow("another user's pipe") << "fifo";
    QTest::newRow("another user's hard link") << "hard link";
    QTest::newRow("a file of the user's") << "own file";
    QTest::newRow("a document name too long for the copy's name") << "long name";
}

void TestBrowserPreview::nameTakenBeside()
{
    QFETCH(QString, taken);
    if (!canRunAsUser())
        QSKIP("the hostile second user needs root to switch users");
    QTemporaryDir dir;
    auto made = [&](const QString &name, mode_t mode, uid_t owner) {
        const QByteArray p = QFile::encodeName(dir.filePath(name));
        ::mkdir(p.constData(), 0700);
        ::chown(p.constData(), owner, owner);
        ::chmod(p.constData(), mode);
        return dir.filePath(name);
    };
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QString shared = made("shared", 01777, 0);
    const QString home = made("home", 0755, zimo::test::editingUser);
    const QString victim = home + "/.bashrc";
    const QString document =
        shared + u'/' + (taken == u"long name" ? QString(245, u'p') : QStringLiteral("page.html"));
    const QString besideName = BrowserPreview::copyBeside(document);
    auto asEditor = [&](const std::function<void()> &work) {
        QVERIFY(runAsUser(editingUser, [&] {
            work();
            return QByteArray();
        }));
    };
    asEditor([&] {
        writeBytes(victim, "the user's own");
        writeBytes(document, "<P>page</P>");
        if (taken == u"own file")
            writeBytes(besideName, "the user's file");
    });
    const QString theirs = shared + "/theirs";
    QVERIFY(runAsUser(otherUser, [&]() -> QByteArray {
        const QByteArray name = QFile::encodeName(besideName);
        if (taken == u"link")
            return QFile::link(victim, besideName) ? "" : "no";
        if (taken == u"dangling")
            return QFile::link(home + "/made-by-preview.html", besideName) ? "" : "no";
        if (taken == u"link to document")
            return QFile::link(document, besideName) ? "" : "no";
        if (taken == u"fifo")
            return ::mkfifo(name.constData(), 0666) == 0 ? "" : "no";
        if (taken == u"hard link") {
            writeBytes(theirs, "theirs");
            ::chmod(QFile::encodeName(theirs).constData(), 0644);
            return ::link(QFile::encodeName(theirs).constData(), name.constData()) == 0 ? "" : "no";
        }
        return "";
    }) == QByteArray());
    const struct stat before = lstatOf(besideName);

    // The preview, twice, then the end of the program; what it saw comes back line by line.
    const auto seen = runAsUser(editingUser, [&] {
        Window w;
        w.openFile(document);
        w.p.text.setText("<P>changed</P>");
        w.preview.mnuOptionBrowser_Click();
        w.p.text.setText("<P>changed again</P>");
        w.preview.mnuOptionBrowser_Click();
        QStringList lines;
        lines << QString::number(w.p.messageBox.shown.size());
        for (const ShownMessage &m : w.p.messageBox.shown)
            lines << m.prompt.section(u'\n', 0, 0).replace(u'\n', u' ') + u'|' +
                         QString::number(m.style);
        for (const FakeShell::BrowserCall &call : w.p.shell.browserCalls)
            lines << call.file + u'|' + QString::fromLatin1(call.bytes.toPercentEncoding());
        const QString folder = QFileInfo(w.preview.copyPath()).path();
        w.preview.removeCopy();
        lines << (QFileInfo::exists(folder) ? "folder left" : "folder removed");
        return lines.join(u'\n').toUtf8();
    });
    QVERIFY(seen);
    const QStringList lines = QString::fromUtf8(*seen).split(u'\n');
    QCOMPARE(lines.size(), 5);
    // Told once, not at the second preview.
    QCOMPARE(lines[0], QStringLiteral("1"));
    QVERIFY2(lines[1].endsWith(u"|48") && lines[1].contains(besideName), qPrintable(lines[1]));
    for (int i : {2, 3}) {
        const QString file = lines[i].section(u'|', 0, 0);
        QVERIFY2(QFileInfo(file).path() != shared, qPrintable(file));
        QCOMPARE(QFileInfo(QFileInfo(file).path()).path(), QDir::tempPath());
    }
    QCOMPARE(lines[2].section(u'|', 1), QStringLiteral("%3CP%3Echanged%3C%2FP%3E%0D%0A"));
    QCOMPARE(lines[3].section(u'|', 1), QStringLiteral("%3CP%3Echanged%20again%3C%2FP%3E%0D%0A"));
    QCOMPARE(lines[4], QStringLiteral("folder removed"));

    // What held the name is as it was; nothing was written through it or created by it.
    const struct stat after = lstatOf(besideName);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(bytesOf(victim), QByteArray("the user's own"));
    QCOMPARE(bytesOf(document), QByteArray("<P>page</P>"));
    QVERIFY(!QFileInfo::exists(home + "/made-by-preview.html"));
    if (taken == u"own file")
        QCOMPARE(bytesOf(besideName), QByteArray("the user's file"));
    if (taken == u"hard link")
        QCOMPARE(bytesOf(theirs), QByteArray("theirs"));
    QStringList names = QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    QStringList expected{QFileInfo(document).fileName()};
    if (taken != u"long name")
        expected << QFileInfo(besideName).fileName();
    if (taken == u"hard link")
        expected << "theirs";
    names.sort();
    expected.sort();
    QCOMPARE(names, expected);
}

// The copy beside the document is replaced by a file of the user's between two previews: it is
// neither rewritten nor removed; the copy goes to the private folder.
void TestBrowserPreview::copyReplacedByTheUserIsLeftAlone()
{
    WorkFolder work;
    QVERIFY(work.isValid());
    const QString document = work.filePath("page.html");
    writeBytes(document, "x");
    Window w;
    w.openFile(document);
    w.p.text.setText("one");
    w.preview.mnuOptionBrowser_Click();
    const QString beside = BrowserPreview::copyBeside(document);
    QCOMPARE(w.preview.copyPath(), beside);
    writeBytes(work.filePath("mine"), "the user's");
    QVERIFY(::rename(QFile::encodeName(work.filePath("mine")).constData(),
                     QFile::encodeName(beside).constData()) == 0);
    w.p.text.setText("two");
    w.preview.mnuOptionBrowser_Click();
    QCOMPARE(bytesOf(beside), QByteArray("the user's"));
    QCOMPARE(w.p.messageBox.shown.size(), 1);
    QVERIFY(w.p.messageBox.shown.first().prompt.endsWith(notBesideEnd));
    const QString copy = w.p.shell.browserCalls.last().file;
    QCOMPARE(bytesOf(copy), QByteArray("two\r\n"));
    QVERIFY(copy != beside);
    w.preview.removeCopy();
    QCOMPARE(bytesOf(beside), QByteArray("the user's"));
    QVERIFY(!QFileInfo::exists(copy));
}

// Files the user saves into the private folder (a page saved there, even under the copy's own
// name) stay, and so does their folder; only the program's copy and empty folders go.
void TestBrowserPreview::userFilesInThePrivateFolderStay()
{
    Window w;
    w.p.text.setText("new page");
    w.preview.mnuOptionBrowser_Click();
    const QString first = w.p.shell.browserCalls.last().file;
    const QString folder = QFileInfo(first).path();
    writeBytes(folder + "/mine.html", "saved by the user");
    // Saved over the copy itself, as Save onto that name would.
    QVERIFY(writeFileAtomically(first, "saved over the copy"));
    w.p.text.setText("again");
    w.preview.mnuOptionBrowser_Click();
    const QString second = w.p.shell.browserCalls.last().file;
    QVERIFY(second != first);
    QCOMPARE(bytesOf(second), QByteArray("again\r\n"));
    QCOMPARE(bytesOf(first), QByteArray("saved over the copy"));
    w.preview.removeCopy();
    QCOMPARE(bytesOf(folder + "/mine.html"), QByteArray("saved by the user"));
    QCOMPARE(bytesOf(first), QByteArray("saved over the copy"));
    QVERIFY(!QFileInfo::exists(QFileInfo(second).path()));
    QCOMPARE(w.p.messageBox.shown.size(), 0);
    QDir(folder).removeRecursively();
}

QTEST_GUILESS_MAIN(TestBrowserPreview)
#include "tst_browserpreview.moc"
