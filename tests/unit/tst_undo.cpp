#include "document/undostore.h"
#include "support/fakes.h"

#include <QTest>

using namespace zimo;
using namespace zimo::test;

namespace {

// A text box, the "I'll be back" item and the store over them, as the main window has them.
struct Rig
{
    FakeTextBox text;
    FakeMenuItem mnuEditBack{true};
    UndoStore undo{text, mnuEditBack};

    Rig(const QString &start)
    {
        undo.reset();
        text.setText(start);
    }
    // A markup command as the store sees it: the snapshot, then the command's new text.
    void command(const QString &result)
    {
        undo.keep_text();
        text.setText(result);
    }
};

const QString T0 = QStringLiteral("T0 first\r\nline\r\n");
const QString T1 = QStringLiteral("T1 <BR>\r\n");
const QString T2 = QStringLiteral("T2\r\n<CENTER>\r\n");
const QString T3 = QStringLiteral("T3 末尾");

} // namespace

class TestUndo : public QObject
{
    Q_OBJECT
private slots:
    void workedTable_data();
    void workedTable();
    void commandAfterBackFillsFreedSlot();
    void typingAfterCommandIsLost();
    void snapshotOfUnchangedText();
    void backWithNothingStoredDoesNothing();
    void resetForgetsSnapshots();
};

// The sequence from start: three commands (T0 -> T1 -> T2 -> T3), then "I'll be back" until it is
// disabled. Each row runs the sequence up to its step and checks the state after it.
void TestUndo::workedTable_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<QStringList>("snapshots");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("backEnabled");

    const QString e;
    QTest::newRow("start") << 0 << QStringList{e, e, e} << 0 << T0 << false;
    QTest::newRow("first command") << 1 << QStringList{T0, e, e} << 1 << T1 << true;
    QTest::newRow("second command") << 2 << QStringList{T0, T1, e} << 2 << T2 << true;
    QTest::newRow("third command") << 3 << QStringList{T1, T2, T2} << 2 << T3 << true;
    QTest::newRow("I'll be back") << 4 << QStringList{T1, T2, T2} << 1 << T2 << true;
    QTest::newRow("I'll be back again") << 5 << QStringList{T1, T2, T2} << 0 << T1 << false;
}

void TestUndo::workedTable()
{
    QFETCH(int, steps);
    QFETCH(QStringList, snapshots);
    QFETCH(int, count);
    QFETCH(QString, text);
    QFETCH(bool, backEnabled);

    Rig rig(T0);
    const QStringList results{T1, T2, T3};
    for (int step = 0; step < steps; ++step) {
        if (step < 3)
            rig.command(results[step]);
        else
            rig.undo.back_text();
    }
    const auto &stored = rig.undo.keep_slots();
    QCOMPARE((QStringList{stored[0], stored[1], stored[2]}), snapshots);
    QCOMPARE(rig.undo.keep_count(), count);
    QCOMPARE(rig.text.text(), text);
    QCOMPARE(rig.mnuEditBack.enabled, backEnabled);
}

void TestUndo::commandAfterBackFillsFreedSlot()
{
    Rig rig(T0);
    rig.command(T1);
    rig.command(T2);
    rig.undo.back_text(); // two snapshots -> one; text T1
    QCOMPARE(rig.text.text(), T1);

    const QString T4 = QStringLiteral("T4");
    rig.command(T4); // stores T1 in the slot just freed
    QCOMPARE(rig.undo.keep_count(), 2);
    QCOMPARE(rig.undo.keep_slots()[0], T0);
    QCOMPARE(rig.undo.keep_slots()[1], T1);

    rig.undo.back_text();
    QCOMPARE(rig.text.text(), T1);
    rig.undo.back_text();
    QCOMPARE(rig.text.text(), T0);
    QVERIFY(!rig.mnuEditBack.enabled);
}

void TestUndo::typingAfterCommandIsLost()
{
    Rig rig(T0);
    rig.command(T1);
    rig.text.select(rig.text.text().size(), 0);
    rig.text.setSelText(QStringLiteral("typed afterwards"));
    rig.undo.back_text();
    QCOMPARE(rig.text.text(), T0);
}

void TestUndo::snapshotOfUnchangedText()
{
    Rig rig(T0);
    rig.undo.keep_text(); // a command that then changes nothing
    QVERIFY(rig.mnuEditBack.enabled);
    QCOMPARE(rig.undo.keep_count(), 1);
    rig.undo.back_text();
    QCOMPARE(rig.text.text(), T0);
    QVERIFY(!rig.mnuEditBack.enabled);
}

void TestUndo::backWithNothingStoredDoesNothing()
{
    Rig rig(T0);
    rig.undo.back_text();
    QCOMPARE(rig.text.text(), T0);
    QCOMPARE(rig.undo.keep_count(), 0);
    QVERIFY(!rig.mnuEditBack.enabled);
    // and the store still works afterwards
    rig.command(T1);
    rig.undo.back_text();
    QCOMPARE(rig.text.text(), T0);
}

void TestUndo::resetForgetsSnapshots()
{
    Rig rig(T0);
    rig.command(T1);
    rig.undo.reset();
    QCOMPARE(rig.undo.keep_count(), 0);
    QVERIFY(!rig.mnuEditBack.enabled);
}

QTEST_GUILESS_MAIN(TestUndo)
#include "tst_undo.moc"
