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
    auto row = [](const char *name, const QString &document, const QString &searchText,
                  qsizetype start, qsizetype found) {
        QTest::newRow(name) << document << searchText << start << found;
    };

    const QString crlf = QStringLiteral("\r\n");
    row("abcabc/bc from the start", "abcabc", "bc", 1, 2);
    row("abcabc/bc after the first", "abcabc", "bc", 4, 5);
    row("abcabc/bc at the match itself", "abcabc", "bc", 5, 5);
    row("abcabc/bc after the last", "abcabc", "bc", 7, 0);
    row("aaa/aa from the start", "aaa", "aa", 1, 1);
    row("aaa/aa overlapping skipped", "aaa", "aa", 3, 0);
    row("aaa/aa overlapping from 2", "aaa", "aa", 2, 2);
    row("case differs", "ABC", "abc", 1, 0);
    row("whole document", "abc", "abc", 1, 1);
    row("longer than the document", "ab", "abc", 1, 0);
    row("spaces are part of it", "a b ab", " ab", 1, 4);
    row("no pattern characters", "a.c abc a*c", "a*c", 1, 9);
    row("start below 1", "abc", "a", 0, 1);

    row("CR LF lines before the match", "one" + crlf + "two" + crlf + "three find", "find", 1, 17);
    row("caret mid-document", "x1" + crlf + "x2" + crlf + "x3", "x", 4, 5);
    row("line break in the search text", "a" + crlf + "b", "a" + crlf + "b", 1, 1);
    row("lone LF matches a lone LF only", "a" + crlf + "b\nc", "\n", 1, 5);
    row("lone CR matches a lone CR only", "a" + crlf + "b\rc", "\r", 1, 5);
    row("CR before a line break", "a\r" + crlf, "\r", 1, 2);
    row("no half line break at the end", "a" + crlf, "a\r", 1, 0);

    row("empty text at the start", "abc", "", 1, 1);
    row("empty text at the last character", "abc", "", 3, 3);
    row("empty text after the end", "abc", "", 4, 0);
    row("empty document, empty text", "", "", 1, 0);
    row("empty document", "", "a", 1, 0);

    const QString japanese = QStringLiteral("ＡＢＣabcｱｲｳあいうアイウ全角");
    row("half-width latin", japanese, "abc", 1, 4);
    row("full-width latin", japanese, QStringLiteral("ＡＢＣ"), 1, 1);
    row("full-width is not upper case", japanese, QStringLiteral("ａｂｃ"), 1, 0);
    row("half-width katakana", japanese, QStringLiteral("ｱｲｳ"), 1, 7);
    row("hiragana", japanese, QStringLiteral("あいう"), 1, 10);
    row("katakana", japanese, QStringLiteral("アイウ"), 1, 13);
    row("katakana after the match", japanese, QStringLiteral("アイウ"), 14, 0);
    row("kanji", japanese, QStringLiteral("全角"), 1, 16);
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
    QTest::addColumn<qsizetype>("caret");            // placed by the user before the first click
    QTest::addColumn<QList<int>>("clicks");          // 1: 検索開始, 2: 次を検索
    QTest::addColumn<QList<qsizetype>>("selStarts"); // after each click
    QTest::addColumn<QList<qsizetype>>("selLengths");
    QTest::addColumn<QList<bool>>("reported"); // whether the click said "not found"

    using Sizes = QList<qsizetype>;
    auto row = [](const char *name, const QString &document, const QString &searchText,
                  qsizetype caret, QList<int> clicks, Sizes selStarts, Sizes selLengths,
                  QList<bool> reported) {
        QTest::newRow(name) << document << searchText << caret << clicks << selStarts << selLengths
                            << reported;
    };
    row("abcabc/bc", "abcabc", "bc", 0, {1, 2, 2}, {1, 4, 4}, {2, 2, 2}, {false, false, true});
    row("aaa/aa", "aaa", "aa", 0, {1, 2}, {0, 0}, {2, 2}, {false, true});
    row("caret mid-document", "ab ab ab ab", "ab", 4, {2, 2}, {6, 9}, {2, 2}, {false, false});
    row("empty text", "abc", "", 2, {2, 1}, {2, 0}, {0, 0}, {false, false});
    row("empty text at the end", "abc", "", 3, {2}, {3}, {0}, {true});
    row("empty document", "", "", 0, {1, 2}, {0, 0}, {0, 0}, {true, true});
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
    QCOMPARE(messageBox.shown, (QList<ShownMessage>{{unfinished, MsgStyle::OkOnly, QString()},
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
