// The page check from the menu to the window "チェック結果": the rows, Enter and double click
// on a row, copying, one window at a time, and a check that runs while the user types on.

#include "app/form1.h"
#include "check/checkwindow.h"
#include "document/draft.h"
#include "platform/qt/textarea.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;

namespace {

// A page with a planted mistake of each kind on its own line.
const QString plantedPage = QStringLiteral(
    "<html>\r\n"                                      // 1: no DOCTYPE
    "<head><meta charset=\"Shift_JIS\"></head>\r\n"   // 2: no title; declared Shift_JIS
    "<body>\n"                                        // 3: (LF: mixed line ends)
    "<p><B>太字</p>\r\n"                              // 4: </b> missing
    "<table><tr><td>a</TD></TR></td></table>\r\n"     // 5: </td> unexpected
    "<p>&copy 2024 <IMG SRC=\"a.png\"></p>\r\n"       // 6: no semicolon, no alt
    "</body></html>\r\n");

QStringList rowTexts(const QTableView *table)
{
    QStringList rows;
    const QAbstractItemModel *m = table->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells.append(m->data(m->index(r, c)).toString());
        rows.append(cells.join(u'|'));
    }
    return rows;
}

} // namespace

class TestCheckWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void plantedMistakes();
    void nothingFound();
    void oneWindowRefreshed();
    void typingDuringACheck();
    void closedDuringACheck();

private:
    QTemporaryDir m_dir;
};

void TestCheckWindow::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY(QDir(defaultDraftFolder()).removeRecursively());
}

void TestCheckWindow::plantedMistakes()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.services().Text1.setText(plantedPage);
    // The document is UTF-8 (as if opened from a UTF-8 file): the declaration does not match.
    form.documentCommands().setEncoding({Encoding::Utf8, false}, EncodingOrigin::Recognised);

    QTest::keyClick(form.textArea(), Qt::Key_F7);
    CheckWindow *window = form.checkWindow();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("チェック結果"));
    QTRY_VERIFY(!window->isRunning());
    QVERIFY(!QApplication::overrideCursor());

    const QTableView *table = window->table();
    QCOMPARE(table->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("行"));
    QCOMPARE(table->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("内容"));
    const QStringList rows = rowTexts(table);
    const QStringList expected = {
        QStringLiteral("1|1|警告|<!DOCTYPE> 宣言がありません"),
        QStringLiteral("2|22|エラー|文字コードの宣言（Shift_JIS）とファイルの文字コード（UTF-8）が一致しません"),
        QStringLiteral("3|7|警告|改行の種類が混在しています（CR LF が 6 か所、LF が 1 か所）。この行の改行は LF です"),
        QStringLiteral("4|4|警告|</p> の前に </b> がありません"),
        QStringLiteral("6|4|警告|文字参照「&copy」の終わりに「;」がありません"),
        QStringLiteral("6|15|警告|<img> に属性「alt」がありません"),
    };
    for (const QString &row : expected)
        QVERIFY2(rows.contains(row), qPrintable(rows.join(u'\n')));
    QVERIFY2(rows.filter(QStringLiteral("</td>")).size() == 1, qPrintable(rows.join(u'\n')));
    QVERIFY2(rows.filter(QStringLiteral("title")).size() == 1, qPrintable(rows.join(u'\n')));
    // Document order.
    for (qsizetype i = 1; i < window->findings().size(); ++i)
        QVERIFY(window->findings()[i - 1].position <= window->findings()[i].position);
    QCOMPARE(window->statusText(), QStringLiteral("%1 件見つかりました。").arg(rows.size()));

    // Enter on the row of the missing alt puts the caret on the <IMG>.
    const int altRow = int(rows.indexOf(expected[5]));
    window->activateWindow();
    window->table()->setFocus();
    window->table()->setCurrentIndex(table->model()->index(altRow, 0));
    QTest::keyClick(window->table(), Qt::Key_Return);
    QCOMPARE(form.services().Text1.selStart(), plantedPage.indexOf(QStringLiteral("<IMG")));
    QCOMPARE(form.services().Text1.selLength(), 0);

    // A double click on the first row goes back to the start.
    const QRect cell = table->visualRect(table->model()->index(0, 3));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(form.services().Text1.selStart(), 0);
    // and on the mixed line end, to the end of line 3.
    const int lfRow = int(rows.indexOf(expected[2]));
    const QPoint lfCell = table->visualRect(table->model()->index(lfRow, 1)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, lfCell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, lfCell);
    QCOMPARE(form.services().Text1.selStart(), plantedPage.indexOf(QStringLiteral("\n<p>")));

    // Ctrl+C and the button copy every row, one a line.
    QApplication::clipboard()->clear();
    QTest::keyClick(window->table(), Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QCOMPARE(copied.count(u'\n'), rows.size());
    QVERIFY(copied.contains(QStringLiteral("行 6, 列 15: 警告: <img> に属性「alt」がありません\n")));
    QVERIFY(copied.startsWith(QStringLiteral("行 1, 列 1: 警告: <!DOCTYPE> 宣言がありません\n")));
    QApplication::clipboard()->clear();
    auto *copy = window->findChild<QPushButton *>(QStringLiteral("checkCopy"));
    QVERIFY(copy);
    QCOMPARE(copy->text(), QStringLiteral("コピー(&C)"));
    copy->click();
    QCOMPARE(QApplication::clipboard()->text(), copied);
}

void TestCheckWindow::nothingFound()
{
    Form1 form;
    form.Form_Load({});
    form.services().Text1.setText(QStringLiteral(
        "<!DOCTYPE html>\r\n<html lang=\"ja\">\r\n<head>\r\n<meta charset=\"Shift_JIS\">\r\n"
        "<title>日記</title>\r\n</head>\r\n<body>\r\n<p>今日は晴れ&amp;風。</p>\r\n</body>\r\n</html>\r\n"));
    form.action(QStringLiteral("mnuOptionCheck"))->trigger();
    CheckWindow *window = form.checkWindow();
    QVERIFY(window);
    QTRY_VERIFY(!window->isRunning());
    QVERIFY2(window->table()->model()->rowCount() == 0, qPrintable(rowTexts(window->table()).join(u'\n')));
    QCOMPARE(window->statusText(), QStringLiteral("問題は見つかりませんでした。"));
    QVERIFY(!window->findChild<QPushButton *>(QStringLiteral("checkCopy"))->isEnabled());
}

void TestCheckWindow::oneWindowRefreshed()
{
    Form1 form;
    form.Form_Load({});
    form.services().Text1.setText(QStringLiteral("<p>&copy"));
    form.action(QStringLiteral("mnuOptionCheck"))->trigger();
    QPointer<CheckWindow> first = form.checkWindow();
    QTRY_VERIFY(!first->isRunning());
    const qsizetype before = first->findings().size();
    QVERIFY(before > 0);

    form.services().Text1.setText(QStringLiteral("<p>&copy</p>\r\n<p>&reg</p>\n<img src=x>"));
    QTRY_VERIFY(first->statusText().contains(QStringLiteral("本文が変更されました")));
    form.action(QStringLiteral("mnuOptionCheck"))->trigger();
    QCOMPARE(form.checkWindow(), first.data());
    QTRY_VERIFY(!first->isRunning());
    QVERIFY(first->findings().size() > before);
    QVERIFY(!first->statusText().contains(QStringLiteral("本文が変更されました")));
    const QWidgetList tops = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(tops.begin(), tops.end(),
                           [](QWidget *w) { return qobject_cast<CheckWindow *>(w) != nullptr; }),
             1);

    // Closed, it is gone; the command makes a new one.
    first->close();
    QTRY_VERIFY(!first);
    form.action(QStringLiteral("mnuOptionCheck"))->trigger();
    QVERIFY(form.checkWindow());
    QTRY_VERIFY(!form.checkWindow()->isRunning());
}

void TestCheckWindow::typingDuringACheck()
{
    Form1 form;
    form.Form_Load({});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // A big page: the check takes a while on the worker while the main window answers.
    QString page;
    while (page.size() < 4 * 1024 * 1024)
        page += QStringLiteral("<p>行&copy <b>x</p>\r\n");
    form.services().Text1.setText(page);
    form.action(QStringLiteral("mnuOptionCheck"))->trigger();
    CheckWindow *window = form.checkWindow();
    QVERIFY(window->isRunning());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QCOMPARE(window->statusText(), QStringLiteral("チェックしています..."));
    // F7 again during the check starts no second one.
    QVERIFY(!window->start([] { return QString(); }, Encoding::Cp932));

    form.activateWindow();
    form.textArea()->setFocus();
    form.services().Text1.setSelStart(0);
    QTest::keyClicks(form.textArea(), QStringLiteral("abc"));
    QVERIFY(window->isRunning()); // typing was not held up behind the check
    QCOMPARE(form.services().Text1.text().left(3), QStringLiteral("abc"));

    QTRY_VERIFY_WITH_TIMEOUT(!window->isRunning(), 120000);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(window->statusText().contains(
        QStringLiteral("結果はチェックを始めたときの本文についてのものです")));
    // The findings are of the text as it was: the first "&copy" at column 5 of line 1.
    const auto first = *std::find_if(window->findings().begin(), window->findings().end(),
                                     [](const Finding &f) { return f.key == "MISSING_SEMICOLON"; });
    QCOMPARE(first.line, 1);
    QCOMPARE(first.column, 5);
}

void TestCheckWindow::closedDuringACheck()
{
    Form1 form;
    form.Form_Load({});
    QString page;
    while (page.size() < 1024 * 1024)
        page += QStringLiteral("<p>&copy <b>x</p>\n");
    form.services().Text1.setText(page);
    form.action(QStringLiteral("mnuOptionCheck"))->trigger();
    QPointer<CheckWindow> window = form.checkWindow();
    QVERIFY(window->isRunning());
    window->close();
    QTRY_VERIFY(!window);
    // The cursor is the user's again, and the worker ends on its own.
    QVERIFY(!QApplication::overrideCursor());
    CheckWindow::waitForRunningChecks();
    QTRY_COMPARE(CheckWindow::runningChecks(), 0);
}

QTEST_MAIN(TestCheckWindow)
#include "tst_checkwindow.moc"
