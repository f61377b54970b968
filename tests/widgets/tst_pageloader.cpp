// Big pages opened over time: the loader on a bare text area (the text and its line ends exactly as
// setText puts them, cancel puts the earlier document back), and on the real main window (Esc,
// the commands while a page comes in, closing the window, the page becoming the document).
#include "app/form1.h"
#include "document/draft.h"
#include "platform/files.h"
#include "platform/qt/lineends.h"
#include "platform/qt/pageloader.h"
#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"
#include "whenshown.h"

#include <QAction>
#include <QFile>
#include <QMessageBox>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

using namespace zimo;
using zimo::test::keyTarget;
using zimo::test::whenShown;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A page of `lines` numbered lines of ASCII markup, CR LF.
QByteArray page(int lines)
{
    QByteArray out;
    out.reserve(qsizetype(lines) * 40);
    for (int i = 0; i < lines; ++i)
        out += "<p>line " + QByteArray::number(i) + " of the big page</p>\r\n";
    return out;
}

// Loads slowly enough that a test can act while the page comes in.
void slowDown(PageLoader *loader)
{
    loader->setSliceSize(2048);
    loader->setStepBudget(1);
}

// Ending the program leaves the application's "quit now" mark set; one turn of the event loop
// clears it for the next test.
void clearQuit()
{
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

} // namespace

class TestPageLoader : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { clearQuit(); }
    void sameAsSetText_data();
    void sameAsSetText();
    void cancelPutsEarlierDocumentBack();
    void startWhileLoading();
    void headThenWhole_data();
    void headThenWhole();
    void escCancelsOpen_data();
    void escCancelsOpen();
    void commandsWaitForLoad_data();
    void commandsWaitForLoad();
    void draftAfterCancelledOpen();
    void draftAfterCompletedOpen();
    void desktopRequestWaitsForLoad();
    void closeDuringLoad_data();
    void closeDuringLoad();
    void openSizes_data();
    void openSizes();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPageLoader::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir::setCurrent(m_dir->path());
    QVERIFY(QDir(defaultDraftFolder()).removeRecursively());
}

void TestPageLoader::sameAsSetText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slice");
    const QString lines = QStringLiteral("<p>一</p>\r\n<p>二</p>\r\n<p>三</p>\r\n");
    QTest::newRow("empty") << QString() << 4;
    QTest::newRow("one slice") << lines << 1000;
    QTest::newRow("lines, small slices") << lines.repeated(50) << 7;
    QTest::newRow("CR LF at every slice end") << QStringLiteral("abc\r\n").repeated(40) << 4;
    QTest::newRow("CR at a slice end, LF at the next start")
        << QStringLiteral("abc\r\n").repeated(40) << 3;
    QTest::newRow("mixed line ends") << QStringLiteral("a\r\n\r\nb\rc\nd\r\r\ne\n\rf\r").repeated(30)
                                     << 5;
    QTest::newRow("ends with a lone CR") << QStringLiteral("x\r\ny\r") << 3;
    QTest::newRow("a line longer than many slices") << QString(5000, u'x') + QStringLiteral("\r\nend") << 64;
    // Long lines are cut into the same paragraphs as when put in at once, wherever the slices
    // would have ended.
    const QString markup = QStringLiteral("<td class=\"a\">セル&amp;</td> ").repeated(150);
    QTest::newRow("long markup lines, small slices")
        << markup + QStringLiteral("\r\n") + markup + QStringLiteral("\nshort\r") + markup << 37;
    QTest::newRow("long markup lines, large slices") << (markup + QStringLiteral("\r\n")).repeated(5) << 1500;
    QTest::newRow("long lines ending in lone CRs") << (markup + QStringLiteral("\r")).repeated(3) << 333;
    QTest::newRow("a line just over the limit")
        << (QString(401, u'y') + QStringLiteral("\r\n") + QString(400, u'z') + QStringLiteral("\r\n")).repeated(3)
        << 50;
    QTest::newRow("surrogate pairs cut at odd places")
        << QStringLiteral("😀漢字😀").repeated(200) << 3;
    QTest::newRow("characters with stand-ins and controls")
        << (QStringLiteral("a\u2028b\u2029c\uFDD0d\uFDD1e\uFFFCf\u00A0g\tj") + QChar(0) +
            QChar(0xD800) + QStringLiteral("k\r\n") + QChar(0xDC80) + QStringLiteral("z"))
               .repeated(20)
        << 6;
}

// A page loaded in slices is the same as the text put in at once: the text box gives back the
// text, the widget holds the same paragraphs with the same line ends, caret at 0, no undo.
void TestPageLoader::sameAsSetText()
{
    QFETCH(QString, text);
    QFETCH(int, slice);

    TextArea area;
    PlainTextBox box(&area);
    area.show();
    box.setText(QStringLiteral("earlier\r\ntext"));
    PageLoader loader(&area);
    QObject::connect(&loader, &PageLoader::documentReplaced, [&] { box.documentReplaced(); });
    loader.setSliceSize(slice);
    std::optional<bool> finished;
    loader.start(text, [&](bool completed) { finished = completed; });
    QTRY_VERIFY(finished.has_value());
    QVERIFY(*finished);
    QVERIFY(!loader.isLoading());

    QCOMPARE(box.text(), text);
    QCOMPARE(box.selStart(), 0);
    QCOMPARE(box.selLength(), 0);
    QVERIFY(!area.isReadOnly());
    QVERIFY(!area.document()->isUndoAvailable());
    QVERIFY(LineEnds::of(area.document())->matchesDocument());

    TextArea reference;
    PlainTextBox referenceBox(&reference);
    referenceBox.setText(text);
    QCOMPARE(area.document()->blockCount(), reference.document()->blockCount());
    QCOMPARE(area.document()->toRawText(), reference.document()->toRawText());
    QCOMPARE(LineEnds::of(area.document())->kinds().count(LineEnd::CrLf),
             LineEnds::of(reference.document())->kinds().count(LineEnd::CrLf));
    QCOMPARE(LineEnds::of(area.document())->kinds().count(LineEnd::Cr),
             LineEnds::of(reference.document())->kinds().count(LineEnd::Cr));

    // The loaded document is the edit's own: typing goes in and can be undone.
    QTest::keyClicks(&area, QStringLiteral("Q"));
    QCOMPARE(box.text(), u'Q' + text);
    QVERIFY(area.document()->isUndoAvailable());
}

// Cancelled, the edit shows its earlier document again: the same object with its text, caret,
// selection, scroll position and undo history.
void TestPageLoader::cancelPutsEarlierDocumentBack()
{
    TextArea area;
    PlainTextBox box(&area);
    area.resize(300, 120);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    box.setText(QStringLiteral("line\r\n").repeated(300));
    QTest::keyClicks(&area, QStringLiteral("typed"));
    box.setSelStart(20);
    box.setSelLength(7);
    area.verticalScrollBar()->setValue(40);
    QTextDocument *earlier = area.document();
    const QString text = box.text();
    const int scroll = area.verticalScrollBar()->value();
    QVERIFY(scroll > 0);

    PageLoader loader(&area);
    QObject::connect(&loader, &PageLoader::documentReplaced, [&] { box.documentReplaced(); });
    slowDown(&loader);
    std::optional<bool> finished;
    loader.start(QString::fromLatin1(page(20000)), [&](bool completed) { finished = completed; });
    QVERIFY(area.document() != earlier);
    QVERIFY(area.isReadOnly());
    QVERIFY(box.text().startsWith(u"<p>line 0 "));
    QTRY_VERIFY(loader.loaded() > 10000);
    QVERIFY(loader.isLoading());
    loader.cancel();

    QCOMPARE(finished, std::optional<bool>(false));
    QCOMPARE(area.document(), earlier);
    QCOMPARE(box.text(), text);
    QCOMPARE(box.selStart(), 20);
    QCOMPARE(box.selLength(), 7);
    QCOMPARE(area.verticalScrollBar()->value(), scroll);
    QVERIFY(!area.isReadOnly());
    QVERIFY(earlier->isUndoAvailable());
    QVERIFY(LineEnds::of(area.document())->matchesDocument());
    // Nothing more comes in afterwards.
    QTest::qWait(50);
    QCOMPARE(box.text(), text);
}

// A second load given while one is under way ends the first (told as cancelled) and is the one
// that comes in.
void TestPageLoader::startWhileLoading()
{
    TextArea area;
    PlainTextBox box(&area);
    area.show();
    box.setText(QStringLiteral("earlier"));
    PageLoader loader(&area);
    QObject::connect(&loader, &PageLoader::documentReplaced, [&] { box.documentReplaced(); });
    slowDown(&loader);
    std::optional<bool> first, second;
    loader.start(QString::fromLatin1(page(20000)), [&](bool completed) { first = completed; });
    QTRY_VERIFY(loader.loaded() > 5000);
    const QString text = QStringLiteral("second\r\n").repeated(3000);
    loader.start(text, [&](bool completed) { second = completed; });
    QCOMPARE(first, std::optional<bool>(false));
    QTRY_COMPARE(second, std::optional<bool>(true));
    QCOMPARE(box.text(), text);
    QVERIFY(LineEnds::of(area.document())->matchesDocument());
}

void TestPageLoader::headThenWhole_data()
{
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("whole");
    QTest::addColumn<int>("slice");
    const QString lines = QStringLiteral("<p>一</p>\r\n<p>二</p>\n").repeated(40);
    QTest::newRow("the whole begins with the head") << lines.first(60) << lines << 16;
    QTest::newRow("head longer than the first slice") << lines.first(300) << lines << 16;
    QTest::newRow("head is the whole") << lines << lines << 4096;
    QTest::newRow("head that is not the beginning")
        << QStringLiteral("<p>other</p>\r\n") << lines << 16;
}

// The first screen shown from the head: the loader goes on after it, and the text box ends up
// holding exactly the whole text, whatever the head was.
void TestPageLoader::headThenWhole()
{
    QFETCH(QString, head);
    QFETCH(QString, whole);
    QFETCH(int, slice);
    TextArea area;
    PlainTextBox box(&area);
    area.show();
    PageLoader loader(&area);
    QObject::connect(&loader, &PageLoader::documentReplaced, [&] { box.documentReplaced(); });
    loader.setSliceSize(slice);
    loader.showHead(head);
    QVERIFY(loader.isLoading());
    QVERIFY(area.isReadOnly());
    QVERIFY(head.startsWith(box.text()));
    QVERIFY(!box.text().isEmpty());
    std::optional<bool> finished;
    loader.start(whole, [&](bool completed) { finished = completed; });
    QTRY_VERIFY(finished.has_value());
    QVERIFY(*finished);
    QCOMPARE(box.text(), whole);
    QVERIFY(LineEnds::of(area.document())->matchesDocument());
    QVERIFY(!area.isReadOnly());
}

namespace {

// What a test compares of the document before an open and after it was cancelled.
struct DocumentState
{
    QString text;
    qsizetype selStart = 0;
    qsizetype selLength = 0;
    QString fileName;
    QString fileText;
    TextEncoding encoding;
    bool overwrite = false;
    std::array<QString, 3> keptSlots;
    qint16 keepCount = 0;
    QTextDocument *document = nullptr;
    bool undoAvailable = false;
    bool operator==(const DocumentState &) const = default;
};

DocumentState stateOf(Form1 &form)
{
    Services &s = form.services();
    return {s.Text1.text(),
            s.Text1.selStart(),
            s.Text1.selLength(),
            s.CommonDialog1.fileName,
            form.documentCommands().file_text(),
            form.documentCommands().encoding(),
            s.mnuFileOverwrite.isEnabled(),
            form.undoStore().keep_slots(),
            form.undoStore().keep_count(),
            form.textArea()->document(),
            form.textArea()->document()->isUndoAvailable()};
}

} // namespace

void TestPageLoader::escCancelsOpen_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("whileShown");
    // before: "fresh" (a new window), "file" (an opened small file, edited, a selection, a kept
    // text in the undo store), "big" (a big page opened over time before).
    QTest::newRow("fresh window, Esc while the page comes in") << "fresh" << true;
    QTest::newRow("edited small file, Esc while the page comes in") << "file" << true;
    QTest::newRow("edited small file, Esc before the page is shown") << "file" << false;
    QTest::newRow("big page before, Esc while the next comes in") << "big" << true;
}

// Esc while a big page is being opened leaves the document exactly as it was.
void TestPageLoader::escCancelsOpen()
{
    QFETCH(QString, before);
    QFETCH(bool, whileShown);

    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Services &s = form.services();
    DocumentCommands &doc = form.documentCommands();
    if (before == u"file") {
        const QString small = m_dir->filePath("small.html");
        writeFile(small, "<p>\x93\xfa\x96\x7b</p>\r\n<p>two</p>\r\n"); // cp932
        QVERIFY(doc.openDocument(small, true));
        s.Text1.setSelStart(3);
        QTest::keyClicks(form.textArea(), QStringLiteral("xy"));
        form.undoStore().keep_text();
        s.Text1.setSelStart(1);
        s.Text1.setSelLength(4);
    } else if (before == u"big") {
        const QString first = m_dir->filePath("first.html");
        writeFile(first, page(40000));
        QVERIFY(doc.openDocument(first, true));
        QTRY_VERIFY_WITH_TIMEOUT(!doc.isLoading(), 20000);
        s.Text1.setSelStart(100);
    }
    const DocumentState was = stateOf(form);
    QHash<QString, bool> enabled;
    for (const char *name : {"mnuFileOverwrite", "mnuFileOpen", "mnuEditBack", "mnuOptionline"})
        enabled.insert(QString::fromLatin1(name), form.action(QString::fromLatin1(name))->isEnabled());

    const QString big = m_dir->filePath("big.html");
    writeFile(big, page(60000));
    slowDown(form.pageLoader());
    QVERIFY(doc.openDocument(big, true));
    QVERIFY(doc.isLoading());
    if (whileShown) {
        QTRY_VERIFY(form.pageLoader()->loaded() > 0);
        QVERIFY(form.textArea()->document() != was.document);
        QVERIFY(!form.statusBar()->currentMessage().isEmpty());
    }
    QTest::keyClick(form.textArea(), Qt::Key_Escape);
    QVERIFY(!doc.isLoading());
    QCOMPARE(stateOf(form), was);
    for (auto it = enabled.cbegin(); it != enabled.cend(); ++it)
        QCOMPARE(form.action(it.key())->isEnabled(), it.value());
    QVERIFY(form.statusBar()->currentMessage().isEmpty());
    QVERIFY(!form.textArea()->isReadOnly());
    // The worker's late results change nothing.
    QTest::qWait(300);
    QCOMPARE(stateOf(form), was);
    QVERIFY(!doc.isLoading());
}

void TestPageLoader::commandsWaitForLoad_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"mnuFileNew", "mnuFileOpen", "mnuFileSave", "mnuFileOverwrite", "mnuFilePrint",
          "mnuFileEnd", "mnuEditConversion", "mnuEditDelete", "mnuEditCenter", "mnuEditReplace",
          "mnuEditGoTo", "mnuOptionline", "mnuEditReference", "mnuOptionBrowser"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// While a page comes in, the commands that need the whole text are unavailable and typing does
// nothing; once it is in, the commands are back and the page is the document.
void TestPageLoader::commandsWaitForLoad()
{
    QFETCH(QString, name);
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    DocumentCommands &doc = form.documentCommands();
    const QString big = m_dir->filePath("big.html");
    const QByteArray bytes = page(40000);
    writeFile(big, bytes);
    slowDown(form.pageLoader());
    QVERIFY(doc.openDocument(big, true));
    QTRY_VERIFY(form.pageLoader()->loaded() > 0);

    QAction *action = form.action(name);
    QVERIFY(!action->isEnabled());
    // What has come in can be scrolled through with the keys.
    QScrollBar *bar = form.textArea()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 100);
    QTest::keyClick(form.textArea(), Qt::Key_PageDown);
    QVERIFY(bar->value() > 0);
    const qsizetype loaded = form.pageLoader()->loaded();
    QTest::keyClicks(form.textArea(), QStringLiteral("abc"));
    QVERIFY(!form.services().Text1.text().contains(u"abc"));
    QVERIFY(form.pageLoader()->loaded() >= loaded);
    QVERIFY(doc.isLoading());
    QCOMPARE(form.services().CommonDialog1.fileName, QString());

    QTRY_VERIFY_WITH_TIMEOUT(!doc.isLoading(), 20000);
    QVERIFY(action->isEnabled());
    QCOMPARE(form.services().CommonDialog1.fileName, big);
    QCOMPARE(doc.file_text(), QString::fromLatin1(bytes));
    QCOMPARE(form.services().Text1.text(), doc.file_text());
    QVERIFY(!doc.changed());
    QVERIFY(form.action(QStringLiteral("mnuFileOverwrite"))->isEnabled());
    QTest::keyClicks(form.textArea(), QStringLiteral("abc"));
    QVERIFY(form.services().Text1.text().startsWith(u"abc<p>line 0 "));
    QVERIFY(doc.changed());
}

// A draft that is due while a page comes in waits (the half-loaded page is no edit); once the
// open is cancelled, the draft written is the earlier text.
void TestPageLoader::draftAfterCancelledOpen()
{
    qint64 now = 0;
    Form1 form;
    form.draftKeeper().setClock([&] { return now; });
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(form.textArea(), QStringLiteral("typed"));
    QVERIFY(form.draftKeeper().isPending());

    const QString big = m_dir->filePath("big.html");
    writeFile(big, page(40000));
    slowDown(form.pageLoader());
    QVERIFY(form.documentCommands().openDocument(big, true));
    QTRY_VERIFY(form.pageLoader()->loaded() > 0);
    // The keeper's time comes while the page comes in.
    now += 60'000;
    form.draftKeeper().poll();
    form.draftKeeper().waitForWriting();
    QTest::keyClick(form.textArea(), Qt::Key_Escape);
    QVERIFY(!form.documentCommands().isLoading());
    QTRY_VERIFY(!form.draftKeeper().isPending());
    form.draftKeeper().waitForWriting();
    QTest::qWait(50);
    form.draftKeeper().waitForWriting();
    const auto draft = readDraft(form.draftKeeper().path());
    QVERIFY(draft);
    QCOMPARE(draft->text, QStringLiteral("typed"));
}

// Typing in a page opened over time reaches the draft: the text box follows the document the
// page came in (its edit reports and the text it holds for the snapshot), so the draft after a
// key holds the page and the key, and the check window hears of the change.
void TestPageLoader::draftAfterCompletedOpen()
{
    qint64 now = 0;
    Form1 form;
    form.draftKeeper().setClock([&] { return now; });
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QString big = m_dir->filePath("big.html");
    const QByteArray bytes = page(40000);
    writeFile(big, bytes);
    QVERIFY(form.documentCommands().openDocument(big, true));
    QVERIFY(form.documentCommands().isLoading());
    QTRY_VERIFY_WITH_TIMEOUT(!form.documentCommands().isLoading(), 20000);
    // As after an open at once, the snapshot is the text the page came in as.
    QCOMPARE(form.services().Text1.textSnapshot()(), QString::fromLatin1(bytes));
    form.action(QStringLiteral("mnuOptionCheck"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.checkWindow()->isRunning(), 20000);
    const QString checked = form.checkWindow()->statusText();

    form.textArea()->activateWindow();
    form.textArea()->setFocus();
    QTest::keyClicks(form.textArea(), QStringLiteral("typed"));
    QTRY_VERIFY(form.draftKeeper().isPending());
    now += 60'000;
    form.draftKeeper().poll();
    form.draftKeeper().waitForWriting();
    const auto draft = readDraft(form.draftKeeper().path());
    QVERIFY(draft);
    QCOMPARE(draft->text, QStringLiteral("typed") + QString::fromLatin1(bytes));
    QCOMPARE(draft->field("file"), std::optional<QString>(big));
    QVERIFY(form.checkWindow()->statusText() != checked);
}

// An open request from the desktop that comes while a page is being opened waits for that open,
// then is taken as usual.
void TestPageLoader::desktopRequestWaitsForLoad()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QString big = m_dir->filePath("big.html");
    const QString next = m_dir->filePath("next.html");
    writeFile(big, page(40000));
    writeFile(next, "<p>next</p>");
    slowDown(form.pageLoader());
    QVERIFY(form.documentCommands().openDocument(big, true));
    QTRY_VERIFY(form.pageLoader()->loaded() > 0);
    form.openRequested(QFile::encodeName(next));
    QVERIFY(form.documentCommands().isLoading());
    QCOMPARE(form.services().CommonDialog1.fileName, QString());
    QTRY_COMPARE_WITH_TIMEOUT(form.services().CommonDialog1.fileName, next, 20000);
    QCOMPARE(form.services().Text1.text(), QStringLiteral("<p>next</p>"));
}

void TestPageLoader::closeDuringLoad_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ends");
    QTest::newRow("終了します: Cancel") << int(Qt::Key_Escape) << false;
    QTest::newRow("終了します: OK") << int(Qt::Key_Return) << true;
}

// Closing the window cancels the open; the exit question is then about the earlier document.
void TestPageLoader::closeDuringLoad()
{
    QFETCH(int, answer);
    QFETCH(bool, ends);
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // An unchanged small page: the only question is "終了します".
    const QString small = m_dir->filePath("small.html");
    writeFile(small, "earlier");
    QVERIFY(form.documentCommands().openDocument(small, true));
    const QString big = m_dir->filePath("big.html");
    writeFile(big, page(40000));
    slowDown(form.pageLoader());
    QVERIFY(form.documentCommands().openDocument(big, true));
    QTRY_VERIFY(form.pageLoader()->loaded() > 0);

    QStringList asked;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        asked.append(box->text());
        QTest::keyClick(keyTarget(box), Qt::Key(answer));
    });
    const bool closed = form.close();
    QCOMPARE(asked, QStringList{QStringLiteral("終了します")});
    QCOMPARE(closed, ends);
    QCOMPARE(form.hasEnded(), ends);
    QVERIFY(!form.documentCommands().isLoading());
    QCOMPARE(form.services().Text1.text(), QStringLiteral("earlier"));
    QCOMPARE(form.services().CommonDialog1.fileName, small);
}

void TestPageLoader::openSizes_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("overTime");
    const qsizetype limit = Form1::loadOverTimeFrom;
    QTest::newRow("0 bytes") << qsizetype(0) << false;
    QTest::newRow("1 byte") << qsizetype(1) << false;
    QTest::newRow("16385 bytes") << qsizetype(16385) << false;
    QTest::newRow("one byte below the limit") << limit - 1 << false;
    QTest::newRow("the limit") << limit << true;
    QTest::newRow("3 MiB") << qsizetype(3 * 1024 * 1024) << true;
}

// Small pages open at once as before; from the limit on they open over time. Either way the text,
// file_text and the line ends come out the same, and Overwrite writes the bytes back.
void TestPageLoader::openSizes()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, overTime);
    // Lines with kanji in UTF-8 and a lone LF now and then, cut to the size.
    QByteArray bytes;
    for (int i = 0; bytes.size() < size - 64; ++i)
        bytes += (i % 7 ? "<p>漢字かな " : "<p>lf ") + QByteArray::number(i) +
                 (i % 7 ? "</p>\r\n" : "</p>\n");
    bytes += QByteArray(size - bytes.size(), 'x');
    const QString path = m_dir->filePath("page.html");
    writeFile(path, bytes);

    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    DocumentCommands &doc = form.documentCommands();
    QVERIFY(doc.openDocument(path, true));
    QCOMPARE(doc.isLoading(), overTime);
    QTRY_VERIFY_WITH_TIMEOUT(!doc.isLoading(), 20000);
    QCOMPARE(form.services().CommonDialog1.fileName, path);
    QCOMPARE(form.services().Text1.text(), doc.file_text());
    QVERIFY(!doc.changed());
    QVERIFY(LineEnds::of(form.textArea()->document())->matchesDocument());
    form.action(QStringLiteral("mnuFileOverwrite"))->trigger();
    QCOMPARE(readWholeFile(path), std::optional<QByteArray>(bytes + "\r\n"));
}

QTEST_MAIN(TestPageLoader)
#include "tst_pageloader.moc"
