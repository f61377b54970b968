// The changes the real text area reports (what drafts are made of): replayed one after another on
// the text as it was, they give the text as it is, through typing, line ends of every kind, undo
// and redo, commands that replace the selection or the whole text, and the colouring. The
// snapshot drafts take after a command gives the text as well.
#include "app/form1.h"
#include "document/draft.h"
#include "platform/qt/textarea.h"

#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;

class TestEditReports : public QObject
{
    Q_OBJECT
private slots:
    // A draft left by an earlier test would lead Form_Load to its question.
    void init() { QVERIFY(QDir(defaultDraftFolder()).removeRecursively()); }
    void replayGivesTheText_data();
    void replayGivesTheText();
};

// Steps: "keys:TEXT" typed, "key:NAME" (Return, Backspace, Delete, Undo, Redo, Cut, Paste),
// "at:N" the caret to model position N, "sel:N,L" a selection, "put:TEXT" the selection replaced
// by a command, "all:TEXT" the whole text replaced. In TEXT, \r and \n stand for CR and LF.
void TestEditReports::replayGivesTheText_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("steps");
    const QString page = QStringLiteral("<HTML>\\r\\n<P>一行目</P>\\r\\nlone LF\\nlone CR\\rend");
    QTest::newRow("typing and Enter") << page << QStringList{"at:8", "keys:abc", "key:Return", "keys:x"};
    QTest::newRow("Backspace joins lines across CR LF")
        << page << QStringList{"at:8", "key:Backspace", "key:Backspace", "keys:y"};
    QTest::newRow("Delete a lone CR and a lone LF")
        << page << QStringList{"at:31", "key:Delete", "at:23", "key:Delete"};
    QTest::newRow("selection over lines typed over")
        << page << QStringList{"sel:3,20", "keys:Z", "sel:0,0", "keys:<!--"};
    QTest::newRow("undo and redo")
        << page << QStringList{"at:8", "keys:abc", "key:Return", "sel:2,10", "key:Delete",
                               "key:Undo", "key:Undo", "key:Redo", "key:Undo", "key:Undo",
                               "key:Redo"};
    QTest::newRow("cut and paste")
        << page << QStringList{"sel:6,12", "key:Cut", "at:0", "key:Paste", "key:Undo"};
    QTest::newRow("commands: selection with every line end, whole text")
        << page << QStringList{"sel:2,4", "put:a\\r\\nb\\nc\\rd", "all:new\\r\\ntext\\n", "at:3",
                               "keys:q", "all:", "keys:w"};
    // A long line is held as paragraphs joined by breaks that stand for no character: typing
    // that makes a paragraph too long cuts it again, and none of that is a change of the text.
    QString longLine;
    for (int i = 0; i < 120; ++i)
        longLine += QStringLiteral("<TD>%1</TD>").arg(i, 3, 10, QLatin1Char('0'));
    QTest::newRow("long line: typing past the cut, Backspace at a join, undo")
        << longLine + QStringLiteral("\r\nnext")
        << QStringList{"at:195", "keys:" + QString(260, u'a'), "at:400", "key:Backspace",
                       "at:0", "key:Delete", "key:Undo", "key:Undo", "key:Redo",
                       "sel:150,300", "keys:z"};
    // Overwrite hands the text it wrote to the draft; typing on, the snapshot follows the text.
    QTest::newRow("overwrite, type on, undo, overwrite again")
        << page << QStringList{"at:8", "keys:abc", "over:", "keys:x", "key:Undo", "over:",
                               "key:Undo", "key:Redo"};
    QTest::newRow("empty text") << QString() << QStringList{"keys:a", "key:Backspace", "key:Return"};
    // Moving through a long page colours what comes on screen: that changes no character and
    // reports nothing.
    QString longPage;
    for (int i = 0; i < 3000; ++i)
        longPage += QStringLiteral("<TR><TD>%1</TD></TR><!-- \r\n").arg(i);
    QTest::newRow("moving through a long page")
        << longPage << QStringList{"key:End", "key:PageUp", "key:PageUp", "key:Home", "keys:x", "key:End"};
}

void TestEditReports::replayGivesTheText()
{
    QFETCH(QString, start);
    QFETCH(QStringList, steps);
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TextBox &box = form.services().Text1;
    box.setText(start);
    QString replayed = start;
    int reports = 0;
    bool fits = true;
    QVERIFY(box.reportEdits([&](const TextEdit &e) {
        ++reports;
        const QString added = e.addedText();
        fits = fits && e.added == added.size() &&
               replayed.size() - e.position >= e.removed && e.removed >= 0;
        replayed.replace(e.position, e.removed, added);
    }));
    const auto unescape = [](QString s) {
        return s.replace(QLatin1String("\\r"), QLatin1String("\r"))
            .replace(QLatin1String("\\n"), QLatin1String("\n"));
    };
    QWidget *area = form.textArea();
    for (const QString &step : steps) {
        const int reportsBefore = reports;
        const QString textBefore = box.text();
        const QString arg = unescape(step.section(u':', 1));
        if (step.startsWith(u"keys:")) {
            QTest::keyClicks(area, arg);
        } else if (step.startsWith(u"key:")) {
            static const QHash<QString, std::pair<int, Qt::KeyboardModifiers>> keys{
                {"Return", {Qt::Key_Return, Qt::NoModifier}},
                {"Backspace", {Qt::Key_Backspace, Qt::NoModifier}},
                {"Delete", {Qt::Key_Delete, Qt::NoModifier}},
                {"Undo", {Qt::Key_Z, Qt::ControlModifier}},
                {"Redo", {Qt::Key_Y, Qt::ControlModifier}},
                {"Cut", {Qt::Key_X, Qt::ControlModifier}},
                {"Paste", {Qt::Key_V, Qt::ControlModifier}},
                {"End", {Qt::Key_End, Qt::ControlModifier}},
                {"Home", {Qt::Key_Home, Qt::ControlModifier}},
                {"PageUp", {Qt::Key_PageUp, Qt::NoModifier}}};
            const auto key = keys.value(arg);
            QTest::keyClick(area, Qt::Key(key.first), key.second);
        } else if (step.startsWith(u"at:")) {
            box.setSelStart(arg.toInt());
        } else if (step.startsWith(u"sel:")) {
            box.setSelStart(arg.section(u',', 0, 0).toInt());
            box.setSelLength(arg.section(u',', 1).toInt());
        } else if (step.startsWith(u"put:")) {
            box.setSelText(arg);
        } else if (step.startsWith(u"all:")) {
            box.setText(arg);
        } else if (step.startsWith(u"over:")) {
            QTemporaryDir dir;
            form.services().CommonDialog1.fileName = dir.filePath(QStringLiteral("page.html"));
            form.documentCommands().over_text();
            QVERIFY(!form.documentCommands().changed());
        }
        // Colouring and layout run between events.
        QCoreApplication::processEvents();
        QVERIFY2(fits, qPrintable(step));
        QCOMPARE(replayed, box.text());
        // The snapshot a draft takes after a command is the text too (held from setText()
        // until the first change).
        QCOMPARE(box.textSnapshot()(), replayed);
        // Every change is reported, and moving the caret or colouring reports nothing.
        const bool moves = QStringList{"key:End", "key:Home", "key:PageUp"}.contains(step) ||
                           step.startsWith(u"at:") || step.startsWith(u"sel:");
        if (moves)
            QCOMPARE(reports, reportsBefore);
        else if (box.text() != textBefore)
            QVERIFY2(reports > reportsBefore, qPrintable(step));
    }
    box.reportEdits({});
}

QTEST_MAIN(TestEditReports)
#include "tst_editreports.moc"
