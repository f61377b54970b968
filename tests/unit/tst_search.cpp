#include "search/searchcommands.h"
#include "search/searchrule.h"
#include "support/fakes.h"

#include <QTest>

#include <new>

using namespace zimo;
using namespace zimo::test;

namespace {

const QString notFound = QStringLiteral("検索文字列が見つかりません");
const QString unfinished = QStringLiteral("まだ作成中です。");

// A main text area whose text cannot be read.
class FailingTextBox : public FakeTextBox
{
public:
    QString text() const override { throw std::bad_alloc(); }
};

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT
private slots:
    void rule_data();
    void rule();
    void buttons_data();
    void buttons();
    void previousShowsNoticeFirst();
    void readsEverythingAfresh();
    void failingStepReportsNotFound();
};

void TestSearch::rule_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("found");

    const QString crlf = QStringLiteral("\r\n");
    QTest::newRow("abcabc/bc from the start") << "abcabc" << "bc" << qsizetype(1) << qsizetype(2);
    QTest::newRow("abcabc/bc after the first") << "abcabc" << "bc" << qsizetype(4) << qsizetype(5);
    QTest::newRow("abcabc/bc at the match itself") << "abcabc" << "bc" << qsizetype(5) << qsizetype(5);
    QTest::newRow("abcabc/bc after the last") << "abcabc" << "bc" << qsizetype(7) << qsizetype(0);
    QTest::newRow("aaa/aa from the start") << "aaa" << "aa" << qsizetype(1) << qsizetype(1);
    QTest::newRow("aaa/aa overlapping skipped") << "aaa" << "aa" << qsizetype(3) << qsizetype(0);
    QTest::newRow("aaa/aa overlapping from 2") << "aaa" << "aa" << qsizetype(2) << qsizetype(2);
    QTest::newRow("case differs") << "ABC" << "abc" << qsizetype(1) << qsizetype(0);
    QTest::newRow("whole document") << "abc" << "abc" << qsizetype(1) << qsizetype(1);
    QTest::newRow("longer than the document") << "ab" << "abc" << qsizetype(1) << qsizetype(0);
    QTest::newRow("spaces are part of it") << "a b ab" << " ab" << qsizetype(1) << qsizetype(4);
    QTest::newRow("no pattern characters") << "a.c abc a*c" << "a*c" << qsizetype(1) << qsizetype(9);
    QTest::newRow("start below 1") << "abc" << "a" << qsizetype(0) << qsizetype(1);

    QTest::newRow("CR LF lines before the match")
        << "one" + crlf + "two" + crlf + "three find" << "find" << qsizetype(1) << qsizetype(17);
    QTest::newRow("caret mid-document")
        << "x1" + crlf + "x2" + crlf + "x3" << "x" << qsizetype(4) << qsizetype(5);
    QTest::newRow("line break in the search text")
        << "a" + crlf + "b" << "a" + crlf + "b" << qsizetype(1) << qsizetype(1);
    QTest::newRow("lone LF matches a lone LF only")
        << "a" + crlf + "b\nc" << "\n" << qsizetype(1) << qsizetype(5);
    QTest::newRow("lone CR matches a lone CR only")
        << "a" + crlf + "b\rc" << "\r" << qsizetype(1) << qsizetype(5);
    QTest::newRow("CR before a line break") << "a\r" + crlf << "\r" << qsizetype(1) << qsizetype(2);
    QTest::newRow("no half line break at the end") << "a" + crlf << "a\r" << qsizetype(1) << qsizetype(0);

    QTest::newRow("empty text at the start") << "abc" << "" << qsizetype(1) << qsizetype(1);
    QTest::newRow("empty text at the last character") << "abc" << "" << qsizetype(3) << qsizetype(3);
    QTest::newRow("empty text after the end") << "abc" << "" << qsizetype(4) << qsizetype(0);
    QTest::newRow("empty document, empty text") << "" << "" << qsizetype(1) << qsizetype(0);
    QTest::newRow("empty document") << "" << "a" << qsizetype(1) << qsizetype(0);

    const QString japanese = QStringLiteral("ＡＢＣabcｱｲｳあいうアイウ全角");
    QTest::newRow("half-width latin") << japanese << "abc" << qsizetype(1) << qsizetype(4);
    QTest::newRow("full-width latin") << japanese << QStringLiteral("ＡＢＣ") << qsizetype(1) << qsizetype(1);
    QTest::newRow("full-width is not upper case")
        << japanese << QStringLiteral("ａｂｃ") << qsizetype(1) << qsizetype(0);
    QTest::newRow("half-width katakana") << japanese << QStringLiteral("ｱｲｳ") << qsizetype(1) << qsizetype(7);
    QTest::newRow("hiragana") << japanese << QStringLiteral("あいう") << qsizetype(1) << qsizetype(10);
    QTest::newRow("katakana") << japanese << QStringLiteral("アイウ") << qsizetype(1) << qsizetype(13);
    QTest::newRow("katakana after the match")
        << japanese << QStringLiteral("アイウ") << qsizetype(14) << qsizetype(0);
    QTest::newRow("kanji") << japanese << QStringLiteral("全角") << qsizetype(1) << qsizetype(16);
}

void TestSearch::rule()
{
    QFETCH(QString, document);
    QFETCH(QString, searchText);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, found);
    QCOMPARE(findOnward(document, searchText, start), found);
}

// A sequence of clicks on one document; after each, the selection and the boxes shown by it.
void TestSearch::buttons_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<qsizetype>("caret");           // placed by the user before the first click
    QTest::addColumn<QList<int>>("clicks");         // 1: 検索開始, 2: 次を検索
    QTest::addColumn<QList<qsizetype>>("selStarts"); // after each click
    QTest::addColumn<QList<qsizetype>>("selLengths");
    QTest::addColumn<QList<bool>>("reported");      // whether the click said "not found"

    QTest::newRow("abcabc/bc") << "abcabc" << "bc" << qsizetype(0) << QList<int>{1, 2, 2}
                               << QList<qsizetype>{1, 4, 4} << QList<qsizetype>{2, 2, 2}
                               << QList<bool>{false, false, true};
    QTest::newRow("start again after the end")
        << "abcabc" << "bc" << qsizetype(6) << QList<int>{2, 1} << QList<qsizetype>{6, 1}
        << QList<qsizetype>{0, 2} << QList<bool>{true, false};
    QTest::newRow("aaa/aa") << "aaa" << "aa" << qsizetype(0) << QList<int>{1, 2}
                            << QList<qsizetype>{0, 0} << QList<qsizetype>{2, 2}
                            << QList<bool>{false, true};
    QTest::newRow("ABC/abc") << "ABC" << "abc" << qsizetype(1) << QList<int>{1, 2}
                             << QList<qsizetype>{1, 1} << QList<qsizetype>{0, 0}
                             << QList<bool>{true, true};
    QTest::newRow("second line") << "abc\r\nxbc\r\n" << "bc" << qsizetype(3) << QList<int>{2, 2}
                                 << QList<qsizetype>{6, 6} << QList<qsizetype>{2, 2}
                                 << QList<bool>{false, true};
    QTest::newRow("caret mid-document")
        << "ab ab ab ab" << "ab" << qsizetype(4) << QList<int>{2, 2} << QList<qsizetype>{6, 9}
        << QList<qsizetype>{2, 2} << QList<bool>{false, false};
    QTest::newRow("empty text from the start")
        << "abc" << "" << qsizetype(2) << QList<int>{1} << QList<qsizetype>{0}
        << QList<qsizetype>{0} << QList<bool>{false};
    QTest::newRow("empty text onward")
        << "abc" << "" << qsizetype(1) << QList<int>{2, 2, 2} << QList<qsizetype>{1, 1, 1}
        << QList<qsizetype>{0, 0, 0} << QList<bool>{false, false, false};
    QTest::newRow("empty text at the end")
        << "abc" << "" << qsizetype(3) << QList<int>{2} << QList<qsizetype>{3}
        << QList<qsizetype>{0} << QList<bool>{true};
    QTest::newRow("empty document") << "" << "" << qsizetype(0) << QList<int>{1, 2}
                                    << QList<qsizetype>{0, 0} << QList<qsizetype>{0, 0}
                                    << QList<bool>{true, true};
    QTest::newRow("empty document, text") << "" << "a" << qsizetype(0) << QList<int>{1, 2}
                                          << QList<qsizetype>{0, 0} << QList<qsizetype>{0, 0}
                                          << QList<bool>{true, true};
}

void TestSearch::buttons()
{
    QFETCH(QString, document);
    QFETCH(QString, searchText);
    QFETCH(qsizetype, caret);
    QFETCH(QList<int>, clicks);
    QFETCH(QList<qsizetype>, selStarts);
    QFETCH(QList<qsizetype>, selLengths);
    QFETCH(QList<bool>, reported);

    FakeTextBox mainText;
    FakeTextBox field; // the dialog's search field
    FakeMessageBox messageBox;
    int shownAgain = 0;
    int focusWhenShownAgain = -1;
    SearchCommands commands(mainText, field, messageBox, [&] {
        ++shownAgain;
        focusWhenShownAgain = mainText.focusCount;
    });
    mainText.setText(document);
    mainText.select(caret, 0);
    field.setText(searchText);

    for (qsizetype i = 0; i < clicks.size(); ++i) {
        messageBox.shown.clear();
        if (clicks[i] == 1)
            commands.Command1_Click();
        else
            commands.Command2_Click();
        const QString step = QStringLiteral("click %1").arg(i + 1);
        QVERIFY2(mainText.selStart() == selStarts[i] && mainText.selLength() == selLengths[i],
                 qPrintable(step + QStringLiteral(": selection %1+%2")
                                       .arg(mainText.selStart())
                                       .arg(mainText.selLength())));
        const QList<ShownMessage> expected =
            reported[i] ? QList<ShownMessage>{{notFound, MsgStyle::OkOnly, QString()}}
                        : QList<ShownMessage>{};
        QCOMPARE(messageBox.shown, expected);
        // The focus went to the main text area first, and the dialog came back after the step.
        QCOMPARE(mainText.focusCount, i + 1);
        QCOMPARE(shownAgain, i + 1);
        QCOMPARE(focusWhenShownAgain, i + 1);
    }
    QCOMPARE(mainText.text(), document);
}

void TestSearch::previousShowsNoticeFirst()
{
    FakeTextBox mainText;
    FakeTextBox field; // the dialog's search field
    FakeMessageBox messageBox;
    QList<int> focusAtBox;
    messageBox.onShow = [&](const ShownMessage &) { focusAtBox.append(mainText.focusCount); };
    int shownAgain = 0;
    SearchCommands commands(mainText, field, messageBox, [&] { ++shownAgain; });
    mainText.setText(QStringLiteral("abcabcabc"));
    field.setText(QStringLiteral("bc"));
    mainText.select(4, 2);

    // The next occurrence, not the previous one.
    commands.Command3_Click();
    QCOMPARE(messageBox.shown, (QList<ShownMessage>{{unfinished, MsgStyle::OkOnly, QString()}}));
    QCOMPARE(mainText.selStart(), 7);
    QCOMPARE(mainText.selLength(), 2);
    QCOMPARE(focusAtBox, QList<int>{0}); // the notice came before the focus moved
    QCOMPARE(shownAgain, 1);

    // The notice also comes when nothing follows.
    commands.Command3_Click();
    QCOMPARE(messageBox.shown,
             (QList<ShownMessage>{{unfinished, MsgStyle::OkOnly, QString()},
                                  {unfinished, MsgStyle::OkOnly, QString()},
                                  {notFound, MsgStyle::OkOnly, QString()}}));
    QCOMPARE(mainText.selStart(), 7);
    QCOMPARE(mainText.selLength(), 2);
    QCOMPARE(shownAgain, 2);
}

// The dialog keeps no position: edits between clicks and a changed search text count at once.
void TestSearch::readsEverythingAfresh()
{
    FakeTextBox mainText;
    FakeTextBox field; // the dialog's search field
    FakeMessageBox messageBox;
    SearchCommands commands(mainText, field, messageBox, [] {});
    mainText.setText(QStringLiteral("one two one two"));
    field.setText(QStringLiteral("two"));

    commands.Command1_Click();
    QCOMPARE(mainText.selStart(), 4);
    field.setText(QStringLiteral("one"));
    commands.Command2_Click();
    QCOMPARE(mainText.selStart(), 8);
    QCOMPARE(mainText.selLength(), 3);

    mainText.setText(QStringLiteral("xx one"));
    mainText.select(1, 0);
    commands.Command2_Click();
    QCOMPARE(mainText.selStart(), 3);
    QCOMPARE(mainText.selLength(), 3);
    QVERIFY(messageBox.shown.isEmpty());
}

void TestSearch::failingStepReportsNotFound()
{
    FailingTextBox mainText;
    mainText.setText(QStringLiteral("abc"));
    mainText.select(1, 1);
    FakeTextBox field; // the dialog's search field
    field.setText(QStringLiteral("c"));
    FakeMessageBox messageBox;
    int shownAgain = 0;
    SearchCommands commands(mainText, field, messageBox, [&] { ++shownAgain; });

    commands.Command2_Click();
    QCOMPARE(messageBox.shown, (QList<ShownMessage>{{notFound, MsgStyle::OkOnly, QString()}}));
    QCOMPARE(mainText.selStart(), 1);
    QCOMPARE(mainText.selLength(), 1);
    QCOMPARE(shownAgain, 1);
}

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
