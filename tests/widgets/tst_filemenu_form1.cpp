// The File menu's questions on a real main window: the close box and "終了(&X)" answered through
// real message boxes, and documents read into and written from the real text area.
#include "app/form1.h"
#include "document/cp932.h"
#include "document/draft.h"
#include "platform/files.h"
#include "platform/qt/textarea.h"
#include "support/fakes.h"
#include "whenshown.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;
using zimo::test::keyTarget;
using zimo::test::whenShown;

Q_DECLARE_METATYPE(QMessageBox::Icon)

namespace {

// One box as the user saw it.
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool operator==(const SeenBox &) const = default;
};

const SeenBox askOverwrite{"ZIMO", "上書き保存しますか？", QMessageBox::Question};
const SeenBox askEnd{"ZIMO", "終了します", QMessageBox::NoIcon};

// Answers the boxes shown from now on, one key each (Return: the default button; Escape).
void answerBoxes(QList<int> keys, QList<SeenBox> *seen)
{
    if (keys.isEmpty())
        return;
    whenShown<QMessageBox>([keys, seen](QMessageBox *box) {
        seen->append({box->windowTitle(), box->text(), box->icon()});
        // The next box is looked for before this one is answered: it may come straight after.
        answerBoxes(keys.mid(1), seen);
        QTest::keyClick(keyTarget(box), Qt::Key(keys.first()));
    });
}

// Ending the program leaves the application's "quit now" mark set, which would make the next
// modal box return at once; running the event loop once clears it for the next test.
void clearQuit()
{
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestFileMenuForm1 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { clearQuit(); }
    void endQuestions_data();
    void endQuestions();
    void documentThroughTextArea_data();
    void documentThroughTextArea();
    void draftOfTypingRestoredAtNextStart();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFileMenuForm1::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir::setCurrent(m_dir->path());
    // No draft of an earlier test leads Form_Load to its question.
    QVERIFY(QDir(defaultDraftFolder()).removeRecursively());
}

void TestFileMenuForm1::endQuestions_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QList<SeenBox>>("asked");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("ends");
    const int ret = Qt::Key_Return, esc = Qt::Key_Escape;
    auto row = [&](const char *name, bool closeBox) -> QTestData & {
        return QTest::newRow(name) << closeBox;
    };
    row("close box: unchanged, OK", true)
        << false << QList<int>{ret} << QList<SeenBox>{askEnd} << false << true;
    row("close box: unchanged, Cancel", true)
        << false << QList<int>{esc} << QList<SeenBox>{askEnd} << false << false;
    row("close box: changed, OK, OK", true)
        << true << QList<int>{ret, ret} << QList<SeenBox>{askOverwrite, askEnd} << true << true;
    row("close box: changed, Cancel, OK", true)
        << true << QList<int>{esc, ret} << QList<SeenBox>{askOverwrite, askEnd} << false << true;
    row("close box: changed, OK, Cancel", true)
        << true << QList<int>{ret, esc} << QList<SeenBox>{askOverwrite, askEnd} << true << false;
    row("Exit: changed, OK, OK", false)
        << true << QList<int>{ret, ret} << QList<SeenBox>{askOverwrite, askEnd} << true << true;
    row("Exit: unchanged, Cancel", false)
        << false << QList<int>{esc} << QList<SeenBox>{askEnd} << false << false;
}

// The close box and "終了(&X)" ask the same questions; only "終了します" answered OK ends.
void TestFileMenuForm1::endQuestions()
{
    QFETCH(bool, closeBox);
    QFETCH(bool, edit);
    QFETCH(QList<int>, keys);
    QFETCH(QList<SeenBox>, asked);
    QFETCH(bool, written);
    QFETCH(bool, ends);

    const QString path = m_dir->filePath("doc.txt");
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // The document as after "上書き(&S)" of doc.txt.
    Services &s = form.services();
    s.Text1.setText(QStringLiteral("v1"));
    s.CommonDialog1.fileName = path;
    s.mnuFileOverwrite.setEnabled(true);
    form.documentCommands().over_text();
    QVERIFY(!form.documentCommands().changed());
    if (edit) {
        s.Text1.setSelStart(2);
        QTest::keyClicks(form.textArea(), QStringLiteral(" v2"));
    }

    QList<SeenBox> seen;
    answerBoxes(keys, &seen);
    bool closed = false;
    if (closeBox)
        closed = form.close();
    else
        form.action(QStringLiteral("mnuFileEnd"))->trigger();
    QTRY_COMPARE(seen.size(), asked.size());
    QCOMPARE(seen, asked);

    QCOMPARE(form.hasEnded(), ends);
    QCOMPARE(form.isVisible(), !ends);
    if (closeBox)
        QCOMPARE(closed, ends);
    QCOMPARE(readWholeFile(path), std::optional<QByteArray>(written ? "v1 v2\r\n" : "v1\r\n"));
    if (!ends)
        QCOMPARE(s.Text1.text(), edit ? QStringLiteral("v1 v2") : QStringLiteral("v1"));
}

void TestFileMenuForm1::documentThroughTextArea_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray table;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char cell[2] = {char(lead), char(trail)};
            const QString one = cp932::decode(QByteArrayView(cell, 2));
            if (one.size() == 1 && (one[0].unicode() & 0xFF00) != 0xDC00)
                table.append(cell, 2);
        }
        table.append("\r\n");
    }
    QTest::newRow("every double-byte character") << table;
    QTest::newRow("line ends") << QByteArray("a\r\n\r\nb\rc\nd\r\r\ne\n\rf\r");
    QTest::newRow("control and undecodable bytes")
        << QByteArray("\x00\x01\x0b\x0c\x1f\x7f|\x80\xa0\xfd\xfe\xff|\x81\x0d\x0a\x81", 20);
    QTest::newRow("half-width kana and ASCII") << QByteArray("<P>\xb1\xb2\xdf\x20\x7e</P>");
}

// A file opened into the real text area and written back with Overwrite: the same bytes and one
// more CR LF (the lines holding the table's duplicate cells keep their bytes, as the text area
// gives them back unchanged).
void TestFileMenuForm1::documentThroughTextArea()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir->filePath("t.txt");
    writeFile(path, bytes);

    TextArea area;
    area.show();
    PlainTextBox text(&area);
    test::FakePlatform p;
    Services s{text, p.messageBox, p.dialog, p.printer, p.shell, p.app, p.mnuEditBack,
               p.mnuFileOverwrite};
    DocumentCommands doc(s);
    p.dialog.fileAnswers.enqueue(path);
    doc.mnuFileOpen_Click();
    QCOMPARE(text.text(), cp932::decode(bytes));
    QVERIFY(!doc.changed());
    doc.mnuFileOverwrite_Click();
    QVERIFY(p.messageBox.shown.isEmpty());

    const QByteArray written = readWholeFile(path).value_or(QByteArray());
    QCOMPARE(written.toHex(' '), (bytes + "\r\n").toHex(' '));
}

// Keys typed into the real text area are kept as a draft a moment later, with the document's file;
// a window that was not ended leaves it, and the next start offers it back; ending removes it.
void TestFileMenuForm1::draftOfTypingRestoredAtNextStart()
{
    const QString path = m_dir->filePath("doc.txt");
    const QString draftPath = defaultDraftFolder() + QStringLiteral("/draft");
    {
        Form1 form;
        form.Form_Load({});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Services &s = form.services();
        s.Text1.setText(QStringLiteral("line 1\r\nline 2\rlone CR"));
        s.CommonDialog1.fileName = path;
        s.mnuFileOverwrite.setEnabled(true);
        form.documentCommands().over_text();
        s.Text1.setSelStart(8);
        QTest::keyClicks(form.textArea(), QStringLiteral("typed "));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(draftPath), 5000);
        form.draftKeeper().waitForWriting();
        // Undone back to the file's text: the journal finds it typed back and the draft goes;
        // redone, it is there again.
        QTest::keyClick(form.textArea(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.Text1.text(), QStringLiteral("line 1\r\nline 2\rlone CR"));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(draftPath), 5000);
        QTest::keyClick(form.textArea(), Qt::Key_Y, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(draftPath), 5000);
        form.draftKeeper().waitForWriting();
        const auto draft = readDraft(draftPath);
        QVERIFY(draft);
        QCOMPARE(draft->text, QStringLiteral("line 1\r\ntyped line 2\rlone CR"));
        QCOMPARE(draft->field("file"), std::optional<QString>(path));
    } // gone without ending, as when killed

    // Started again with a document on the command line: the draft is restored, the document is
    // not inserted into it, and the user is told.
    const QString given = m_dir->filePath("given.txt");
    writeFile(given, "given line\r\n");
    Form1 form;
    QList<SeenBox> seen;
    answerBoxes({Qt::Key_Return, Qt::Key_Return}, &seen); // Yes, the default button; OK
    form.Form_Load({given});
    const SeenBox askRestore{"ZIMO",
                             "前回保存されなかった編集内容があります。復元しますか？\n\nファイル："
                                 + path,
                             QMessageBox::Question};
    const SeenBox notLoaded{"ZIMO",
                            "前回の文書を復元したので、起動時に指定されたファイル「" + given
                                + "」は読み込んでいません。",
                            QMessageBox::Warning};
    QCOMPARE(seen, (QList<SeenBox>{askRestore, notLoaded}));
    Services &s = form.services();
    QCOMPARE(s.Text1.text(), QStringLiteral("line 1\r\ntyped line 2\rlone CR"));
    QCOMPARE(s.CommonDialog1.fileName, path);
    QVERIFY(form.action(QStringLiteral("mnuFileOverwrite"))->isEnabled());
    QCOMPARE(form.documentCommands().file_text(), QStringLiteral("line 1\r\nline 2\rlone CR\r\n"));
    QVERIFY(form.documentCommands().changed());

    // Exit, not saving: the draft goes with the program.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    seen.clear();
    answerBoxes({Qt::Key_Escape, Qt::Key_Return}, &seen);
    form.action(QStringLiteral("mnuFileEnd"))->trigger();
    QTRY_COMPARE(seen.size(), 2);
    QVERIFY(form.hasEnded());
    QVERIFY(!QFileInfo::exists(draftPath));
    QCOMPARE(readWholeFile(path), std::optional<QByteArray>("line 1\r\nline 2\rlone CR\r\n"));
}

QTEST_MAIN(TestFileMenuForm1)
#include "tst_filemenu_form1.moc"
