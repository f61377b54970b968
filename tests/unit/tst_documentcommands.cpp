// The File menu and the document state, through the scripted fakes and real files.
#include "document/cp932.h"
#include "document/documentcommands.h"
#include "platform/filenames.h"
#include "platform/files.h"
#include "platform/textloader.h"
#include "support/asuser.h"
#include "support/fakes.h"
#include "support/filebytes.h"
#include "support/tmpfs.h"
#include "support/workfolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

using namespace zimo;
using namespace zimo::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(zimo::Encoding)
Q_DECLARE_METATYPE(zimo::TextEncoding)

namespace {

const QString filter =
    QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|HTML形式(*.html)|*.html|その他(*.*)|*.*");
const ShownMessage askNew{QStringLiteral("今作成中のデータを破棄し、新しいデータを作りますか？"), 52, {}};
const ShownMessage askOpen{QStringLiteral("現在のテキストを破棄してもよろしいですか？"), 49, {}};
const ShownMessage askPrint{QStringLiteral("印刷します。よろしいですか？"), 36,
                            QStringLiteral("印刷します。")};
const ShownMessage askOverwrite{QStringLiteral("上書き保存しますか？"), 33, {}};
const ShownMessage askEnd{QStringLiteral("終了します"), 1, {}};

// The main window's document side, with every service faked.
struct Window
{
    FakePlatform p;
    DocumentCommands doc{p.services};

    void type(const QString &text) { p.text.setText(p.text.text() + text); }
    void answers(const QList<int> &list)
    {
        for (const int a : list)
            p.messageBox.answers.enqueue(a);
    }
    void openFile(const QString &path)
    {
        p.dialog.fileAnswers.enqueue(path);
        doc.mnuFileOpen_Click();
    }
    void saveAs(const QString &path)
    {
        p.dialog.fileAnswers.enqueue(path);
        doc.mnuFileSave_Click();
    }
    // Every file from now on opens over time through a fake loader.
    FakeTextLoader loader{p.text};
    void openOverTime() { doc.setTextLoader(&loader, 0); }
    // Runs the event loop until no open is under way any more (at most 10 s).
    void waitForLoad()
    {
        QElapsedTimer clock;
        clock.start();
        while (doc.isLoading() && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
};

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void openThenSave_data();
    void openThenSave();
    void savedEmptyTextIsLineEnd();
    void saveThroughLinkKeepsLink();
    void dialogsStartWithFilterAndName();
    void cancelledDialogsChangeNothing();
    void failedOpenKeepsDocument_data();
    void failedOpenKeepsDocument();
    void openOverTime_data();
    void openOverTime();
    void saveAsksBeforeReplacing_data();
    void saveAsksBeforeReplacing();
    void saveKeepsBaselineOverwriteSetsIt();
    void overwriteWithoutNameWritesNothing();
    void newCommand_data();
    void newCommand();
    void openQuestion_data();
    void openQuestion();
    void openFromDesktop_data();
    void openFromDesktop();
    void exitAndClose_data();
    void exitAndClose();
    void answerSaveWithoutFileAsksWhere_data();
    void answerSaveWithoutFileAsksWhere();
    void print_data();
    void print();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void failureReasonInJapanese_data();
    void failureReasonInJapanese();
    void fullDiskAtEverySize_data();
    void fullDiskAtEverySize();
    void protectedFileIsNotReplaced_data();
    void protectedFileIsNotReplaced();
    void unencodableCharacters_data();
    void unencodableCharacters();
    void encodingsWrittenBack_data();
    void encodingsWrittenBack();
    void editedLineInPageForm_data();
    void editedLineInPageForm();
    void unencodableInEncoding_data();
    void unencodableInEncoding();
    void reopenIn_data();
    void reopenIn();
    void writeFromNowOn_data();
    void writeFromNowOn();
    void duplicateCellsKeepTheirBytes_data();
    void duplicateCellsKeepTheirBytes();
    void keptBytesFollowEveryWrite();

private:
    std::unique_ptr<zimo::test::WorkFolder> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void TestDocumentCommands::init()
{
    m_dir = std::make_unique<zimo::test::WorkFolder>();
    QVERIFY(m_dir->isValid());
}

void TestDocumentCommands::cleanup()
{
    // Give back write rights taken away by a test so the folder can be removed.
    for (const QString &sub : QDir(m_dir->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QFile::setPermissions(path(sub), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Names that are not UTF-8 are beyond QTemporaryDir.
    removeTree(m_dir->path());
    m_dir.reset();
}

void TestDocumentCommands::openThenSave_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("abc CR LF") << QByteArray("abc\r\n") << QStringLiteral("abc\r\n");
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("double-byte") << QByteArray("\x82\xa0\x8a\xbf\x8e\x9a<BR>\r\n\x83\x65")
                                 << QStringLiteral("あ漢字<BR>\r\nテ");
    QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc\n\r") << QStringLiteral("a\rb\nc\n\r");
    QTest::newRow("half-width kana") << QByteArray("\xb1\xdd") << QStringLiteral("ｱﾝ");
    QTest::newRow("undecodable bytes") << QByteArray("\x80\xa0\xfd\xfe\xff\x81")
                                       << QString::fromUtf16(u"\xDC80\xDCA0\xDCFD\xDCFE\xDCFF\xDC81");
}

// A file read by Open and written by Save gives the text with one more CR LF.
void TestDocumentCommands::openThenSave()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    writeBytes(path("in.txt"), bytes);
    Window w;
    w.type(QStringLiteral("old"));
    w.p.messageBox.answers.enqueue(MsgAnswer::Ok);
    w.openFile(path("in.txt"));
    QCOMPARE(w.p.text.text(), text);
    QCOMPARE(w.doc.file_text(), text);
    QVERIFY(w.p.mnuFileOverwrite.enabled);
    QVERIFY(!w.doc.changed());

    w.saveAs(path("out"));
    QCOMPARE(bytesOf(path("out")), bytes + "\r\n");
    QCOMPARE(bytesOf(path("in.txt")), bytes);
    QCOMPARE(w.p.messageBox.shown, QList<ShownMessage>{askOpen});
    // Reading and writing showed the program busy, and it is not busy any more.
    QVERIFY(w.p.app.busyTimes >= 2);
    QCOMPARE(w.p.app.busyDepth, 0);
}

void TestDocumentCommands::savedEmptyTextIsLineEnd()
{
    Window w;
    writeBytes(path("x.html"), "a much longer earlier file");
    w.answers({MsgAnswer::Yes}); // replace it
    w.saveAs(path("x.html"));
    QCOMPARE(bytesOf(path("x.html")), QByteArray("\r\n"));
    QCOMPARE(w.p.messageBox.shown.size(), 1);
    QCOMPARE(w.p.dialog.fileName, path("x.html"));
}

// Saving over a symbolic link writes the file it points to; the link stays a link.
void TestDocumentCommands::saveThroughLinkKeepsLink()
{
    writeBytes(path("target.txt"), "old");
    QVERIFY(QFile::link(path("target.txt"), path("link.txt")));
    Window w;
    w.type(QStringLiteral("new"));
    w.saveAs(path("link.txt"));
    QVERIFY(QFileInfo(path("link.txt")).isSymLink());
    QCOMPARE(bytesOf(path("target.txt")), QByteArray("new\r\n"));
}

void TestDocumentCommands::dialogsStartWithFilterAndName()
{
    writeBytes(path("a.txt"), "a");
    Window w;
    w.openFile(path("a.txt"));
    w.saveAs(path("b"));
    w.doc.mnuFileOpen_Click(); // cancelled
    QCOMPARE(w.p.dialog.fileAsks.size(), 3);
    const QStringList kinds{"open", "save", "open"};
    const QStringList current{QString(), path("a.txt"), path("b")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(w.p.dialog.fileAsks[i].kind, kinds[i]);
        QCOMPARE(w.p.dialog.fileAsks[i].filter, filter);
        QCOMPARE(w.p.dialog.fileAsks[i].current, current[i]);
    }
}

void TestDocumentCommands::cancelledDialogsChangeNothing()
{
    writeBytes(path("a.txt"), "first");
    Window w;
    w.openFile(path("a.txt"));
    w.type(QStringLiteral(" edited"));
    w.p.messageBox.answers.enqueue(MsgAnswer::Ok); // discard? OK, then the dialog is cancelled
    w.doc.mnuFileOpen_Click();
    w.doc.mnuFileSave_Click();
    QCOMPARE(w.p.dialog.fileAsks.size(), 3);
    QCOMPARE(w.p.text.text(), QStringLiteral("first edited"));
    QCOMPARE(w.doc.file_text(), QStringLiteral("first"));
    QCOMPARE(w.p.dialog.fileName, path("a.txt"));
    QVERIFY(w.p.mnuFileOverwrite.enabled);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"a.txt"});
    QCOMPARE(bytesOf(path("a.txt")), QByteArray("first"));
}

void TestDocumentCommands::failedOpenKeepsDocument_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<bool>("overTime"); // files open through the loader, read on a worker
    QTest::newRow("a name that names nothing") << "missing" << false << false;
    QTest::newRow("a folder") << "folder" << true << false;
    QTest::newRow("a named pipe") << "fifo" << true << false;
    QTest::newRow("a dangling link") << "dangling" << true << false;
    QTest::newRow("mode 000, opened by another user") << "mode 000" << true << false;
    QTest::newRow("over time: a name that names nothing") << "missing" << false << true;
    QTest::newRow("over time: a named pipe") << "fifo" << true << true;
    QTest::newRow("over time: mode 000, opened by another user") << "mode 000" << true << true;
}

// Open A, edit, then Open a file B that cannot be read: the document stays A's in every part, so
// Overwrite writes A and B is left alone. (Before, the file name became B and Ctrl+S wrote A's text
// over B.) A named pipe is refused at once, never waited on.
void TestDocumentCommands::failedOpenKeepsDocument()
{
    QFETCH(QString, kind);
    QFETCH(bool, reported);
    QFETCH(bool, overTime);
    const QString a = path("a.txt");
    const QString b = path("b.txt");
    // A is UTF-8 with its mark: its encoding must stay too.
    writeBytes(a, "\xEF\xBB\xBF" "file A");
    if (kind == "folder") {
        QVERIFY(QDir().mkdir(b));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(b).constData(), 0600), 0);
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(path("nowhere"), b));
    } else if (kind == "mode 000") {
        if (!canRunAsUser())
            QSKIP("needs root to run the open as a user whom the file's mode shuts out");
        writeBytes(b, "B's own text");
        QVERIFY(QFile::setPermissions(b, {}));
        // The editing user reaches the folder and owns A.
        QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0777), 0);
        QCOMPARE(::chown(QFile::encodeName(a).constData(), editingUser, editingUser), 0);
    }

    const auto scenario = [&]() -> QByteArray {
        Window w;
        if (overTime)
            w.openOverTime();
        w.openFile(a);
        w.waitForLoad();
        w.type(QStringLiteral(" edited"));
        w.answers({MsgAnswer::Ok});
        w.openFile(b);
        w.waitForLoad();
        QStringList seen;
        seen << w.p.text.text() << w.doc.file_text() << w.p.dialog.fileName
             << (w.p.mnuFileOverwrite.enabled ? "enabled" : "disabled")
             << encoding::statusText(w.doc.encoding(), w.doc.encodingOrigin())
             << QString::number(w.p.messageBox.shown.size());
        if (w.p.messageBox.shown.size() > 1) {
            const ShownMessage &report = w.p.messageBox.shown[1];
            seen << QString::number(report.style)
                 << (report.prompt.contains(b) ? "names B" : report.prompt);
        }
        w.doc.mnuFileOverwrite_Click();
        return seen.join(u'|').toUtf8();
    };
    const std::optional<QByteArray> seen =
        kind == "mode 000" ? runAsUser(editingUser, scenario) : std::optional(scenario());
    QVERIFY(seen);

    QStringList expected;
    expected << "file A edited" << "file A" << a << "enabled"
             << encoding::statusText({Encoding::Utf8, true}, EncodingOrigin::Recognised)
             << (reported ? "2" : "1");
    if (reported)
        expected << "48" << "names B";
    QCOMPARE(QString::fromUtf8(*seen), expected.join(u'|'));
    QCOMPARE(bytesOf(a), QByteArray("\xEF\xBB\xBF" "file A edited\r\n"));
    // B is exactly as it was.
    const QFileInfo info(b);
    if (kind == "missing")
        QVERIFY(!info.exists() && !info.isSymLink());
    else if (kind == "fifo")
        QVERIFY(!info.isFile() && info.exists());
    else if (kind == "dangling")
        QVERIFY(info.isSymLink() && !QFileInfo::exists(path("nowhere")));
    else if (kind == "mode 000")
        QCOMPARE(bytesOf(b), QByteArray("B's own text"));
}

void TestDocumentCommands::openOverTime_data()
{
    QTest::addColumn<QString>("end"); // "complete", "cancel shown", "cancel reading", "restore"
    QTest::newRow("the page comes in") << "complete";
    QTest::newRow("cancelled while it comes in") << "cancel shown";
    QTest::newRow("cancelled while it is read") << "cancel reading";
    QTest::newRow("the file chosen over a draft") << "restore";
}

// A page opened over time becomes the document, with everything Open gives it, only once it is in;
// until then the document is the one before, nothing else opens, and a cancel leaves it as it was.
void TestDocumentCommands::openOverTime()
{
    QFETCH(QString, end);
    const QString a = path("a.html");
    const QString b = path("b.html");
    writeBytes(a, "<p>A</p>\r\n");
    // UTF-8 with a byte that starts no character, a line that keeps its bytes.
    const QByteArray bBytes = "<p>\xe6\xbc\xa2 B</p>\r\n<p>\xff</p>\n";
    writeBytes(b, bBytes);

    Window w;
    w.openFile(a);
    w.type(QStringLiteral(" edited"));
    w.p.text.select(3, 2);
    w.openOverTime();
    w.loader.atOnce = false;
    int loadingChanges = 0;
    int stateChanges = 0;
    w.doc.onLoadingChanged = [&] { ++loadingChanges; };
    w.doc.onStateChanged = [&] { ++stateChanges; };
    const auto stamp = w.doc.fileStamp();

    if (end == u"restore") {
        // A draft of A whose file changed since: the file as it is now is chosen.
        w.answers({MsgAnswer::No});
        const std::optional<FileStamp> recorded = w.doc.fileStamp();
        writeBytes(a, bBytes);
        QVERIFY(!w.doc.restoreDraft(QStringLiteral("draft"), recorded));
    } else {
        w.answers({MsgAnswer::Ok});
        w.openFile(b);
    }
    QVERIFY(w.doc.isLoading());
    QCOMPARE(loadingChanges, 1);
    const QString opened = end == u"restore" ? a : b;
    QCOMPARE(w.doc.loadingPath(), opened);
    // Nothing else opens meanwhile.
    QVERIFY(!w.doc.openDocument(a, true));

    if (end == u"cancel reading") {
        w.doc.cancelLoad();
    } else {
        QTRY_COMPARE(w.loader.starts, 1);
        QVERIFY(w.doc.isLoading());
        if (end == u"cancel shown")
            w.doc.cancelLoad();
        else
            w.loader.complete();
    }
    QVERIFY(!w.doc.isLoading());
    QCOMPARE(loadingChanges, 2);
    QCOMPARE(w.doc.loadingPath(), QString());
    // The worker's late reports change nothing.
    QTest::qWait(100);

    const bool cancelled = end.startsWith(u"cancel");
    if (cancelled) {
        QCOMPARE(w.p.text.text(), QStringLiteral("<p>A</p>\r\n edited"));
        QCOMPARE(w.p.text.selStart(), 3);
        QCOMPARE(w.p.text.selLength(), 2);
        QCOMPARE(w.doc.file_text(), QStringLiteral("<p>A</p>\r\n"));
        QCOMPARE(w.p.dialog.fileName, a);
        QCOMPARE(w.doc.fileStamp()->hash, stamp->hash);
        QCOMPARE(stateChanges, 0);
    } else {
        QCOMPARE(w.p.text.text(), w.doc.file_text());
        QCOMPARE(w.doc.file_text(), encoding::decodeFile(bBytes).text);
        QCOMPARE(w.p.dialog.fileName, opened);
        QCOMPARE(w.doc.encoding().encoding, encoding::decodeFile(bBytes).recognition.encoding);
        QCOMPARE(w.doc.fileStamp()->hash, stampOf(opened, bBytes).hash);
        QVERIFY(w.p.mnuFileOverwrite.enabled);
        QCOMPARE(stateChanges, 1);
        // Overwrite gives back the bytes (plus its CR LF): the kept lines came with the page.
        w.doc.mnuFileOverwrite_Click();
        QCOMPARE(bytesOf(opened), bBytes + "\r\n");
    }
    QCOMPARE(w.loader.isLoading(), false);
}

void TestDocumentCommands::saveAsksBeforeReplacing_data()
{
    QTest::addColumn<QString>("target"); // what is at the chosen name
    QTest::addColumn<bool>("throughExit"); // the save of "上書き保存しますか？" in a fresh window
    QTest::addColumn<int>("answer");       // to the replace question; 0: none asked
    QTest::addColumn<bool>("sjis");        // the files' names are Shift_JIS bytes, not UTF-8
    QTest::newRow("new name") << "none" << false << 0 << false;
    QTest::newRow("existing file, Yes") << "file" << false << int(MsgAnswer::Yes) << false;
    QTest::newRow("existing file, No") << "file" << false << int(MsgAnswer::No) << false;
    QTest::newRow("link to a file, No") << "link" << false << int(MsgAnswer::No) << false;
    QTest::newRow("the text's own file") << "own" << false << 0 << false;
    QTest::newRow("dangling link, No") << "dangling" << false << int(MsgAnswer::No) << false;
    QTest::newRow("exit's save, existing file, No") << "file" << true << int(MsgAnswer::No) << false;
    QTest::newRow("exit's save, existing file, Yes") << "file" << true << int(MsgAnswer::Yes) << false;
    // Names made on older systems: the very files are asked about and written.
    QTest::newRow("new Shift_JIS name") << "none" << false << 0 << true;
    QTest::newRow("existing file, Shift_JIS name, No") << "file" << false << int(MsgAnswer::No) << true;
    QTest::newRow("existing file, Shift_JIS name, Yes") << "file" << false << int(MsgAnswer::Yes) << true;
    QTest::newRow("the text's own file, Shift_JIS name") << "own" << false << 0 << true;
}

// Save onto an existing name asks first, naming the file; No writes nothing and changes nothing.
// The text's own file (Overwrite's) is written without a question.
void TestDocumentCommands::saveAsksBeforeReplacing()
{
    QFETCH(QString, target);
    QFETCH(bool, throughExit);
    QFETCH(int, answer);
    QFETCH(bool, sjis);
    const QString own = path(sjis ? fileNameFromBytes("\x93\xfa.txt") : QStringLiteral("a.txt"));
    const QString other = path(sjis ? fileNameFromBytes("\x93\xfa\x96\x7b.html") : QStringLiteral("chosen.html"));
    const QString chosen = target == "own" ? own : other;
    if (target == "file") {
        writeBytes(chosen, "theirs");
    } else if (target == "link") {
        writeBytes(path("real.html"), "theirs");
        QVERIFY(QFile::link(path("real.html"), chosen));
    } else if (target == "dangling") {
        QVERIFY(QFile::link(path("nowhere.html"), chosen));
    }
    Window w;
    if (!throughExit) {
        writeBytes(own, "A");
        w.openFile(own);
    }
    w.type(QStringLiteral("typed"));
    const QList<QByteArray> entries = entriesOf(m_dir->path());
    w.p.dialog.fileAnswers.enqueue(chosen);
    if (throughExit) {
        w.answers({MsgAnswer::Ok});
        if (answer)
            w.answers({answer});
        w.answers({MsgAnswer::Cancel});
        w.doc.mnuFileEnd_Click();
    } else {
        if (answer)
            w.answers({answer});
        w.doc.mnuFileSave_Click();
    }
    // A byte that is not UTF-8 is shown as \xNN.
    const QString shown = sjis ? path(QStringLiteral("\\x93\\xFA\\x96{.html")) : chosen;
    const ShownMessage replace{QStringLiteral("ファイル「%1」は既にあります。\n\n置き換えますか？").arg(shown),
                               52, {}};
    QList<ShownMessage> expected;
    if (throughExit)
        expected << askOverwrite;
    if (answer)
        expected << replace;
    if (throughExit)
        expected << askEnd;
    QCOMPARE(w.p.messageBox.shown, expected);

    const bool written = answer != MsgAnswer::No;
    const QString writtenTo = target == "link" ? path("real.html")
                              : target == "dangling" ? path("nowhere.html")
                                                     : chosen;
    const QByteArray before = target == "file" || target == "link" ? "theirs" : "<no file>";
    QCOMPARE(bytesOf(writtenTo), written ? QByteArray(throughExit ? "typed\r\n" : "Atyped\r\n")
                                         : before);
    QCOMPARE(w.p.dialog.fileName,
             written ? chosen : throughExit ? QString() : own);
    // Only a new name adds a file.
    QList<QByteArray> expectedEntries = entries;
    if (target == "none" && written)
        expectedEntries.append(fileNameBytes(QStringView(chosen).sliced(m_dir->path().size() + 1)));
    std::sort(expectedEntries.begin(), expectedEntries.end());
    QCOMPARE(entriesOf(m_dir->path()), expectedEntries);
    QCOMPARE(w.p.mnuFileOverwrite.enabled, written || !throughExit);
    QVERIFY(w.doc.changed() != (written && throughExit));
}

// Save leaves file_text alone, so Exit still asks; Overwrite sets it, so Exit asks only to end.
void TestDocumentCommands::saveKeepsBaselineOverwriteSetsIt()
{
    Window w;
    w.type(QStringLiteral("typed"));
    w.saveAs(path("s.txt"));
    QCOMPARE(bytesOf(path("s.txt")), QByteArray("typed\r\n"));
    QVERIFY(w.p.mnuFileOverwrite.enabled);
    QCOMPARE(w.doc.file_text(), QString());
    w.answers({MsgAnswer::Cancel, MsgAnswer::Cancel});
    w.doc.mnuFileEnd_Click();
    QCOMPARE(w.p.messageBox.shown, (QList<ShownMessage>{askOverwrite, askEnd}));

    w.type(QStringLiteral(" more"));
    w.doc.mnuFileOverwrite_Click();
    QCOMPARE(bytesOf(path("s.txt")), QByteArray("typed more\r\n"));
    QCOMPARE(w.doc.file_text(), QStringLiteral("typed more"));
    w.p.messageBox.shown.clear();
    w.doc.mnuFileEnd_Click();
    QCOMPARE(w.p.messageBox.shown, QList<ShownMessage>{askEnd});
    QCOMPARE(w.p.app.endCount, 1);
}

void TestDocumentCommands::overwriteWithoutNameWritesNothing()
{
    Window w;
    w.type(QStringLiteral("x"));
    w.doc.over_text();
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
    QCOMPARE(w.doc.file_text(), QString());
    QVERIFY(w.p.messageBox.shown.isEmpty());
}

void TestDocumentCommands::newCommand_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("emptied");
    QTest::newRow("unchanged") << false << 0 << true;
    QTest::newRow("changed, No") << true << int(MsgAnswer::No) << false;
    QTest::newRow("changed, Yes") << true << int(MsgAnswer::Yes) << true;
}

void TestDocumentCommands::newCommand()
{
    QFETCH(bool, edit);
    QFETCH(int, answer);
    QFETCH(bool, emptied);
    writeBytes(path("a.txt"), "file");
    Window w;
    w.openFile(path("a.txt"));
    if (edit)
        w.type(QStringLiteral("+"));
    const QString before = w.p.text.text();
    if (answer)
        w.p.messageBox.answers.enqueue(answer);
    w.doc.mnuFileNew_Click();
    QCOMPARE(w.p.messageBox.shown, edit ? QList<ShownMessage>{askNew} : QList<ShownMessage>{});
    QCOMPARE(w.p.text.text(), emptied ? QString() : before);
    QCOMPARE(w.doc.file_text(), emptied ? QString() : QStringLiteral("file"));
    QCOMPARE(w.p.mnuFileOverwrite.enabled, !emptied);
    QCOMPARE(w.p.dialog.fileName, path("a.txt"));
}

void TestDocumentCommands::openQuestion_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("dialogShown");
    QTest::newRow("unchanged") << false << 0 << true;
    QTest::newRow("changed, Cancel") << true << int(MsgAnswer::Cancel) << false;
    QTest::newRow("changed, OK") << true << int(MsgAnswer::Ok) << true;
}

void TestDocumentCommands::openQuestion()
{
    QFETCH(bool, edit);
    QFETCH(int, answer);
    QFETCH(bool, dialogShown);
    writeBytes(path("b.txt"), "B");
    Window w;
    if (edit)
        w.type(QStringLiteral("typed"));
    if (answer)
        w.p.messageBox.answers.enqueue(answer);
    w.openFile(path("b.txt"));
    QCOMPARE(w.p.messageBox.shown, edit ? QList<ShownMessage>{askOpen} : QList<ShownMessage>{});
    QCOMPARE(w.p.dialog.fileAsks.size(), dialogShown ? 1 : 0);
    QCOMPARE(w.p.text.text(), dialogShown ? QStringLiteral("B") : QStringLiteral("typed"));
}

void TestDocumentCommands::openFromDesktop_data()
{
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("name"); // as the system gives it
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unchanged") << false << 0 << QByteArray("page.html") << true << QString();
    QTest::newRow("changed, OK") << true << int(MsgAnswer::Ok) << QByteArray("page.html") << true
                                 << QString();
    QTest::newRow("changed, Cancel") << true << int(MsgAnswer::Cancel) << QByteArray("page.html")
                                     << false << QString();
    QTest::newRow("missing file") << false << 0 << QByteArray("none.html") << false
                                  << QStringLiteral("ファイルがありません。");
    QTest::newRow("changed, missing file") << true << int(MsgAnswer::Ok) << QByteArray("none.html")
                                           << false << QStringLiteral("ファイルがありません。");
    QTest::newRow("a folder") << false << 0 << QByteArray("folder") << false
                              << QStringLiteral("フォルダは開けません。");
    // Names made on older systems: the bytes are not UTF-8, and the very file is read and written.
    QTest::newRow("Shift_JIS name") << false << 0 << QByteArray("\x93\xfa\x96\x7b.html") << true
                                    << QString();
    QTest::newRow("EUC-JP name, changed, OK") << true << int(MsgAnswer::Ok)
                                              << QByteArray("\xc6\xfc\xcb\xdc.html") << true
                                              << QString();
    QTest::newRow("Shift_JIS name, missing") << false << 0 << QByteArray("\x93\xfa.html") << false
                                             << QStringLiteral("ファイルがありません。");
}

// The desktop's open request: Open's question, then the file as the open dialog's choice would
// be opened (whole, any size, file name set). A file that cannot be read is named in a message,
// and nothing of the document changes.
void TestDocumentCommands::openFromDesktop()
{
    QFETCH(bool, edit);
    QFETCH(int, answer);
    QFETCH(QByteArray, name);
    QFETCH(bool, opened);
    QFETCH(QString, reason);
    // Over the 10,000 bytes of load_text, in EUC-JP.
    const QByteArray page = "<html><head><meta charset=\"EUC-JP\"></head><body>\r\n" +
                            QByteArray("\xc6\xfc\xcb\xdc\xb8\xec\r\n").repeated(2000) + "</body></html>";
    for (const char *pageName : {"page.html", "\x93\xfa\x96\x7b.html", "\xc6\xfc\xcb\xdc.html"})
        writeBytes(path(fileNameFromBytes(pageName)), page);
    const QString file = path(fileNameFromBytes(name));
    writeBytes(path("old.txt"), "old");
    QVERIFY(QDir().mkdir(path("folder")));
    Window w;
    w.openFile(path("old.txt"));
    if (edit)
        w.type(QStringLiteral("+typed"));
    const QString before = w.p.text.text();
    if (answer)
        w.p.messageBox.answers.enqueue(answer);
    const QList<QByteArray> entries = entriesOf(m_dir->path());
    w.doc.openFromDesktop(file);

    QList<ShownMessage> expected;
    if (edit)
        expected.append(askOpen);
    if (!reason.isEmpty()) {
        QCOMPARE(w.p.messageBox.shown.size(), expected.size() + 1);
        const ShownMessage report = w.p.messageBox.shown.last();
        QCOMPARE(report.style, 48);
        // The name is shown readably: a byte that is not UTF-8 as \xNN.
        QVERIFY2(report.prompt.contains(QStringLiteral("「%1」").arg(displayFileName(file))) &&
                     report.prompt.contains(reason) && !report.prompt.contains(QChar(0xDC93)),
                 qPrintable(report.prompt));
        w.p.messageBox.shown.removeLast();
    }
    QCOMPARE(w.p.messageBox.shown, expected);
    QVERIFY(w.p.dialog.fileAsks.size() == 1); // only the first Open's
    if (opened) {
        QVERIFY(w.p.text.text().startsWith(u"<html>"));
        QVERIFY(w.p.text.text().contains(u"日本語\r\n日本語"));
        QCOMPARE(w.doc.file_text(), w.p.text.text());
        QCOMPARE(w.p.dialog.fileName, file);
        QCOMPARE(w.doc.encoding().encoding, Encoding::EucJp);
        QVERIFY(!w.doc.changed());
        // Overwrite gives back the page's bytes, plus the final CR LF of every write, to the
        // file it was read from: no file of another name appears.
        w.doc.mnuFileOverwrite_Click();
        QCOMPARE(w.p.messageBox.shown, expected);
        QCOMPARE(bytesOf(file), page + "\r\n");
        QCOMPARE(entriesOf(m_dir->path()), entries);
    } else {
        QCOMPARE(w.p.text.text(), before);
        QCOMPARE(w.doc.file_text(), QStringLiteral("old"));
        QCOMPARE(w.p.dialog.fileName, path("old.txt"));
        QCOMPARE(w.doc.encoding().encoding, Encoding::Cp932);
    }
    QVERIFY(w.p.mnuFileOverwrite.enabled);
}

void TestDocumentCommands::exitAndClose_data()
{
    QTest::addColumn<bool>("close");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QList<ShownMessage>>("asked");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("ends");
    const int ok = MsgAnswer::Ok, cancel = MsgAnswer::Cancel;
    for (const bool close : {false, true}) {
        const char *how = close ? "close: " : "exit: ";
        auto row = [&](const char *name) -> QTestData & {
            return QTest::addRow("%s%s", how, name) << close;
        };
        row("unchanged, OK") << false << QList<int>{ok} << QList<ShownMessage>{askEnd} << false
                             << true;
        row("unchanged, Cancel") << false << QList<int>{cancel} << QList<ShownMessage>{askEnd}
                                 << false << false;
        row("changed, OK OK") << true << QList<int>{ok, ok}
                              << QList<ShownMessage>{askOverwrite, askEnd} << true << true;
        row("changed, Cancel OK") << true << QList<int>{cancel, ok}
                                  << QList<ShownMessage>{askOverwrite, askEnd} << false << true;
        row("changed, OK Cancel") << true << QList<int>{ok, cancel}
                                  << QList<ShownMessage>{askOverwrite, askEnd} << true << false;
    }
}

void TestDocumentCommands::exitAndClose()
{
    QFETCH(bool, close);
    QFETCH(bool, edit);
    QFETCH(QList<int>, answers);
    QFETCH(QList<ShownMessage>, asked);
    QFETCH(bool, written);
    QFETCH(bool, ends);
    writeBytes(path("doc.txt"), "v1");
    Window w;
    w.openFile(path("doc.txt"));
    if (edit)
        w.type(QStringLiteral(" v2"));
    w.answers(answers);
    bool cancel = !ends; // the handler must set it either way
    if (close)
        w.doc.Form_Unload(cancel);
    else
        w.doc.mnuFileEnd_Click();
    QCOMPARE(w.p.messageBox.shown, asked);
    QCOMPARE(bytesOf(path("doc.txt")), written ? QByteArray("v1 v2\r\n") : QByteArray("v1"));
    QCOMPARE(w.p.app.endCount, ends ? 1 : 0);
    if (close)
        QCOMPARE(cancel, !ends);
    QCOMPARE(w.p.text.text(), edit ? QStringLiteral("v1 v2") : QStringLiteral("v1"));
    QCOMPARE(w.p.dialog.fileAsks.size(), 1); // only the Open: the current file is used
}

void TestDocumentCommands::answerSaveWithoutFileAsksWhere_data()
{
    QTest::addColumn<bool>("afterNew");
    QTest::addColumn<bool>("chooseFile");
    QTest::newRow("fresh window, file chosen") << false << true;
    QTest::newRow("fresh window, dialog cancelled") << false << false;
    QTest::newRow("after New, file chosen") << true << true;
    QTest::newRow("after New, dialog cancelled") << true << false;
}

// "上書き保存しますか？" answered OK with no file of the text's own: the save dialog asks where.
void TestDocumentCommands::answerSaveWithoutFileAsksWhere()
{
    QFETCH(bool, afterNew);
    QFETCH(bool, chooseFile);
    writeBytes(path("earlier.txt"), "earlier");
    Window w;
    if (afterNew) {
        w.openFile(path("earlier.txt"));
        w.doc.mnuFileNew_Click();
    }
    w.type(QStringLiteral("new text"));
    const qsizetype asksBefore = w.p.dialog.fileAsks.size();
    if (chooseFile)
        w.p.dialog.fileAnswers.enqueue(path("chosen.txt"));
    w.answers({MsgAnswer::Ok, MsgAnswer::Cancel});
    w.doc.mnuFileEnd_Click();
    QCOMPARE(w.p.messageBox.shown, (QList<ShownMessage>{askOverwrite, askEnd}));
    QCOMPARE(w.p.dialog.fileAsks.size(), asksBefore + 1);
    QCOMPARE(w.p.dialog.fileAsks.last().kind, QStringLiteral("save"));
    // After New the earlier document's folder is offered, never its name.
    QCOMPARE(w.p.dialog.fileAsks.last().current, afterNew ? m_dir->path() + u'/' : QString());
    QCOMPARE(bytesOf(path("earlier.txt")), QByteArray("earlier"));
    QCOMPARE(bytesOf(path("chosen.txt")),
             chooseFile ? QByteArray("new text\r\n") : QByteArray("<no file>"));
    QCOMPARE(w.p.mnuFileOverwrite.enabled, chooseFile);
    QCOMPARE(w.doc.changed(), !chooseFile);
    QCOMPARE(w.p.app.endCount, 0);
}

void TestDocumentCommands::print_data()
{
    QTest::addColumn<bool>("printerConfirmed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("printed");
    QTest::newRow("confirmed, Yes") << true << int(MsgAnswer::Yes) << QString() << true;
    QTest::newRow("dialog cancelled, Yes") << false << int(MsgAnswer::Yes) << QString() << true;
    QTest::newRow("confirmed, No") << true << int(MsgAnswer::No) << QString() << false;
    QTest::newRow("no printer") << true << int(MsgAnswer::Yes) << QStringLiteral("no printer")
                                << false;
}

void TestDocumentCommands::print()
{
    QFETCH(bool, printerConfirmed);
    QFETCH(int, answer);
    QFETCH(QString, failure);
    QFETCH(bool, printed);
    Window w;
    w.type(QStringLiteral("line 1\r\nline 2"));
    w.p.dialog.printerAnswers.enqueue(printerConfirmed);
    w.p.messageBox.answers.enqueue(answer);
    w.p.printer.failure = failure;
    w.doc.mnuFilePrint_Click();
    QCOMPARE(w.p.dialog.printerAsks, 1);
    QCOMPARE(w.p.messageBox.shown.first(), askPrint);
    QCOMPARE(w.p.printer.printed,
             printed ? QStringList{QStringLiteral("line 1\r\nline 2\r\n")} : QStringList());
    QCOMPARE(w.p.messageBox.shown.size(), failure.isEmpty() ? 1 : 2);
    if (!failure.isEmpty()) {
        QCOMPARE(w.p.messageBox.shown[1].style, 48);
        QVERIFY(w.p.messageBox.shown[1].prompt.contains(failure));
    }
}

void TestDocumentCommands::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("overwrite");
    for (const bool overwrite : {true, false}) {
        const char *how = overwrite ? "Overwrite" : "Save";
        // (A writable file in a read-only folder is written in place: tst_files.)
        QTest::addRow("%s, a read-only file in a read-only folder", how) << "read-only folder" << overwrite;
        QTest::addRow("%s onto a read-only mount", how) << "read-only mount" << overwrite;
        QTest::addRow("%s onto a full file system", how) << "full" << overwrite;
    }
}

void TestDocumentCommands::failedWriteKeepsOldFile()
{
    QFETCH(QString, where);
    QFETCH(bool, overwrite);
    const QString folder = path("place");
    QVERIFY(QDir().mkdir(folder));
    std::unique_ptr<TmpfsMount> mount;
    if (where != "read-only folder") {
        mount = std::make_unique<TmpfsMount>(folder);
        if (!mount->mounted())
            QSKIP("mounting a small file system needs root");
    }
    const QString file = folder + "/doc.txt";
    writeBytes(file, "old bytes\r\n");

    Window w;
    w.openFile(file);
    // Larger than the 64 KiB file system when it must fill it; a few bytes otherwise.
    w.type(where == "full" ? QString(100000, u'x') : QStringLiteral(" new"));

    if (where == "read-only folder") {
        QFile::setPermissions(file, QFileDevice::ReadOwner);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
            QSKIP("running with rights that ignore folder permissions");
    } else if (where == "read-only mount") {
        QVERIFY(mount->makeReadOnly());
    }

    if (overwrite)
        w.doc.mnuFileOverwrite_Click();
    else
        w.saveAs(file);
    QCOMPARE(bytesOf(file), QByteArray("old bytes\r\n"));
    QCOMPARE(w.p.messageBox.shown.size(), 1);
    const ShownMessage report = w.p.messageBox.shown.first();
    QCOMPARE(report.style, 48);
    QVERIFY2(report.prompt.contains(file) && report.prompt.contains(QStringLiteral("保存できません")),
             qPrintable(report.prompt));
    if (where == "read-only mount")
        QVERIFY2(report.prompt.contains(QStringLiteral("読み取り専用の場所です。")), qPrintable(report.prompt));
    QCOMPARE(w.doc.file_text(), QStringLiteral("old bytes\r\n"));
    QVERIFY(w.doc.changed());
    QVERIFY(w.p.mnuFileOverwrite.enabled);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"doc.txt"});
}

// The reason of a failed write is told in Japanese, and an old file is said to be kept only when
// there was one.
void TestDocumentCommands::failureReasonInJapanese_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("oldFile");
    QTest::newRow("missing folder") << "missing/new.txt" << "フォルダ「%1/missing」がありません。" << false;
    QTest::newRow("a file in the path") << "plain.txt/new.txt"
                                        << "パスの途中にフォルダではない項目があります。" << false;
    QTest::newRow("a folder of the name") << "folder" << "同じ名前のフォルダがあります。" << true;
    QTest::newRow("name too long") << QString(300, u'n') << "ファイル名が長すぎます。" << false;
}

void TestDocumentCommands::failureReasonInJapanese()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QFETCH(bool, oldFile);
    writeBytes(path("plain.txt"), "plain");
    QVERIFY(QDir().mkdir(path("folder")));
    Window w;
    w.type(QStringLiteral("text"));
    w.saveAs(path(target));
    QCOMPARE(w.p.messageBox.shown.size(), 1);
    const QString prompt = w.p.messageBox.shown.first().prompt;
    QVERIFY2(prompt.contains(reason.arg(m_dir->path())), qPrintable(prompt));
    QCOMPARE(prompt.contains(QStringLiteral("元のファイル")), oldFile);
    QCOMPARE(bytesOf(path("plain.txt")), QByteArray("plain"));
}

// A full or nearly full disk at the sizes around the write buffers: a write either lands whole or
// is reported and leaves the old file byte for byte. (Buffered writes once hid the failure of every
// document under 16 KiB: the old file was emptied and the save counted as done.)
void TestDocumentCommands::fullDiskAtEverySize_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<qint64>("leaveFree");
    QTest::addColumn<int>("size");
    // A file with a second hard link is written in place: its new length is reserved before the
    // first byte is written. The sizes around 4096 and 12288 fill the file's own page and the
    // free pages to the last byte.
    QTest::addColumn<bool>("inPlace");
    for (const bool inPlace : {false, true})
        for (const char *how : {"Overwrite", "Save", "save on exit"})
            for (const qint64 leaveFree : {qint64(0), qint64(8192)})
                for (const int size : {1, 70, 4094, 4095, 5000, 12286, 12287, 16383, 16385, 1 << 20})
                    QTest::addRow("%s%s, %lld bytes free, %d bytes", inPlace ? "in place, " : "",
                                  how, leaveFree, size)
                        << QString::fromLatin1(how) << leaveFree << size << inPlace;
}

void TestDocumentCommands::fullDiskAtEverySize()
{
    QFETCH(QString, how);
    QFETCH(qint64, leaveFree);
    QFETCH(int, size);
    QFETCH(bool, inPlace);
    const QString folder = path("disk");
    QVERIFY(QDir().mkdir(folder));
    TmpfsMount mount(folder, "size=256k");
    if (!mount.mounted())
        QSKIP("mounting a small file system needs root");
    const QString file = folder + "/doc.txt";
    const QString link = folder + "/link.txt";
    const QByteArray old = "old bytes\r\n";
    writeBytes(file, old);
    if (inPlace)
        QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()), 0);
    QVERIFY(mount.fill(leaveFree));

    Window w;
    w.openFile(file);
    const QString text(size, u'x');
    w.p.text.setText(text);
    if (how == "Overwrite") {
        w.doc.mnuFileOverwrite_Click();
    } else if (how == "Save") {
        w.saveAs(file);
    } else {
        w.answers({MsgAnswer::Ok, MsgAnswer::Cancel});
        w.doc.mnuFileEnd_Click();
    }

    // The text and its CR LF fit in the free pages (in place: with the file's own page), or the
    // write must fail.
    const qint64 page = 4096;
    const bool fits = inPlace ? (size + 2 + page - 1) / page <= 1 + leaveFree / page
                              : size + 2 <= leaveFree;
    const QList<ShownMessage> &shown = w.p.messageBox.shown;
    const qsizetype questions = how == "save on exit" ? 2 : 0;
    if (fits) {
        QCOMPARE(bytesOf(file), text.toLatin1() + "\r\n");
        QCOMPARE(shown.size(), questions);
    } else {
        QCOMPARE(bytesOf(file), old);
        QCOMPARE(shown.size(), questions + 1);
        const ShownMessage report = how == "save on exit" ? shown[1] : shown[0];
        QCOMPARE(report.style, 48);
        QVERIFY(!report.whileBusy);
        QVERIFY2(report.prompt.contains(QStringLiteral("ディスクの空き容量が足りません。")) &&
                     report.prompt.contains(QStringLiteral("元のファイルはそのまま残っています。")),
                 qPrintable(report.prompt));
        QVERIFY(w.doc.changed());
    }
    QCOMPARE(w.doc.file_text() == text, fits && how != "Save");
    if (inPlace)
        QCOMPARE(bytesOf(link), bytesOf(file));
    // No temporary file is left behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             inPlace ? QStringList({".filler", "doc.txt", "link.txt"})
                     : QStringList({".filler", "doc.txt"}));
}

// A file the user may not write (mode 0444 in a folder the user may write) is not replaced by
// any of the saves, as an ordinary user: the failure names the reason.
void TestDocumentCommands::protectedFileIsNotReplaced_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Overwrite") << "Overwrite";
    QTest::newRow("Save onto it") << "Save";
    QTest::newRow("the save of the exit question") << "save on exit";
}

void TestDocumentCommands::protectedFileIsNotReplaced()
{
    QFETCH(QString, how);
    if (!canRunAsUser())
        QSKIP("tests about rights need root to switch to an ordinary user");
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QString folder = dir.filePath("mine");
    QVERIFY(QDir().mkdir(folder));
    QCOMPARE(::chown(QFile::encodeName(folder).constData(), editingUser, editingUser), 0);
    const QString file = folder + "/doc.txt";
    const QByteArray old = "old bytes\r\n";
    writeBytes(file, old);
    QCOMPARE(::chown(QFile::encodeName(file).constData(), editingUser, editingUser), 0);
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0444), 0);

    const auto report = runAsUser(editingUser, [&] {
        Window w;
        w.openFile(file);
        w.type(QStringLiteral("new"));
        if (how == "Overwrite") {
            w.doc.mnuFileOverwrite_Click();
        } else if (how == "Save") {
            w.saveAs(file);
        } else {
            w.answers({MsgAnswer::Ok, MsgAnswer::Cancel});
            w.doc.mnuFileEnd_Click();
        }
        QStringList seen;
        for (const ShownMessage &m : w.p.messageBox.shown)
            seen << m.prompt + u'|' + QString::number(m.style);
        seen << (w.doc.changed() ? "changed" : "saved");
        return seen.join(u'#').toUtf8();
    });
    QVERIFY(report);
    QStringList seen = QString::fromUtf8(*report).split(u'#');
    QCOMPARE(seen.takeLast(), QStringLiteral("changed"));
    if (how == "save on exit")
        QCOMPARE(seen.size(), 3);
    else
        QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[how == "save on exit" ? 1 : 0],
             QStringLiteral("ファイル「%1」に保存できませんでした。\n\nファイルが読み取り専用です。"
                            "\n\n元のファイルはそのまま残っています。|48")
                 .arg(file));
    QCOMPARE(bytesOf(file), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"doc.txt"});
}

void TestDocumentCommands::unencodableCharacters_data()
{
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<int>("answer");
    QTest::newRow("Overwrite, OK") << true << int(MsgAnswer::Ok);
    QTest::newRow("Overwrite, Cancel") << true << int(MsgAnswer::Cancel);
    QTest::newRow("Save, OK") << false << int(MsgAnswer::Ok);
    QTest::newRow("Save, Cancel") << false << int(MsgAnswer::Cancel);
}

void TestDocumentCommands::unencodableCharacters()
{
    QFETCH(bool, overwrite);
    QFETCH(int, answer);
    writeBytes(path("u.txt"), "old");
    Window w;
    w.openFile(path("u.txt"));
    const QString text = QStringLiteral("<P>\r\ncafé 😀 日本\r\n");
    w.p.text.setText(text);
    w.p.messageBox.answers.enqueue(answer);
    if (overwrite)
        w.doc.mnuFileOverwrite_Click();
    else
        w.saveAs(path("u.txt"));

    QCOMPARE(w.p.messageBox.shown.size(), 1);
    const ShownMessage question = w.p.messageBox.shown.first();
    QCOMPARE(question.style, 49);
    for (const QString &part : {QStringLiteral("「é」"), QStringLiteral("U+00E9"),
                                QStringLiteral("2 行目"), QStringLiteral("4 文字目"),
                                QStringLiteral("2 個"), QStringLiteral("&#xE9;")})
        QVERIFY2(question.prompt.contains(part), qPrintable(part + u'\n' + question.prompt));
    if (answer == MsgAnswer::Ok) {
        QCOMPARE(bytesOf(path("u.txt")),
                 QByteArray("<P>\r\ncaf&#xE9; &#x1F600; \x93\xfa\x96\x7b\r\n\r\n"));
    } else {
        QCOMPARE(bytesOf(path("u.txt")), QByteArray("old"));
    }
    QCOMPARE(w.doc.file_text(),
             overwrite && answer == MsgAnswer::Ok ? text : QStringLiteral("old"));
}

void TestDocumentCommands::encodingsWrittenBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("lineEnd");
    const QByteArray crlf("\r\n");
    const QByteArray crlf16le("\r\0\n\0", 4);
    const QByteArray crlf16be("\0\r\0\n", 4);
    QTest::newRow("Shift_JIS") << QByteArray("\x93\xfa\x96\x7b") << QStringLiteral("日本")
                               << QStringLiteral("Shift_JIS（既定）") << crlf;
    QTest::newRow("UTF-8 declared") << QByteArray("<meta charset=utf-8>\xe6\x97\xa5")
                                    << QStringLiteral("<meta charset=utf-8>日")
                                    << QStringLiteral("UTF-8") << crlf;
    QTest::newRow("UTF-8 with its mark and a bad byte")
        << QByteArray("\xef\xbb\xbf\xe6\x97\xa5\xff\r\n") << QStringLiteral("日") + QChar(0xDCFF) + QStringLiteral("\r\n")
        << QStringLiteral("UTF-8（BOM付き）") << crlf;
    QTest::newRow("EUC-JP") << QByteArray("\xc6\xfc\xcb\xdc\xb8\xec\r\n")
                            << QStringLiteral("日本語\r\n") << QStringLiteral("EUC-JP") << crlf;
    QTest::newRow("ISO-2022-JP") << QByteArray("\x1b$BF|K\\\x1b(B\r\n")
                                 << QStringLiteral("日本\r\n") << QStringLiteral("ISO-2022-JP") << crlf;
    QTest::newRow("UTF-16LE") << QByteArray("\xff\xfe\xe5\x65\r\0\n\0", 8)
                              << QStringLiteral("日\r\n") << QStringLiteral("UTF-16LE（BOM付き）")
                              << crlf16le;
    QTest::newRow("UTF-16BE") << QByteArray("\xfe\xff\x65\xe5", 4) << QStringLiteral("日")
                              << QStringLiteral("UTF-16BE（BOM付き）") << crlf16be;
    QTest::newRow("UTF-16LE, odd length") << QByteArray("\xff\xfe\xe5\x65\xc1", 5)
                                          << QStringLiteral("日") + QChar(0xDCC1)
                                          << QStringLiteral("UTF-16LE（BOM付き）") << crlf16le;
    QTest::newRow("UTF-16LE without a mark") << QByteArray("\xe5\x65\r\0\n\0a\0", 8)
                                             << QStringLiteral("日\r\na") << QStringLiteral("UTF-16LE")
                                             << crlf16le;
    QTest::newRow("EUC-JP with ① and an IBM kanji as Windows writes them")
        << QByteArray("\xad\xa1\xc6\xfc\r\n\xf9\xa1\xed\xe3\r\n")
        << QStringLiteral("①日\r\n纊\u8F9C\r\n") << QStringLiteral("EUC-JP") << crlf;
    QTest::newRow("EUC-JP with an IBM kanji as eucJP-ms writes it")
        << QByteArray("\x8f\xf3\xf3\xa4\xc8\x8f\xd4\xe3\r\n") << QStringLiteral("ⅰと纊\r\n")
        << QStringLiteral("EUC-JP") << crlf;
    QTest::newRow("ISO-2022-JP as older software and Windows write it")
        << QByteArray("\x1b$@F|\x1b(J\\\r\n\x1b(I1\x1b(B\x0e" "2\x0f\r\n\x1b$B-!\x1b(B\r\n")
        << QStringLiteral("日¥\r\nｱｲ\r\n①\r\n") << QStringLiteral("ISO-2022-JP") << crlf;
}

void TestDocumentCommands::editedLineInPageForm_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<bool>("reopened"); // in its own encoding, from the menu, before typing
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString typed;
        QByteArray written;
    } pages[] = {
        {"EUC-JP, Windows' rows F9..FC", QByteArray("\xf9\xa1\r\n"), QStringLiteral("ⅰ纊①"),
         QByteArray("\xf9\xa1\r\n\xfc\xf1\xf9\xa1\xad\xa1\r\n")},
        {"EUC-JP, eucJP-ms after 8F", QByteArray("\x8f\xf3\xf3\r\n"), QStringLiteral("ⅰ纊①"),
         QByteArray("\x8f\xf3\xf3\r\n\x8f\xf3\xf3\x8f\xd4\xe3\xad\xa1\r\n")},
        {"ISO-2022-JP with older escapes, standard ones in the new line",
         QByteArray("\x1b$@F|\x1b(J\\\r\n"), QStringLiteral("日ｱ①"),
         QByteArray("\x1b$@F|\x1b(J\\\r\n\x1b$BF|\x1b(B\x1b(I1\x1b(B\x1b$B-!\x1b(B\r\n")},
    };
    for (const auto &page : pages)
        for (const bool reopened : {false, true})
            QTest::addRow("%s%s", page.name, reopened ? ", reopened" : "")
                << page.bytes << page.typed << page.written << reopened;
}

// A line typed into a page is written in the form the page uses; untouched lines keep their bytes.
void TestDocumentCommands::editedLineInPageForm()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, typed);
    QFETCH(QByteArray, written);
    QFETCH(bool, reopened);
    writeBytes(path("page.html"), bytes);
    Window w;
    w.openFile(path("page.html"));
    if (reopened)
        w.doc.reopenIn(w.doc.encoding().encoding);
    w.type(typed);
    w.doc.mnuFileOverwrite_Click();
    QVERIFY(w.p.messageBox.shown.isEmpty());
    QCOMPARE(bytesOf(path("page.html")).toHex(), (written).toHex());
}

// A page opens in its own encoding and Overwrite and Save write it back byte for byte, then the
// final CR LF in that encoding; New goes back to code page 932.
void TestDocumentCommands::encodingsWrittenBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, status);
    QFETCH(QByteArray, lineEnd);
    writeBytes(path("page.html"), bytes);
    Window w;
    int told = 0;
    w.doc.setEncodingListener([&] { ++told; });
    w.openFile(path("page.html"));
    QCOMPARE(w.p.text.text(), text);
    QCOMPARE(encoding::statusText(w.doc.encoding(), w.doc.encodingOrigin()), status);
    QCOMPARE(told, 1);

    w.doc.mnuFileOverwrite_Click();
    QCOMPARE(bytesOf(path("page.html")), bytes + lineEnd);
    w.saveAs(path("copy.html"));
    QCOMPARE(bytesOf(path("copy.html")), bytes + lineEnd);
    QVERIFY(w.p.messageBox.shown.isEmpty());

    w.doc.mnuFileNew_Click();
    QCOMPARE(w.doc.encoding(), TextEncoding{});
    QCOMPARE(w.doc.encodingOrigin(), EncodingOrigin::Default);
    w.type(QStringLiteral("日"));
    w.saveAs(path("new.html"));
    QCOMPARE(bytesOf(path("new.html")), QByteArray("\x93\xfa\r\n"));
}

void TestDocumentCommands::unencodableInEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("EUC-JP, emoji") << QByteArray("\xa4\xa2\xa4\xa4") << QStringLiteral("😀")
                                   << QStringLiteral("EUC-JP で")
                                   << QByteArray("\xa4\xa2\xa4\xa4&#x1F600;\r\n");
    QTest::newRow("ISO-2022-JP, emoji after kanji")
        << QByteArray("\x1b$BF|\x1b(B") << QStringLiteral("日😀")
        << QStringLiteral("ISO-2022-JP（JIS）で")
        << QByteArray("\x1b$BF|F|\x1b(B&#x1F600;\r\n");
    QTest::newRow("UTF-8, lone surrogate")
        << QByteArray("\xe6\x97\xa5") << QString(QChar(0xD800)) << QStringLiteral("UTF-8 で")
        << QByteArray("\xe6\x97\xa5&#xD800;\r\n");
}

// A character the document's encoding cannot hold gets the question, naming that encoding, and
// OK writes it as a character reference in that encoding.
void TestDocumentCommands::unencodableInEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, typed);
    QFETCH(QString, named);
    QFETCH(QByteArray, written);
    writeBytes(path("page.html"), bytes);
    Window w;
    w.openFile(path("page.html"));
    w.type(typed);
    w.answers({MsgAnswer::Ok});
    w.doc.mnuFileOverwrite_Click();
    QCOMPARE(w.p.messageBox.shown.size(), 1);
    const ShownMessage question = w.p.messageBox.shown.first();
    QCOMPARE(question.style, 49);
    QVERIFY2(question.prompt.startsWith(QStringLiteral("この文書には、") + named),
             qPrintable(question.prompt));
    QCOMPARE(bytesOf(path("page.html")), written);
}

void TestDocumentCommands::reopenIn_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<Encoding>("chosen");
    QTest::addColumn<QString>("text");     // after the command
    QTest::addColumn<int>("questions");    // boxes shown
    using E = Encoding;
    const QByteArray euc("\xa4\xa2"); // one kana: read as code page 932 by default
    QTest::newRow("EUC-JP read as Shift_JIS, reopened") << euc << false << QList<int>{} << E::EucJp
                                                        << QStringLiteral("あ") << 0;
    QTest::newRow("edited, OK to the question") << euc << true << QList<int>{MsgAnswer::Ok}
                                                << E::EucJp << QStringLiteral("あ") << 1;
    QTest::newRow("edited, Cancel keeps the text")
        << euc << true << QList<int>{MsgAnswer::Cancel} << E::EucJp << QStringLiteral("､｢!") << 1;
    QTest::newRow("UTF-16LE keeps its mark") << QByteArray("\xff\xfe\x41\x00", 4) << false
                                             << QList<int>{} << E::Utf16LE << QStringLiteral("A") << 0;
    // EUC-JP kanji such as EE A4 are duplicate cells read as code page 932: the lines keep
    // their bytes all the same.
    const QByteArray eucKanji("\xc6\xfc\xcb\xdc\xee\xa4\xee\xa5\r\n\xa4\xa2");
    QTest::newRow("EUC-JP page reopened as Shift_JIS comes back byte for byte")
        << eucKanji << false << QList<int>{} << E::Cp932 << cp932::decode(eucKanji) << 0;
    QTest::newRow("as ISO-2022-JP that would not come back: refused")
        << QByteArray("\x1b$BF|") << false << QList<int>{} << E::Iso2022Jp
        << QStringLiteral("\x1b$BF|") << 1;
}

// Reopening reads the file again in the chosen encoding; writing it back gives the same bytes.
void TestDocumentCommands::reopenIn()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, edited);
    QFETCH(QList<int>, answers);
    QFETCH(Encoding, chosen);
    QFETCH(QString, text);
    QFETCH(int, questions);
    writeBytes(path("page.txt"), bytes);
    Window w;
    QVERIFY(!w.doc.canReopen());
    w.doc.reopenIn(chosen); // no file yet: nothing
    QVERIFY(w.p.messageBox.shown.isEmpty());
    w.openFile(path("page.txt"));
    QVERIFY(w.doc.canReopen());
    const TextEncoding before = w.doc.encoding();
    if (edited)
        w.type(QStringLiteral("!"));
    w.answers(answers);
    w.doc.reopenIn(chosen);
    QCOMPARE(w.p.text.text(), text);
    QCOMPARE(w.p.messageBox.shown.size(), questions);
    const bool done = w.doc.encodingOrigin() == EncodingOrigin::Chosen;
    QCOMPARE(done, w.doc.encoding().encoding == chosen);
    if (!done) {
        QCOMPARE(w.doc.encoding(), before);
        return;
    }
    QCOMPARE(w.doc.file_text(), text);
    QVERIFY(!w.doc.changed());
    w.doc.mnuFileOverwrite_Click();
    QCOMPARE(bytesOf(path("page.txt")).left(bytes.size()), bytes);
}

void TestDocumentCommands::writeFromNowOn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextEncoding>("chosen");
    QTest::addColumn<int>("answer"); // -1: no question
    QTest::addColumn<QByteArray>("written");
    const TextEncoding utf8{Encoding::Utf8, false};
    const TextEncoding utf8Bom{Encoding::Utf8, true};
    QByteArray utf16be;
    for (const char c : QByteArray("<meta charset=utf-16>\r\n"))
        utf16be += QByteArray(1, '\0') + c;
    QTest::newRow("no declaration: no question") << QStringLiteral("日") << utf8 << -1
                                                 << QByteArray("\xe6\x97\xa5\r\n");
    QTest::newRow("UTF-8 mark, declared UTF-8") << QStringLiteral("<meta charset=UTF-8>") << utf8Bom
                                                << -1
                                                << QByteArray("\xef\xbb\xbf<meta charset=UTF-8>\r\n");
    QTest::newRow("declared Shift_JIS, OK") << QStringLiteral("<meta charset=Shift_JIS>日") << utf8
                                            << int(MsgAnswer::Ok)
                                            << QByteArray("<meta charset=Shift_JIS>\xe6\x97\xa5\r\n");
    QTest::newRow("declared Shift_JIS, Cancel") << QStringLiteral("<meta charset=Shift_JIS>日") << utf8
                                                << int(MsgAnswer::Cancel)
                                                << QByteArray("<meta charset=Shift_JIS>\x93\xfa\r\n");
    QTest::newRow("declared utf-16 for UTF-16BE") << QStringLiteral("<meta charset=utf-16>")
                                                  << TextEncoding{Encoding::Utf16BE, true} << -1
                                                  << QByteArray("\xfe\xff", 2) + utf16be;
    QTest::newRow("unknown name") << QStringLiteral("<meta charset=koi8-r>") << utf8
                                  << int(MsgAnswer::Ok) << QByteArray("<meta charset=koi8-r>\r\n");
}

// Choosing the encoding to write in: a warning when the page declares another one.
void TestDocumentCommands::writeFromNowOn()
{
    QFETCH(QString, text);
    QFETCH(TextEncoding, chosen);
    QFETCH(int, answer);
    QFETCH(QByteArray, written);
    Window w;
    w.type(text);
    if (answer >= 0)
        w.answers({answer});
    w.doc.writeFromNowOn(chosen);
    QCOMPARE(w.p.messageBox.shown.size(), answer >= 0 ? 1 : 0);
    if (answer >= 0) {
        const ShownMessage warning = w.p.messageBox.shown.first();
        QCOMPARE(warning.style, 49);
        QVERIFY2(warning.prompt.contains(QStringLiteral("charset=")) &&
                     warning.prompt.contains(encoding::statusText(chosen, EncodingOrigin::Recognised)),
                 qPrintable(warning.prompt));
    }
    const bool switched = answer != int(MsgAnswer::Cancel);
    QCOMPARE(w.doc.encoding(), switched ? chosen : TextEncoding{});
    QCOMPARE(w.doc.encodingOrigin(), switched ? EncodingOrigin::Chosen : EncodingOrigin::Default);
    w.saveAs(path("out.html"));
    QCOMPARE(bytesOf(path("out.html")), written);
}

// Every code page 932 cell that reads as the same character as another cell and is written as
// that other one (8790 ≒ as 81E0, ED40 纊 as FA5C, ...).
QList<QByteArray> duplicateCells()
{
    QList<QByteArray> cells;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char pair[2] = {char(lead), char(trail)};
            const QByteArray cell(pair, 2);
            const QString text = cp932::decode(cell);
            if (text.size() == 1 && !text[0].isSurrogate() && cp932::encode(text).bytes != cell)
                cells.append(cell);
        }
    }
    return cells;
}

// A page holding every duplicate cell, 16 to a line between ordinary text, the lines ending in
// CR LF, LF and CR in turn; the last line has no line end.
QList<QByteArray> pageLines()
{
    const QList<QByteArray> cells = duplicateCells();
    QList<QByteArray> lines;
    for (qsizetype i = 0; i < cells.size(); i += 16) {
        QByteArray line = "<P>\x93\xfa" + QByteArray::number(i);
        for (qsizetype k = i; k < std::min(i + 16, cells.size()); ++k)
            line += cells[k] + (k % 3 ? "" : "a");
        lines.append(line + "</P>");
    }
    return lines;
}

QByteArray joinLines(const QList<QByteArray> &lines)
{
    static const QByteArray ends[] = {"\r\n", "\n", "\r"};
    QByteArray bytes;
    for (qsizetype i = 0; i < lines.size(); ++i)
        bytes += lines[i] + (i + 1 < lines.size() ? ends[i % 3] : QByteArray());
    return bytes;
}

void TestDocumentCommands::duplicateCellsKeepTheirBytes_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("edited"); // the line changed before writing, -1 for none
    for (const char *how : {"Overwrite", "Save", "Exit"}) {
        for (const int edited : {-1, 0, 12, 24}) {
            if (how == std::string_view("Exit") && edited < 0)
                continue; // nothing changed: nothing is written
            QTest::addRow("%s, %s %d", how, edited < 0 ? "unchanged" : "line", edited)
                << QString::fromLatin1(how) << edited;
        }
    }
}

// A page read with duplicate cells is written back with the same bytes; after an edit only the
// edited line changes, and it is written by the codec's rule.
void TestDocumentCommands::duplicateCellsKeepTheirBytes()
{
    QFETCH(QString, how);
    QFETCH(int, edited);
    QCOMPARE(duplicateCells().size(), 398);
    QList<QByteArray> lines = pageLines();
    QCOMPARE(lines.size(), 25);
    const QByteArray original = joinLines(lines);
    writeBytes(path("page.html"), original);
    Window w;
    w.openFile(path("page.html"));
    QVERIFY(!w.doc.changed());
    if (edited >= 0) {
        const QString text = cp932::decode(lines[edited]) + u'!';
        const QStringList all = w.p.text.text().split(QRegularExpression("\r\n|\n|\r"));
        qsizetype at = 0;
        for (int i = 0; i < edited; ++i)
            at += all[i].size() + (i % 3 ? 1 : 2);
        w.p.text.setText(w.p.text.text().replace(at, all[edited].size(), text));
        // The codec writes the line's cells in their other form.
        QVERIFY(cp932::encode(text).bytes != lines[edited] + "!");
        lines[edited] = cp932::encode(text).bytes;
    }
    QString written = path("page.html");
    if (how == "Overwrite") {
        w.doc.mnuFileOverwrite_Click();
    } else if (how == "Save") {
        written = path("other.html");
        w.saveAs(written);
    } else {
        w.answers({MsgAnswer::Ok, MsgAnswer::Ok});
        w.doc.mnuFileEnd_Click();
        QCOMPARE(w.p.app.endCount, 1);
    }
    QCOMPARE(bytesOf(written).toHex(' '), (joinLines(lines) + "\r\n").toHex(' '));
    if (how == "Save")
        QCOMPARE(bytesOf(path("page.html")), original);
}

// The kept bytes follow the text through writes that make it the baseline, whatever happens
// around them; New forgets them.
void TestDocumentCommands::keptBytesFollowEveryWrite()
{
    const QByteArray original("<P>\x87\x90</P>\r\n<P>\xed\x40</P>\r\n");
    writeBytes(path("k.html"), original);
    Window w;
    w.openFile(path("k.html"));
    // A line inserted at the top, twice, each time overwritten.
    for (int round = 1; round <= 2; ++round) {
        w.p.text.setText(u"new\r\n"_s + w.p.text.text());
        w.doc.mnuFileOverwrite_Click();
        QCOMPARE(bytesOf(path("k.html")), QByteArray("new\r\n").repeated(round) + original + "\r\n");
    }
    // An emoji on its own line, written as a reference; the cells keep their bytes.
    w.p.text.setText(w.p.text.text() + u"😀"_s);
    w.answers({MsgAnswer::Ok});
    w.doc.mnuFileOverwrite_Click();
    QCOMPARE(bytesOf(path("k.html")),
             "new\r\nnew\r\n" + original + "&#x1F600;\r\n");
    // The 纊 line edited: written as the codec writes 纊.
    w.p.text.setText(w.p.text.text().replace(u"纊"_s, u"纊 "_s));
    w.answers({MsgAnswer::Ok});
    w.doc.mnuFileOverwrite_Click();
    QCOMPARE(bytesOf(path("k.html")),
             QByteArray("new\r\nnew\r\n<P>\x87\x90</P>\r\n<P>\xfa\x5c </P>\r\n&#x1F600;\r\n"));

    // After New the same text typed again is written by the codec's rule.
    const QString text = cp932::decode(original);
    w.doc.mnuFileNew_Click(); // nothing changed since the last write: no question
    QVERIFY(w.p.text.text().isEmpty());
    w.p.text.setText(text);
    w.saveAs(path("typed.html"));
    QCOMPARE(bytesOf(path("typed.html")), cp932::encode(text).bytes + "\r\n");
    // Opening a file forgets what the file before had.
    writeBytes(path("plain.html"), cp932::encode(text).bytes);
    w.answers({MsgAnswer::Ok});
    w.openFile(path("plain.html"));
    w.doc.mnuFileOverwrite_Click();
    QCOMPARE(bytesOf(path("plain.html")), cp932::encode(text).bytes + "\r\n");
}

QTEST_GUILESS_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
