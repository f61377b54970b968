// Drafts: the file format, when the keeper writes, replaces and removes the draft across typing
// and the File menu, and what restoring it at start-up gives; through the fakes and real files.
#include "document/documentcommands.h"
#include "document/draft.h"
#include "document/draftkeeper.h"
#include "platform/filenames.h"
#include "platform/files.h"
#include "support/fakes.h"
#include "support/filebytes.h"
#include "support/tmpfs.h"
#include "support/workfolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <QRandomGenerator>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace zimo;
using namespace zimo::test;

namespace {

using Fields = QList<std::pair<QByteArray, QString>>;

// The start-up question, naming the draft's file ("": the text had none).
ShownMessage askRestore(const QString &file)
{
    return {QStringLiteral("前回保存されなかった編集内容があります。復元しますか？\n\n") +
                (file.isEmpty() ? QStringLiteral("ファイル：なし（まだ保存していない文書）")
                                : QStringLiteral("ファイル：") + file),
            36,
            {}};
}
// The hash a draft records of a file's bytes.
QString blake2b(const QByteArray &bytes)
{
    return QStringLiteral("blake2b-256:") +
           QString::fromLatin1(
               QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256).toHex());
}

const ShownMessage askNew{
    QStringLiteral("今作成中のデータを破棄し、新しいデータを作りますか？"), 52, {}};
const ShownMessage askOverwrite{QStringLiteral("上書き保存しますか？"), 33, {}};
const ShownMessage askEnd{QStringLiteral("終了します"), 1, {}};

// The main window's document side with its draft keeper; the clock is the test's, and the file
// work runs at once unless a test asks for the worker thread.
struct Window
{
    // `reportsEdits`: whether the text box reports its changes, as the real text area does.
    explicit Window(const QString &stateFolder, bool reportsEdits = true)
        : keeper((p.text.reportsEdits = reportsEdits, p.services), doc, stateFolder)
    {
        keeper.setClock([this] { return now; });
        keeper.setBackground(false);
        // What the main window wires: typing marks the draft, commands report state changes,
        // the end of the program removes the draft.
        doc.onStateChanged = [this] { keeper.documentStateChanged(); };
        p.app.onEnd = [this] { keeper.programEnded(); };
    }

    FakePlatform p;
    DocumentCommands doc{p.services};
    DraftKeeper keeper;
    qint64 now = 100000;

    void answers(const QList<int> &list)
    {
        for (const int a : list)
            p.messageBox.answers.enqueue(a);
    }
    // Typing: the text changes and the keeper hears of it, as from the text document's signal.
    void type(const QString &text)
    {
        p.text.setSelStart(p.text.text().size());
        p.text.setSelText(text);
        keeper.textEdited();
    }
    // Lets time pass, the timer looking every 250 ms as in the program and the worker's
    // reports coming in between.
    void wait(qint64 ms)
    {
        for (qint64 t = 0; t < ms; t += 250) {
            now += std::min<qint64>(250, ms - t);
            QCoreApplication::sendPostedEvents();
            keeper.poll();
        }
    }
    void openFile(const QString &path)
    {
        p.dialog.fileAnswers.enqueue(path);
        doc.mnuFileOpen_Click();
        keeper.textEdited(); // Open replaced the text
    }
    std::optional<Draft> draft() const
    {
        return readDraft(keeper.path());
    }
};

} // namespace

class TestDrafts : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void formatRoundTrip_data();
    void formatRoundTrip();
    void formatRejectsBrokenFiles_data();
    void formatRejectsBrokenFiles();
    void defaultFolder_data();
    void defaultFolder();
    void journalFormat_data();
    void journalFormat();
    void editedTextFollowsEdits_data();
    void editedTextFollowsEdits();

    void writtenAfterPauseAndDuringLongTyping_data();
    void writtenAfterPauseAndDuringLongTyping();
    void followsCommands_data();
    void followsCommands();
    void exitRemovesOnlyWhenEnding_data();
    void exitRemovesOnlyWhenEnding();
    void typedBackToFileRemoves();
    void nothingKeptBeforeStartUp();

    void restoreAtStartUp_data();
    void restoreAtStartUp();
    void restoreComparesFile_data();
    void restoreComparesFile();
    void restoredPageKeepsItsForm();
    void commandLineAfterRestore_data();
    void commandLineAfterRestore();
    void brokenDraftIsNotOffered();
    void recoveryFromJournal_data();
    void recoveryFromJournal();
    void journalAppendsOverOneBase();

    void failureToldOncePerRun_data();
    void failureToldOncePerRun();
    void workerKeepsOrder();
    void draftIsPrivateAndOldTemporariesGo();

private:
    std::unique_ptr<WorkFolder> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString stateFolder() const { return path(QStringLiteral("state/zimo")); }
};

void TestDrafts::init()
{
    m_dir = std::make_unique<WorkFolder>();
    QVERIFY(m_dir->isValid());
}

void TestDrafts::cleanup()
{
    for (const QString &sub : QDir(m_dir->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QFile::setPermissions(path(sub), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Names that are not UTF-8 are beyond QTemporaryDir.
    removeTree(m_dir->path());
    m_dir.reset();
}

// ---------------------------------------------------------------------------------------------
// The file format

void TestDrafts::formatRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Fields>("fields");
    const Fields usual{{"file", QStringLiteral("/home/u/ページ.html")}, {"overwrite", "1"}};
    QTest::newRow("empty text, no fields") << QString() << Fields{};
    QTest::newRow("one character") << QStringLiteral("a") << usual;
    QTest::newRow("CR LF, lone CR and LF, kanji")
        << QStringLiteral("<P>\r\n日本語\rx\ny\r\n") << usual;
    // Stand-ins of undecodable bytes and a lone surrogate: UTF-8 could not keep them.
    QTest::newRow("stand-ins and unpaired surrogates")
        << QString::fromUtf16(u"\xDC80\xDCFF a \xD800 b \xDFFF") << usual;
    QTest::newRow("emoji and NUL") << QString::fromUtf16(u"\U0001F600\0z", 4) << usual;
    QTest::newRow("text that looks like a header")
        << QStringLiteral("ZIMO draft 1\nlength=3\n\nabc") << usual;
    QTest::newRow("values with line ends, backslashes, '=' and surrogates")
        << QStringLiteral("x")
        << Fields{{"file", QStringLiteral("/a\\b\nc\rd=e\\n")},
                  {"overwrite", QString::fromUtf16(u"\xDC81\U0001F600\xD83D")},
                  {"empty", QString()}};
    QString large;
    for (int i = 0; large.size() < 3 * 1024 * 1024 + 1; ++i)
        large += QStringLiteral("<TR><TD>%1 行目の表</TD></TR>\r\n").arg(i);
    QTest::newRow("3 MiB and more") << large << usual;
}

void TestDrafts::formatRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(Fields, fields);
    const QByteArray bytes = encodeDraft({text, fields});
    // Written as a file and read back, as the keeper and the next start do.
    QVERIFY(writeFileAtomically(path("draft"), bytes));
    const auto draft = decodeDraft(bytesOf(path("draft")));
    QVERIFY(draft);
    QCOMPARE(draft->text.size(), text.size());
    QVERIFY(draft->text == text);
    QCOMPARE(draft->fields, fields);
    for (const auto &[name, value] : fields)
        QCOMPARE(draft->field(name), std::optional<QString>(value));
    QCOMPARE(draft->field("missing"), std::optional<QString>());
}

void TestDrafts::formatRejectsBrokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = encodeDraft({QStringLiteral("ab"), {{"file", "x"}}});
    QVERIFY(decodeDraft(good));
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("another format") << QByteArray("ZIMO draft 2\nlength=0\n\n");
    QTest::newRow("header without end") << QByteArray("ZIMO draft 1\nfile=x\nlength=0\n");
    QTest::newRow("no length") << QByteArray("ZIMO draft 1\nfile=x\n\n");
    QTest::newRow("negative length") << QByteArray("ZIMO draft 1\nlength=-1\n\n");
    QTest::newRow("text cut short") << good.chopped(1);
    QTest::newRow("one byte too many") << good + 'x';
    QTest::newRow("two bytes too many") << good + "xy";
    QTest::newRow("line without '='") << QByteArray("ZIMO draft 1\nfile\nlength=0\n\n");
    QTest::newRow("unknown escape") << QByteArray("ZIMO draft 1\nfile=\\q\nlength=0\n\n");
    QTest::newRow("backslash at the end") << QByteArray("ZIMO draft 1\nfile=a\\\nlength=0\n\n");
    QTest::newRow("short \\u") << QByteArray("ZIMO draft 1\nfile=\\uDC8\nlength=0\n\n");
}

void TestDrafts::formatRejectsBrokenFiles()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!decodeDraft(bytes));
}

void TestDrafts::defaultFolder_data()
{
    QTest::addColumn<QByteArray>("xdgStateHome");
    QTest::addColumn<QString>("folder");
    const QString home = QDir::homePath();
    QTest::newRow("set") << QByteArray("/var/state/") << QStringLiteral("/var/state/zimo");
    QTest::newRow("empty") << QByteArray("") << home + "/.local/state/zimo";
    QTest::newRow("relative: ignored") << QByteArray("state") << home + "/.local/state/zimo";
}

void TestDrafts::defaultFolder()
{
    QFETCH(QByteArray, xdgStateHome);
    QFETCH(QString, folder);
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", xdgStateHome);
    const QString got = defaultDraftFolder();
    qputenv("XDG_STATE_HOME", saved);
    QCOMPARE(got, folder);
}

using Edits = QList<DraftEdit>;

// A journal over `base` with one record per list of edits; `cut` bytes are taken off its end.
void TestDrafts::journalFormat_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QList<Edits>>("records");
    QTest::addColumn<int>("cut");      // bytes cut off the end (a kill while appending)
    QTest::addColumn<int>("damageAt"); // a byte changed at this offset from the end (-1: none)
    QTest::addColumn<int>("whole");    // the records the draft is made of (-1: no draft)
    const QString base = QStringLiteral("<P>\r\n日本語\rx\ny\r\n");
    const Edits typing{{3, 0, QStringLiteral("abc")}, {0, 1, QString()}};
    const Edits odd{{0, 0, QString::fromUtf16(u"\xDC80\xD800\U0001F600\0")}};
    const Edits replaceAll{{0, base.size(), QStringLiteral("all new\r\n")}};
    QTest::newRow("one record") << base << QList<Edits>{typing} << 0 << -1 << 1;
    QTest::newRow("three records") << base << QList<Edits>{typing, odd, replaceAll} << 0 << -1 << 3;
    QTest::newRow("no edits, fields only") << base << QList<Edits>{{}} << 0 << -1 << 1;
    QTest::newRow("empty base") << QString() << QList<Edits>{odd, typing} << 0 << -1 << 2;
    QTest::newRow("no record: no draft") << base << QList<Edits>{} << 0 << -1 << -1;
    // Killed while appending the last record: whatever part of it made it to the disk.
    for (const int cut : {1, 2, 31, 32, 33, 40, 60})
        QTest::newRow(qPrintable(QStringLiteral("last record cut by %1").arg(cut)))
            << base << QList<Edits>{typing, odd} << cut << -1 << 1;
    QTest::newRow("only record cut: no draft") << base << QList<Edits>{typing} << 5 << -1 << -1;
    QTest::newRow("damaged edit") << base << QList<Edits>{typing, odd} << 0 << 40 << 1;
    QTest::newRow("damaged checksum") << base << QList<Edits>{typing, odd} << 0 << 1 << 1;
    // A record whose edit does not fit the text ends the journal like a damaged one.
    QTest::newRow("edit beyond the text")
        << base << QList<Edits>{typing, {{base.size() + 5, 0, QStringLiteral("x")}}} << 0 << -1 << 1;
    QTest::newRow("removal beyond the text")
        << base << QList<Edits>{typing, {{2, base.size() + 1, QString()}}} << 0 << -1 << 1;
}

void TestDrafts::journalFormat()
{
    QFETCH(QString, base);
    QFETCH(QList<Edits>, records);
    QFETCH(int, cut);
    QFETCH(int, damageAt);
    QFETCH(int, whole);
    QByteArray bytes = encodeJournalStart(base.isEmpty() ? "" : "b1", base.size());
    QList<QString> texts{base};
    for (int i = 0; i < records.size(); ++i) {
        const Fields fields{{"file", QStringLiteral("/p/%1.html").arg(i)}, {"overwrite", "1"}};
        bytes += encodeJournalRecord(fields, records[i]);
        QString t = texts.last();
        for (const DraftEdit &e : records[i])
            if (e.position + e.removed <= t.size())
                t.replace(e.position, e.removed, e.added);
        texts.append(t);
    }
    bytes.chop(cut);
    if (damageAt >= 0)
        bytes[bytes.size() - damageAt] = char(bytes[bytes.size() - damageAt] ^ 0x10);
    const auto readBase = [&](QByteArrayView id) -> std::optional<QByteArray> {
        if (id != "b1")
            return std::nullopt;
        return baseFileBytes(base);
    };
    const auto draft = decodeJournal(bytes, readBase);
    QCOMPARE(bool(draft), whole >= 0);
    if (!draft)
        return;
    QCOMPARE(draft->text, texts[whole]);
    QCOMPARE(draft->field("file"), std::optional<QString>(QStringLiteral("/p/%1.html").arg(whole - 1)));
    // Without its base (removed, or another draft's) the journal is no draft.
    if (!base.isEmpty()) {
        QVERIFY(!decodeJournal(bytes, [](QByteArrayView) { return std::nullopt; }));
        QVERIFY(!decodeJournal(bytes, [&](QByteArrayView) {
            return std::optional<QByteArray>(baseFileBytes(base).chopped(2));
        }));
    }
}

// Random edits on texts of the sizes around the buffers: the pieces give the same text as
// replacing in a string, and equals() agrees with comparing.
void TestDrafts::editedTextFollowsEdits_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("edits");
    for (const int size : {0, 1, 16383, 16385, 1024 * 1024})
        QTest::newRow(qPrintable(QString::number(size))) << size << 200;
}

void TestDrafts::editedTextFollowsEdits()
{
    QFETCH(int, size);
    QFETCH(int, edits);
    QRandomGenerator random(quint32(size) + 7);
    QString base(size, Qt::Uninitialized);
    for (QChar &c : base)
        c = QChar(char16_t(u'a' + random.bounded(26)));
    EditedText edited(base);
    QString expected = base;
    for (int i = 0; i < edits; ++i) {
        const qsizetype at = random.bounded(int(expected.size()) + 1);
        const qsizetype removed = random.bounded(int(std::min<qsizetype>(expected.size() - at, 40)) + 1);
        const QString added = random.bounded(3) == 0 ? QString()
                                                     : QString(random.bounded(1, 9), QChar(u'A' + i % 26));
        QVERIFY(edited.apply({at, removed, added}));
        expected.replace(at, removed, added);
        QCOMPARE(edited.size(), expected.size());
        // Edits past the end change nothing.
        QVERIFY(!edited.apply({expected.size() + 1, 0, QStringLiteral("x")}));
        QVERIFY(!edited.apply({at, expected.size() - at + 1, QString()}));
        QVERIFY(!edited.apply({-1, 0, QString()}));
    }
    QCOMPARE(edited.text(), expected);
    QVERIFY(edited.equals(expected));
    if (!expected.isEmpty()) {
        QString other = expected;
        other[other.size() / 2] = u'#';
        QVERIFY(!edited.equals(other));
    }
    // Typed back to the base: equal, as the base itself.
    EditedText back(base);
    QVERIFY(back.apply({0, 0, QStringLiteral("xyz")}));
    QVERIFY(!back.equals(base));
    QVERIFY(back.apply({0, 3, QString()}));
    QVERIFY(back.equals(base));
    QCOMPARE(back.text(), base);
}

// ---------------------------------------------------------------------------------------------
// When drafts are written

void TestDrafts::writtenAfterPauseAndDuringLongTyping_data()
{
    QTest::addColumn<int>("keyEveryMs"); // 0: one key, then nothing
    QTest::addColumn<int>("typingMs");
    QTest::addColumn<int>("notBeforeMs"); // no draft yet this long after the first key
    QTest::addColumn<int>("byMs");        // a draft exists this long after the first key
    QTest::newRow("one key: after a second's pause") << 0 << 0 << 750 << 1000;
    QTest::newRow("short burst: a second after the last key") << 200 << 2000 << 2750 << 3000;
    // No pause ever: still written within five seconds of the first unsaved key.
    QTest::newRow("long typing, 5 keys a second") << 200 << 12000 << 4750 << 5000;
    QTest::newRow("long typing, key repeat") << 30 << 12000 << 4750 << 5000;
}

void TestDrafts::writtenAfterPauseAndDuringLongTyping()
{
    QFETCH(int, keyEveryMs);
    QFETCH(int, typingMs);
    QFETCH(int, notBeforeMs);
    QFETCH(int, byMs);
    Window w(stateFolder());
    w.keeper.startUp();
    const qint64 start = w.now;
    w.type(QStringLiteral("k"));
    std::optional<qint64> writtenAt;
    int drafts = 0;
    // Keys and timer looks in time order, up to 20 s.
    qint64 nextKey = keyEveryMs ? start + keyEveryMs : std::numeric_limits<qint64>::max();
    qint64 nextPoll = start + 250;
    QString lastWritten;
    while (w.now < start + 20000) {
        if (nextKey <= nextPoll && nextKey <= start + typingMs) {
            w.now = nextKey;
            w.type(QStringLiteral("k"));
            nextKey += keyEveryMs;
        } else {
            w.now = nextPoll;
            w.keeper.poll();
            nextPoll += 250;
            const auto draft = w.draft();
            if (draft && draft->text != lastWritten) {
                lastWritten = draft->text;
                ++drafts;
                if (!writtenAt)
                    writtenAt = w.now - start;
            }
        }
    }
    QVERIFY(writtenAt);
    QVERIFY2(*writtenAt > notBeforeMs && *writtenAt <= byMs,
             qPrintable(QString::number(*writtenAt)));
    // The last draft holds every key, and long typing wrote one every five seconds or so.
    QCOMPARE(lastWritten, w.p.text.text());
    if (typingMs >= 12000)
        QVERIFY2(drafts >= 3, qPrintable(QString::number(drafts)));
    QVERIFY(w.p.messageBox.shown.isEmpty());
}

void TestDrafts::followsCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("kept");         // a draft exists right after the command
    QTest::addColumn<QString>("fileField"); // its "file" ("*" = the test file)
    QTest::addColumn<QString>("overwriteField");
    QTest::newRow("Overwrite") << "overwrite" << QList<int>{} << false << ""
                               << "";
    QTest::newRow("Save to another file") << "save" << QList<int>{} << true << "other"
                                          << "1";
    QTest::newRow("New, Yes") << "new" << QList<int>{MsgAnswer::Yes} << false << ""
                              << "";
    QTest::newRow("New, No") << "new" << QList<int>{MsgAnswer::No} << true << "doc"
                             << "1";
    QTest::newRow("Open, OK") << "open" << QList<int>{MsgAnswer::Ok} << false << ""
                              << "";
    QTest::newRow("Open, Cancel") << "open" << QList<int>{MsgAnswer::Cancel} << true << "doc"
                                  << "1";
    QTest::newRow("Print") << "print" << QList<int>{MsgAnswer::Yes} << true << "doc"
                           << "1";
}

// Typing writes a draft; each command then leaves it, replaces it with the new state or removes
// it, at once and without waiting for the timer.
void TestDrafts::followsCommands()
{
    QFETCH(QString, command);
    QFETCH(QList<int>, answers);
    QFETCH(bool, kept);
    QFETCH(QString, fileField);
    QFETCH(QString, overwriteField);
    writeBytes(path("doc.txt"), "file\r\n");
    writeBytes(path("second.txt"), "second");
    Window w(stateFolder());
    w.keeper.startUp();
    w.openFile(path("doc.txt"));
    w.wait(2000);
    QVERIFY(!QFileInfo::exists(w.keeper.path())); // opened, not changed: no draft
    w.type(QStringLiteral("typed"));
    w.wait(1000);
    QCOMPARE(w.draft().value_or(Draft{}).text, QStringLiteral("file\r\ntyped"));
    QCOMPARE(w.draft()->field("file"), std::optional<QString>(path("doc.txt")));
    QCOMPARE(w.draft()->field("overwrite"), std::optional<QString>("1"));

    for (const int a : answers)
        w.p.messageBox.answers.enqueue(a);
    if (command == "overwrite") {
        w.doc.mnuFileOverwrite_Click();
    } else if (command == "save") {
        w.p.dialog.fileAnswers.enqueue(path("other.txt"));
        w.doc.mnuFileSave_Click();
    } else if (command == "new") {
        w.doc.mnuFileNew_Click();
    } else if (command == "open") {
        w.p.dialog.fileAnswers.enqueue(path("second.txt"));
        w.doc.mnuFileOpen_Click();
    } else if (command == "print") {
        w.doc.mnuFilePrint_Click();
    }
    // No timer look: the command's own report is enough.
    const auto draft = w.draft();
    QCOMPARE(bool(draft), kept);
    QCOMPARE(QFileInfo::exists(w.keeper.path()), kept);
    if (kept) {
        QCOMPARE(draft->text, QStringLiteral("file\r\ntyped"));
        QCOMPARE(draft->field("file"),
                 std::optional<QString>(path(fileField + QStringLiteral(".txt"))));
        QCOMPARE(draft->field("overwrite"), std::optional<QString>(overwriteField));
    }
    // Nothing comes back later either.
    w.wait(6000);
    QCOMPARE(QFileInfo::exists(w.keeper.path()), kept);
}

void TestDrafts::exitRemovesOnlyWhenEnding_data()
{
    QTest::addColumn<bool>("close");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QList<ShownMessage>>("asked");
    QTest::addColumn<bool>("kept");
    const int ok = MsgAnswer::Ok, cancel = MsgAnswer::Cancel;
    for (const bool close : {false, true}) {
        const char *how = close ? "close: " : "exit: ";
        auto row = [&](const char *name) -> QTestData & {
            return QTest::addRow("%s%s", how, name) << close;
        };
        row("not saved, ended") << QList<int>{cancel, ok}
                                << QList<ShownMessage>{askOverwrite, askEnd} << false;
        row("saved, ended") << QList<int>{ok, ok} << QList<ShownMessage>{askOverwrite, askEnd}
                            << false;
        row("not saved, not ended")
            << QList<int>{cancel, cancel} << QList<ShownMessage>{askOverwrite, askEnd} << true;
        row("saved, not ended") << QList<int>{ok, cancel}
                                << QList<ShownMessage>{askOverwrite, askEnd} << false;
    }
}

// Exit and closing the window: the draft goes when the program ends (saved or not) and when the
// text was written; it stays while the program runs on with unsaved text.
void TestDrafts::exitRemovesOnlyWhenEnding()
{
    QFETCH(bool, close);
    QFETCH(QList<int>, answers);
    QFETCH(QList<ShownMessage>, asked);
    QFETCH(bool, kept);
    writeBytes(path("doc.txt"), "v1");
    Window w(stateFolder());
    w.keeper.startUp();
    w.openFile(path("doc.txt"));
    w.type(QStringLiteral(" v2"));
    w.wait(1000);
    QVERIFY(w.draft());
    for (const int a : answers)
        w.p.messageBox.answers.enqueue(a);
    bool cancel = false;
    if (close)
        w.doc.Form_Unload(cancel);
    else
        w.doc.mnuFileEnd_Click();
    QCOMPARE(w.p.messageBox.shown, asked);
    QCOMPARE(QFileInfo::exists(w.keeper.path()), kept);
    if (kept)
        QCOMPARE(w.draft()->text, QStringLiteral("v1 v2"));
    // An ended program writes nothing more, whatever comes; one that runs on keeps drafts.
    w.type(QStringLiteral(" v3"));
    w.wait(6000);
    QCOMPARE(QFileInfo::exists(w.keeper.path()), w.p.app.endCount == 0);
}

void TestDrafts::typedBackToFileRemoves()
{
    writeBytes(path("doc.txt"), "abc");
    Window w(stateFolder());
    w.keeper.startUp();
    w.openFile(path("doc.txt"));
    w.type(QStringLiteral("d"));
    w.wait(1000);
    QCOMPARE(w.draft().value_or(Draft{}).text, QStringLiteral("abcd"));
    // Backspace: the text is the file's again.
    w.p.text.setText(QStringLiteral("abc"));
    w.keeper.textEdited();
    w.wait(1000);
    QVERIFY(!QFileInfo::exists(w.keeper.path()));
    QVERIFY(!w.keeper.isPending());
}

// Edits before start-up (the text box being set up) are not the user's: nothing is written, and
// an old draft is not replaced before the question.
void TestDrafts::nothingKeptBeforeStartUp()
{
    Window w(stateFolder());
    w.type(QStringLiteral("set up"));
    w.wait(6000);
    w.doc.mnuFileNew_Click(); // reports a state change
    QVERIFY(!QFileInfo::exists(stateFolder()));
    QVERIFY(w.p.messageBox.shown.size() == 1 && w.p.messageBox.shown.first() == askNew);
}

// ---------------------------------------------------------------------------------------------
// Start-up

void TestDrafts::restoreAtStartUp_data()
{
    QTest::addColumn<QString>("file");      // the draft's "file" field
    QTest::addColumn<QByteArray>("onDisk"); // that file now ("-": none)
    QTest::addColumn<QString>("overwrite"); // the draft's "overwrite" field
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("fileText"); // file_text after start-up
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("encodingName"); // the draft's "encoding" field ("": none)
    QTest::addColumn<QByteArray>("written");   // what Overwrite then writes
    QTest::newRow("file, Yes") << "doc.txt" << QByteArray("on disk\r\n\x93\xfa") << "1"
                               << int(MsgAnswer::Yes) << QStringLiteral("on disk\r\n日") << true
                               << QString() << QByteArray("draft text\r\n");
    QTest::newRow("file since removed, Yes")
        << "doc.txt" << QByteArray("-") << "1" << int(MsgAnswer::Yes) << QString() << true
        << QString() << QByteArray("draft text\r\n");
    QTest::newRow("no file yet, Yes")
        << "" << QByteArray("-") << "0" << int(MsgAnswer::Yes) << QString() << true << QString()
        << QByteArray("draft text\r\n");
    QTest::newRow("file after New, Yes")
        << "doc.txt" << QByteArray("old") << "0" << int(MsgAnswer::Yes) << QStringLiteral("old")
        << true << QString() << QByteArray("draft text\r\n");
    // Killed right after writing the file: the draft is the file, nothing is changed.
    QTest::newRow("file equal to the draft, Yes")
        << "doc.txt" << QByteArray("draft text") << "1" << int(MsgAnswer::Yes)
        << QStringLiteral("draft text") << false << QString() << QByteArray("draft text\r\n");
    QTest::newRow("file, No") << "doc.txt" << QByteArray("on disk") << "1" << int(MsgAnswer::No)
                              << QString() << false << QString() << QByteArray("draft text\r\n");
    // The document's encoding comes back with the draft: the file is read in it, and Overwrite
    // writes in it.
    QTest::newRow("UTF-8 file with its mark, Yes")
        << "doc.txt" << QByteArray("\xEF\xBB\xBFon disk \xE6\x97\xA5") << "1" << int(MsgAnswer::Yes)
        << QStringLiteral("on disk 日") << true << "UTF-8"
        << QByteArray("\xEF\xBB\xBF"
                      "draft text\r\n");
    QTest::newRow("EUC-JP file, Yes")
        << "doc.txt" << QByteArray("\xC6\xFC") << "1" << int(MsgAnswer::Yes) << QStringLiteral("日")
        << true << "EUC-JP" << QByteArray("draft text\r\n");
    // A name made on an older system (Shift_JIS bytes): the draft names the very file, and
    // Overwrite writes to it.
    QTest::newRow("Shift_JIS file name, Yes")
        << fileNameFromBytes("\x93\xfa\x96\x7b.txt") << QByteArray("on disk") << "1"
        << int(MsgAnswer::Yes) << QStringLiteral("on disk") << true << QString()
        << QByteArray("draft text\r\n");
}

void TestDrafts::restoreAtStartUp()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, onDisk);
    QFETCH(QString, overwrite);
    QFETCH(int, answer);
    QFETCH(QString, fileText);
    QFETCH(bool, changed);
    QFETCH(QString, encodingName);
    QFETCH(QByteArray, written);
    const QString filePath = file.isEmpty() ? QString() : path(file);
    if (onDisk != "-")
        writeBytes(filePath, onDisk);
    QVERIFY(QDir().mkpath(stateFolder()));
    writeBytes(stateFolder() + "/draft",
               encodeDraft({QStringLiteral("draft text"),
                            {{"file", filePath},
                             {"overwrite", overwrite},
                             {"encoding",
                              encodingName.isEmpty() ? QStringLiteral("Shift_JIS") : encodingName},
                             {"bom", encodingName == u"UTF-8" ? "1" : "0"},
                             {"later", "x"}}}));

    Window w(stateFolder());
    w.p.messageBox.answers.enqueue(answer);
    w.keeper.startUp();
    // The question shows the bytes that are not UTF-8 as \xNN.
    const QString shownPath =
        QString(filePath).replace(fileNameFromBytes("\x93\xfa\x96"), QStringLiteral("\\x93\\xFA\\x96"));
    QCOMPARE(w.p.messageBox.shown,
             QList<ShownMessage>{askRestore(overwrite == "1" ? shownPath : QString())});
    const bool yes = answer == MsgAnswer::Yes;
    QCOMPARE(w.p.text.text(), yes ? QStringLiteral("draft text") : QString());
    QCOMPARE(w.p.dialog.fileName, yes ? filePath : QString());
    QCOMPARE(w.p.mnuFileOverwrite.enabled, yes && overwrite == "1");
    QCOMPARE(w.doc.file_text(), fileText);
    QCOMPARE(w.doc.changed(), changed);
    // No removes the draft at once; Yes keeps it until the restored document is written again.
    QCOMPARE(QFileInfo::exists(w.keeper.path()), yes);
    w.wait(1000);
    QCOMPARE(QFileInfo::exists(w.keeper.path()), changed);
    if (changed) {
        QCOMPARE(w.draft()->text, QStringLiteral("draft text"));
        QCOMPARE(w.draft()->field("file"), std::optional<QString>(filePath));
    }
    if (onDisk != "-")
        QCOMPARE(bytesOf(filePath), onDisk); // restoring never writes the document
    // Overwrite writes the restored text to the restored file.
    if (yes && !filePath.isEmpty() && overwrite == "1") {
        w.doc.mnuFileOverwrite_Click();
        QCOMPARE(bytesOf(filePath), written);
        QVERIFY(!QFileInfo::exists(w.keeper.path()));
        // No file of another name was made beside it.
        QList<QByteArray> names = entriesOf(folderOf(filePath));
        names.removeAll("state");
        QCOMPARE(names, QList<QByteArray>{fileNameBytes(file)});
    }
}

void TestDrafts::restoreComparesFile_data()
{
    QTest::addColumn<QString>("change");     // what happens to the file after the draft
    QTest::addColumn<bool>("stampInDraft");  // false: a draft written before the stamp existed
    QTest::addColumn<int>("answer");         // to the second question; 0: none asked
    QTest::addColumn<bool>("draftTaken");
    QTest::newRow("unchanged") << "none" << true << 0 << true;
    QTest::newRow("time changed, same bytes") << "touch" << true << 0 << true;
    QTest::newRow("rewritten, restore anyway")
        << "rewrite" << true << int(MsgAnswer::Yes) << true;
    QTest::newRow("rewritten, open the file") << "rewrite" << true << int(MsgAnswer::No) << false;
    QTest::newRow("same size, other bytes, open the file")
        << "same size" << true << int(MsgAnswer::No) << false;
    QTest::newRow("removed since") << "remove" << true << 0 << true;
    QTest::newRow("old draft without the stamp, rewritten") << "rewrite" << false << 0 << true;
}

// A draft records the file as the program last read or wrote it (size, time, hash). At the
// next start a file that another program changed since is named and the user chooses: the draft
// anyway, or the file as it is now.
void TestDrafts::restoreComparesFile()
{
    QFETCH(QString, change);
    QFETCH(bool, stampInDraft);
    QFETCH(int, answer);
    QFETCH(bool, draftTaken);
    const QString file = path("doc.html");
    const QByteArray original("\xEF\xBB\xBF<P>first</P>");
    writeBytes(file, original);
    {
        Window w(stateFolder());
        w.keeper.startUp();
        w.openFile(file);
        w.type(QStringLiteral(" typed"));
        w.wait(1000);
    } // killed
    auto draft = readDraft(stateFolder() + "/draft");
    QVERIFY(draft);
    QCOMPARE(draft->field("size"), std::optional<QString>(QString::number(original.size())));
    QCOMPARE(draft->field("hash"), std::optional<QString>(blake2b(original)));
    QCOMPARE(draft->field("modified"),
             std::optional<QString>(
                 QString::number(QFileInfo(file).lastModified().toMSecsSinceEpoch())));
    if (!stampInDraft) {
        draft->fields.removeIf([](const auto &f) {
            return f.first == "size" || f.first == "modified" || f.first == "hash";
        });
        writeBytes(stateFolder() + "/draft", encodeDraft(*draft));
    }

    QByteArray now = original;
    if (change == "touch") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(3600),
                              QFileDevice::FileModificationTime));
    } else if (change == "rewrite") {
        now = "\xEF\xBB\xBF<P>another program's text</P>";
        writeBytes(file, now);
    } else if (change == "same size") {
        now = original;
        now.replace("first", "FIRST");
        writeBytes(file, now);
    } else if (change == "remove") {
        QVERIFY(QFile::remove(file));
    }

    Window w(stateFolder());
    w.answers({MsgAnswer::Yes});
    if (answer)
        w.answers({answer});
    w.keeper.startUp();
    QList<ShownMessage> &shown = w.p.messageBox.shown;
    QCOMPARE(shown.value(0), askRestore(file));
    const bool asked = answer != 0;
    const bool told = change == "remove";
    QCOMPARE(shown.size(), asked || told ? 2 : 1);
    if (asked || told) {
        QCOMPARE(shown[1].style, asked ? 52 : 48);
        QVERIFY2(shown[1].prompt.contains(file), qPrintable(shown[1].prompt));
    }
    if (asked) {
        // Both sizes are told.
        QVERIFY2(shown[1].prompt.contains(QString::number(original.size())) &&
                     shown[1].prompt.contains(QString::number(now.size())),
                 qPrintable(shown[1].prompt));
    }

    const QString fileText = change == "remove" ? QString() : QString::fromUtf8(now.mid(3));
    QCOMPARE(w.p.text.text(), draftTaken ? QStringLiteral("<P>first</P> typed") : fileText);
    QCOMPARE(w.doc.file_text(), fileText);
    QCOMPARE(w.p.dialog.fileName, file);
    QVERIFY(w.p.mnuFileOverwrite.enabled);
    QCOMPARE(w.doc.encoding(), (TextEncoding{Encoding::Utf8, true}));
    // Restoring never writes the file; the draft goes when the file is chosen instead.
    QCOMPARE(bytesOf(file), change == "remove" ? QByteArray("<no file>") : now);
    QCOMPARE(QFileInfo::exists(w.keeper.path()), draftTaken);
    w.wait(1000);
    QCOMPARE(QFileInfo::exists(w.keeper.path()), draftTaken);
    if (draftTaken && change != "remove") {
        // The new draft records the file as it is now: the next start asks nothing more.
        QCOMPARE(w.draft()->field("hash"), std::optional<QString>(blake2b(now)));
    }
}

// A page in Windows' EUC-JP, edited and killed, then restored: Overwrite writes the typed IBM kanji
// in the page's form (F9 A1, not JIS X 0212's 8F D4 E3) and keeps the untouched line's bytes.
void TestDrafts::restoredPageKeepsItsForm()
{
    const QString file = path("page.html");
    writeBytes(file, QByteArray("\xf9\xa1\r\n"));
    {
        Window w(stateFolder());
        w.keeper.startUp();
        w.openFile(file);
        w.type(QStringLiteral("纊①"));
        w.wait(1000);
    } // killed
    Window w(stateFolder());
    w.answers({MsgAnswer::Yes});
    w.keeper.startUp();
    QCOMPARE(w.doc.encoding(), (TextEncoding{Encoding::EucJp, false, EncodingForm::Windows}));
    w.doc.mnuFileOverwrite_Click();
    QCOMPARE(bytesOf(file).toHex(), QByteArray("\xf9\xa1\r\n\xf9\xa1\xad\xa1\r\n").toHex());
}

void TestDrafts::commandLineAfterRestore_data()
{
    QTest::addColumn<bool>("draft");
    QTest::addColumn<int>("answer");
    QTest::newRow("no draft: inserted") << false << 0;
    QTest::newRow("draft, No: inserted") << true << int(MsgAnswer::No);
    QTest::newRow("draft, Yes: left out, and told") << true << int(MsgAnswer::Yes);
}

// The command line's document is inserted into an empty document only; a restored draft stays as
// it was and the message names the file left out.
void TestDrafts::commandLineAfterRestore()
{
    QFETCH(bool, draft);
    QFETCH(int, answer);
    const QString given = path("given.txt");
    writeBytes(given, "given line\r\n");
    if (draft) {
        QVERIFY(QDir().mkpath(stateFolder()));
        writeBytes(stateFolder() + "/draft",
                   encodeDraft({QStringLiteral("draft text"), {{"file", ""}, {"overwrite", "0"}}}));
    }
    Window w(stateFolder());
    if (answer)
        w.answers({answer});
    w.keeper.startUp(given);
    w.keeper.textEdited(); // as the text document tells of an insertion
    const bool restored = answer == MsgAnswer::Yes;
    QCOMPARE(w.p.text.text(),
             restored ? QStringLiteral("draft text") : QStringLiteral("given line\r\n"));
    QList<ShownMessage> expected;
    if (draft)
        expected << askRestore(QString());
    if (restored)
        expected << ShownMessage{QStringLiteral("前回の文書を復元したので、起動時に指定されたファイル"
                                                "「%1」は読み込んでいません。")
                                     .arg(given),
                                 48,
                                 {}};
    QCOMPARE(w.p.messageBox.shown, expected);
    // Either way the text is kept as a draft of this run.
    w.wait(1000);
    QCOMPARE(w.draft().value_or(Draft{}).text, w.p.text.text());
}

void TestDrafts::brokenDraftIsNotOffered()
{
    QVERIFY(QDir().mkpath(stateFolder()));
    const QByteArray broken = encodeDraft({QStringLiteral("abc"), {}}).chopped(1);
    writeBytes(stateFolder() + "/draft", broken);
    Window w(stateFolder());
    w.keeper.startUp();
    QVERIFY(w.p.messageBox.shown.isEmpty());
    QCOMPARE(w.p.text.text(), QString());
    QCOMPARE(bytesOf(w.keeper.path()), broken);
    // The next draft replaces it.
    w.type(QStringLiteral("new"));
    w.wait(1000);
    QCOMPARE(w.draft().value_or(Draft{}).text, QStringLiteral("new"));
}

// ---------------------------------------------------------------------------------------------
// Failures and the worker

// A run is killed after typing and commands; the next start restores what the journal holds.
void TestDrafts::recoveryFromJournal_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("withFile");
    QTest::newRow("unchanged file") << "plain" << true;
    QTest::newRow("file changed on disk since: from the draft's base") << "changed" << true;
    QTest::newRow("journal cut in its last record") << "cut" << true;
    QTest::newRow("whole-text command among the edits") << "whole" << true;
    // More than is kept between two drafts: the draft takes the whole text.
    QTest::newRow("paste of 1 MiB and more") << "paste" << true;
    QTest::newRow("journal larger than the text: started again") << "grown" << true;
    QTest::newRow("new document, no file") << "plain" << false;
    QTest::newRow("text box that reports no edits") << "unreported" << true;
}

void TestDrafts::recoveryFromJournal()
{
    QFETCH(QString, scenario);
    QFETCH(bool, withFile);
    const QString file = path("page.html");
    const QByteArray original("<P>first line</P>\r\n<P>second</P>\r\n");
    writeBytes(file, original);
    QString firstDraft;
    QString expected;
    {
        Window w(stateFolder(), scenario != "unreported");
        w.keeper.startUp();
        if (withFile)
            w.openFile(file);
        w.p.text.select(3, 5); // "first"
        w.p.text.setSelText(QStringLiteral("1st"));
        w.keeper.textEdited();
        w.type(QStringLiteral("typed\r\n"));
        w.wait(1000);
        firstDraft = w.p.text.text();
        QCOMPARE(w.draft().value_or(Draft{}).text, firstDraft);
        if (scenario == "whole") {
            w.p.text.setText(QStringLiteral("<HTML>\r\n") + w.p.text.text() + "</HTML>");
            w.keeper.textEdited();
        } else if (scenario == "paste") {
            w.p.text.select(5, 0);
            w.p.text.setSelText(QString(1024 * 1024 + 1, u'p'));
            w.keeper.textEdited();
            w.type(QStringLiteral("after"));
        } else if (scenario == "grown") {
            // Many edits, each a draft: the journal outgrows the text and starts again on it.
            for (int i = 0; i < 300; ++i) {
                w.p.text.select(0, 3);
                w.p.text.setSelText(QString(200, QChar(u'a' + i % 26)));
                w.keeper.textEdited();
                w.wait(1000);
            }
        }
        w.p.text.select(0, 0);
        w.p.text.setSelText(QStringLiteral("<!-- top -->"));
        w.keeper.textEdited();
        w.wait(1000);
        expected = w.p.text.text();
        QCOMPARE(w.draft().value_or(Draft{}).text, expected);
        QVERIFY(w.p.messageBox.shown.isEmpty());
    } // killed
    const QByteArray journal = bytesOf(stateFolder() + "/draft");
    if (scenario != "unreported")
        QVERIFY(journal.startsWith("ZIMO draft journal 1\n"));
    if (scenario == "cut") {
        // As a kill in the middle of appending the last record leaves it.
        writeBytes(stateFolder() + "/draft", journal.chopped(20));
        expected = firstDraft;
    }
    if (scenario == "grown")
        QVERIFY2(journal.size() < 2 * 4 * expected.size() + 70000, qPrintable(QString::number(journal.size())));
    QByteArray onDisk = original;
    if (scenario == "changed") {
        onDisk = "<P>another program's text</P>\r\n";
        writeBytes(file, onDisk);
    }

    Window w(stateFolder());
    w.answers({MsgAnswer::Yes, MsgAnswer::Yes});
    w.keeper.startUp();
    QCOMPARE(w.p.messageBox.shown.value(0), askRestore(withFile ? file : QString()));
    // A file changed since: the second question, and Yes restores the draft from its own base.
    QCOMPARE(w.p.messageBox.shown.size(), scenario == "changed" ? 2 : 1);
    QCOMPARE(w.p.text.text(), expected);
    QCOMPARE(w.doc.file_text(), withFile ? QString::fromUtf8(onDisk) : QString());
    QCOMPARE(w.p.dialog.fileName, withFile ? file : QString());
    QCOMPARE(w.p.mnuFileOverwrite.enabled, withFile);
    QVERIFY(w.doc.changed());
    // Written again as this run's draft, which restores to the same.
    w.wait(1000);
    QCOMPARE(w.draft().value_or(Draft{}).text, expected);
    w.type(QStringLiteral("more"));
    w.wait(1000);
    QCOMPARE(w.draft().value_or(Draft{}).text, expected + "more");
}

// After Open, the file's text is written once as the journal's base; drafts then append records
// and never write the base again. The files are the user's alone, a link planted at the draft's
// name is not written through, and the end of the program leaves neither draft nor base.
void TestDrafts::journalAppendsOverOneBase()
{
    const QString file = path("page.html");
    writeBytes(file, QByteArray(20000, 'x'));
    Window w(stateFolder());
    w.keeper.startUp();
    w.openFile(file);
    w.wait(1000);
    const QStringList bases = QDir(stateFolder()).entryList({"base-*"}, QDir::Files);
    QCOMPARE(bases.size(), 1);
    const QString base = stateFolder() + "/" + bases.first();
    QCOMPARE(QFileInfo(base).size(), 40000);
    QCOMPARE(QFile::permissions(base) & 0x7777, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QVERIFY(!QFileInfo::exists(w.keeper.path())); // nothing typed yet
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(base).constData(), &before), 0);

    qint64 size = 0;
    for (int i = 0; i < 5; ++i) {
        w.type(QStringLiteral("k"));
        w.wait(1000);
        const qint64 now = QFileInfo(w.keeper.path()).size();
        // A key's draft is a record of a few hundred bytes, not the 40 KB text.
        QVERIFY2(now > size && (size == 0 || now - size < 1000), qPrintable(QString::number(now - size)));
        size = now;
    }
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(base).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(w.draft().value_or(Draft{}).text, w.p.text.text());

    // Another user's link at the draft's name: the draft is written anew, the target untouched.
    const QString target = path("target");
    writeBytes(target, "target");
    QVERIFY(QFile::remove(w.keeper.path()));
    QVERIFY(QFile::link(target, w.keeper.path()));
    w.type(QStringLiteral("z"));
    w.wait(1000);
    QCOMPARE(bytesOf(target), QByteArray("target"));
    QVERIFY(!QFileInfo(w.keeper.path()).isSymLink());
    QCOMPARE(w.draft().value_or(Draft{}).text, w.p.text.text());
    // A FIFO there: not opened to wait for a reader, replaced.
    QVERIFY(QFile::remove(w.keeper.path()));
    QCOMPARE(::mkfifo(QFile::encodeName(w.keeper.path()).constData(), 0600), 0);
    w.type(QStringLiteral("f"));
    w.wait(1000);
    QVERIFY(QFileInfo(w.keeper.path()).isFile());
    QCOMPARE(w.draft().value_or(Draft{}).text, w.p.text.text());
    QVERIFY(w.p.messageBox.shown.isEmpty());

    // Typed back to the file: no draft; the base stays for the next edits.
    w.p.text.select(20000, 8);
    w.p.text.setSelText(QString());
    w.keeper.textEdited();
    w.wait(1000);
    QVERIFY(!QFileInfo::exists(w.keeper.path()));
    w.type(QStringLiteral("again"));
    w.wait(1000);
    QCOMPARE(w.draft().value_or(Draft{}).text, w.p.text.text());

    w.answers({MsgAnswer::Cancel, MsgAnswer::Ok}); // not saved, ended
    w.doc.mnuFileEnd_Click();
    QVERIFY(!QFileInfo::exists(w.keeper.path()));
    QVERIFY(QDir(stateFolder()).entryList({"base-*"}, QDir::Files).isEmpty());
}

void TestDrafts::failureToldOncePerRun_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("state folder's parent is a file") << "file";
    QTest::newRow("read-only state folder") << "read-only folder";
    QTest::newRow("read-only mount") << "read-only mount";
    QTest::newRow("full disk") << "full";
}

void TestDrafts::failureToldOncePerRun()
{
    QFETCH(QString, where);
    const QString folder = stateFolder();
    std::unique_ptr<TmpfsMount> mount;
    if (where == "file") {
        writeBytes(path("state"), "not a folder");
    } else if (where == "read-only folder") {
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
            QSKIP("running with rights that ignore folder permissions");
    } else {
        QVERIFY(QDir().mkpath(path("state")));
        mount = std::make_unique<TmpfsMount>(path("state"));
        if (!mount->mounted())
            QSKIP("mounting a small file system needs root");
        if (where == "read-only mount")
            QVERIFY(mount->makeReadOnly());
    }
    Window w(folder);
    w.keeper.startUp();
    // More than the 64 KiB file system holds when it is to fill it.
    w.type(where == "full" ? QString(100000, u'a') : QStringLiteral("a"));
    w.wait(1000);
    QCOMPARE(w.p.messageBox.shown.size(), 1);
    const ShownMessage told = w.p.messageBox.shown.first();
    QCOMPARE(told.style, 48);
    QVERIFY2(told.prompt.contains(w.keeper.path()), qPrintable(told.prompt));
    // Typing goes on; later failures stay silent, and the document is untouched.
    w.type(QStringLiteral("b"));
    w.wait(1000);
    w.type(QStringLiteral("c"));
    w.wait(6000);
    QCOMPARE(w.p.messageBox.shown.size(), 1);
    QVERIFY(w.p.text.text().endsWith(QStringLiteral("abc")));
    QVERIFY(!QFileInfo::exists(w.keeper.path()));
}

// With the worker thread: what was handed over is done in order, so a removal after a write
// leaves no draft, and the written draft holds the text of the moment it was taken.
void TestDrafts::workerKeepsOrder()
{
    writeBytes(path("doc.txt"), "x");
    Window w(stateFolder());
    w.keeper.setBackground(true);
    w.keeper.startUp();
    w.openFile(path("doc.txt"));
    w.keeper.waitForWriting();
    QString big(4 * 1024 * 1024, u'y');
    w.p.text.setText(big);
    w.keeper.textEdited();
    w.wait(1000);                // hands the write to the worker
    w.type(QStringLiteral("z")); // after the snapshot: not in this draft
    w.keeper.waitForWriting();
    QCOMPARE(w.draft().value_or(Draft{}).text.size(), big.size());

    w.wait(1000);
    w.doc.mnuFileOverwrite_Click(); // removal, handed over behind the write
    w.keeper.waitForWriting();
    QVERIFY(!QFileInfo::exists(w.keeper.path()));
    QCOMPARE(bytesOf(path("doc.txt")).size(), big.size() + 3);
}

// A draft is the user's alone even in a state folder that others may enter, and an earlier run's
// temporary draft (left by a kill during a write) is removed at the next draft write; a fresh one
// (another run writing now) and names of other shapes stay.
void TestDrafts::draftIsPrivateAndOldTemporariesGo()
{
    QVERIFY(QDir().mkpath(stateFolder()));
    QVERIFY(QFile::setPermissions(stateFolder(), QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ExeOwner | QFile::ReadGroup |
                                                     QFile::ExeGroup | QFile::ReadOther |
                                                     QFile::ExeOther));
    const QString stale = stateFolder() + "/.draft.zimo-1abc2";
    const QString fresh = stateFolder() + "/.draft.zimo-9zz";
    const QString other = stateFolder() + "/.draft.zimo-2024-01-01"; // not the pattern
    for (const QString &name : {stale, fresh, other})
        writeBytes(name, "left over");
    const QDateTime past = QDateTime::currentDateTime().addDays(-1);
    for (const QString &name : {stale, other}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    // Touched after this run began: as another running copy's write in progress would be.
    QFile freshFile(fresh);
    QVERIFY(freshFile.open(QIODevice::ReadWrite));
    QVERIFY(freshFile.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                  QFileDevice::FileModificationTime));
    freshFile.close();

    const mode_t oldMask = ::umask(022);
    Window w(stateFolder());
    w.keeper.startUp();
    w.type(QStringLiteral("private text"));
    w.wait(6000);
    ::umask(oldMask);
    QCOMPARE(w.draft().value_or(Draft{}).text, QStringLiteral("private text"));
    QCOMPARE(QFile::permissions(w.keeper.path()) & 0x7777,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QVERIFY(!QFileInfo::exists(stale));
    QVERIFY(QFileInfo::exists(fresh));
    QVERIFY(QFileInfo::exists(other));
}

QTEST_GUILESS_MAIN(TestDrafts)
#include "tst_drafts.moc"
