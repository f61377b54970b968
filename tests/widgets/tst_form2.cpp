#include "app/form1.h"
#include "platform/twips.h"
#include "settings/exploresettings.h"
#include "settings/form2.h"
#include "support/fakes.h"
#include "whenshown.h"
#include "support/workfolder.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace zimo;
using namespace zimo::test;

namespace {

void writeIni(const QByteArray &bytes)
{
    QFile file(zimoIniName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::optional<QByteArray> iniBytes()
{
    QFile file(zimoIniName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QRect twipsRect(const QWidget *w, int left, int top, int width, int height)
{
    const double dx = w->logicalDpiX();
    const double dy = w->logicalDpiY();
    return QRect(twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
                 twipsToPixels(height, dy));
}

template <typename T> T *control(QWidget *form, const char *name)
{
    return form->findChild<T *>(QString::fromLatin1(name));
}

// The settings dialog as the main window opens it: made, loaded from zimo.ini and shown.
Form2 *openForm2(FakeMessageBox &messageBox, FakeShell &shell)
{
    auto *form = new Form2(messageBox, shell);
    form->Form_Load();
    form->show();
    return form;
}

} // namespace

// The detailed-settings dialog as a window: layout, opening from the main window, its buttons.
class TestForm2 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void layout();
    void tabOrderAndKeys();
    void longFolderShownShortened();
    void openFromMainWindowWithoutFile();
    void placedAndSingle();
    void browseAndOk();
    void closingWithoutOk_data();
    void closingWithoutOk();
    void okCannotWriteKeepsDialog();

private:
    std::unique_ptr<zimo::test::WorkFolder> m_dir;
};

void TestForm2::init()
{
    m_dir = std::make_unique<zimo::test::WorkFolder>();
    QVERIFY(m_dir->isValid());
}

void TestForm2::cleanup()
{
    // A test that failed half-way leaves no dialog to the next one.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<Form2 *>(w))
            delete w;
    m_dir.reset();
}

void TestForm2::layout()
{
    writeIni("/srv/www");
    FakeMessageBox messageBox;
    FakeShell shell;
    auto *form = openForm2(messageBox, shell);
    QPointer<Form2> guard(form);
    QVERIFY(QTest::qWaitForWindowExposed(form));

    QCOMPARE(form->windowTitle(), QStringLiteral("詳細設定"));
    QVERIFY(form->testAttribute(Qt::WA_DeleteOnClose));
    const QRect client = twipsRect(form, 0, 0, 4485, 1170);
    QCOMPARE(form->size(), client.size());
    QCOMPARE(form->minimumSize(), client.size());
    QCOMPARE(form->maximumSize(), client.size());

    auto *frame = control<QGroupBox>(form, "Frame1");
    QVERIFY(frame);
    QCOMPARE(frame->parentWidget(), form);
    QCOMPARE(frame->title(), QStringLiteral("Explore"));
    QCOMPARE(frame->geometry(), twipsRect(form, 0, 0, 4455, 615));

    auto *browse = control<QPushButton>(form, "Command1");
    auto *label = control<QLabel>(form, "Label1");
    auto *ok = control<QPushButton>(form, "Command4");
    auto *cancel = control<QPushButton>(form, "Command5");
    auto *hidden = control<QLineEdit>(form, "Text1");
    QVERIFY(browse && label && ok && cancel && hidden);
    QCOMPARE(browse->parentWidget(), frame);
    QCOMPARE(label->parentWidget(), frame);
    QCOMPARE(browse->text(), QStringLiteral("..."));
    QCOMPARE(ok->text(), QStringLiteral("Ok"));
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    QCOMPARE(browse->geometry(), twipsRect(form, 4080, 240, 255, 255));
    QCOMPARE(label->geometry(), twipsRect(form, 120, 240, 3855, 255));
    QCOMPARE(ok->geometry(), twipsRect(form, 1920, 720, 1215, 375));
    QCOMPARE(cancel->geometry(), twipsRect(form, 3240, 720, 1215, 375));
    QCOMPARE(hidden->geometry(), twipsRect(form, 3600, 1200, 855, 375));

    // No text box shows.
    QVERIFY(!hidden->isVisible());
    QVERIFY(hidden->text().isEmpty());
    QCOMPARE(label->text(), QStringLiteral("/srv/www"));
    // Markup in a folder name would be shown as text.
    QCOMPARE(label->textFormat(), Qt::PlainText);
    delete form;
}

void TestForm2::tabOrderAndKeys()
{
    writeIni("/srv/www");
    FakeMessageBox messageBox;
    FakeShell shell;
    auto *form = openForm2(messageBox, shell);
    QPointer<Form2> guard(form);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    auto *browse = control<QPushButton>(form, "Command1");
    auto *ok = control<QPushButton>(form, "Command4");
    auto *cancel = control<QPushButton>(form, "Command5");

    // Tab moves through the buttons in the order of the layout; the frame, the label and the
    // hidden text box take no focus.
    QList<QWidget *> order;
    QWidget *w = browse;
    do {
        if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
            order.append(w);
        w = w->nextInFocusChain();
    } while (w != browse);
    QCOMPARE(order, (QList<QWidget *>{browse, ok, cancel}));

    // Esc closes nothing.
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard);
    QVERIFY(form->isVisible());

    // Enter presses the button that has the focus.
    cancel->setFocus();
    QTRY_VERIFY(cancel->hasFocus());
    QTest::keyClick(cancel, Qt::Key_Return);
    QTRY_VERIFY(!guard);
    QCOMPARE(iniBytes(), std::optional<QByteArray>("/srv/www"));
}

void TestForm2::longFolderShownShortened()
{
    const QString longFolder =
        QStringLiteral("/home/user/") + QString(200, u'x') + QStringLiteral("/end");
    writeIni(longFolder.toLatin1());
    FakeMessageBox messageBox;
    FakeShell shell;
    Form2 form(messageBox, shell);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.Form_Load();
    auto *label = control<QLabel>(&form, "Label1");
    QCOMPARE(form.folder(), longFolder);
    QCOMPARE(label->toolTip(), longFolder);
    QVERIFY(label->text().startsWith(QStringLiteral("/home/")));
    QVERIFY(label->text().endsWith(QStringLiteral("/end")));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
}

void TestForm2::openFromMainWindowWithoutFile()
{
    Form1 form1;
    form1.move(100, 80);
    form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form1));

    QString asked;
    whenShown<QMessageBox>([&asked](QMessageBox *box) {
        asked = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    form1.action(QStringLiteral("mnuOptionDetails"))->trigger();
    QCOMPARE(asked, QStringLiteral("初期値がありません、設定して下さい。"));

    Form2 *form2 = form1.form2();
    QVERIFY(form2);
    QTRY_VERIFY(form2->isVisible());
    QCOMPARE(control<QLabel>(form2, "Label1")->text(), QStringLiteral("/"));
    QCOMPARE(iniBytes(), std::optional<QByteArray>("/"));
}

void TestForm2::placedAndSingle()
{
    writeIni("/srv/www");
    Form1 form1;
    form1.move(140, 90);
    form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form1));
    auto expectedPos = [&form1] {
        return form1.frameGeometry().topLeft() + QPoint(twipsToPixels(100, form1.logicalDpiX()),
                                                        twipsToPixels(650, form1.logicalDpiY()));
    };

    form1.action(QStringLiteral("mnuOptionDetails"))->trigger();
    QPointer<Form2> first = form1.form2();
    QVERIFY(first);
    QVERIFY(QTest::qWaitForWindowExposed(first));
    QCOMPARE(first->frameGeometry().topLeft(), expectedPos());

    // Chosen again while open: the same dialog goes back to its place.
    first->move(400, 400);
    form1.move(60, 50);
    form1.action(QStringLiteral("mnuOptionDetails"))->trigger();
    QCOMPARE(form1.form2(), first.data());
    QCOMPARE(first->frameGeometry().topLeft(), expectedPos());
    int open = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        open += qobject_cast<Form2 *>(w) != nullptr;
    QCOMPARE(open, 1);

    // Once closed, the command makes a new one, read afresh from zimo.ini.
    first->close();
    QTRY_VERIFY(!first);
    writeIni("/srv/other");
    form1.action(QStringLiteral("mnuOptionDetails"))->trigger();
    QVERIFY(form1.form2());
    QCOMPARE(control<QLabel>(form1.form2(), "Label1")->text(), QStringLiteral("/srv/other"));
}

void TestForm2::browseAndOk()
{
    writeIni("/a/much/longer/old/folder");
    FakeMessageBox messageBox;
    FakeShell shell;
    auto *form = openForm2(messageBox, shell);
    QPointer<Form2> guard(form);
    QVERIFY(QTest::qWaitForWindowExposed(form));

    // Cancelled browsing keeps the label.
    control<QPushButton>(form, "Command1")->click();
    QCOMPARE(messageBox.shown.size(), 1);
    QCOMPARE(messageBox.shown[0].prompt, QStringLiteral("初期値を保持します。"));
    QCOMPARE(control<QLabel>(form, "Label1")->text(), QStringLiteral("/a/much/longer/old/folder"));

    shell.browseAnswers.enqueue(QStringLiteral("/home/日本語"));
    control<QPushButton>(form, "Command1")->click();
    QCOMPARE(shell.browseCount, 2);
    QCOMPARE(control<QLabel>(form, "Label1")->text(), QStringLiteral("/home/日本語"));
    QCOMPARE(iniBytes(), std::optional<QByteArray>("/a/much/longer/old/folder"));

    control<QPushButton>(form, "Command4")->click();
    QTRY_VERIFY(!guard);
    QCOMPARE(iniBytes(), std::optional<QByteArray>("/home/\x93\xfa\x96\x7b\x8c\xea"));
    QCOMPARE(messageBox.shown.size(), 1);
}

void TestForm2::closingWithoutOk_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Cancel") << false;
    QTest::newRow("close box") << true;
}

void TestForm2::closingWithoutOk()
{
    QFETCH(bool, closeBox);
    writeIni("/srv/www");
    FakeMessageBox messageBox;
    FakeShell shell;
    auto *form = openForm2(messageBox, shell);
    QPointer<Form2> guard(form);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    shell.browseAnswers.enqueue(QStringLiteral("/chosen"));
    control<QPushButton>(form, "Command1")->click();
    QCOMPARE(form->folder(), QStringLiteral("/chosen"));

    if (closeBox)
        form->close();
    else
        control<QPushButton>(form, "Command5")->click();
    QTRY_VERIFY(!guard);
    QCOMPARE(iniBytes(), std::optional<QByteArray>("/srv/www"));
    QVERIFY(messageBox.shown.isEmpty());
}

void TestForm2::okCannotWriteKeepsDialog()
{
    QVERIFY(QDir().mkdir(zimoIniName));
    FakeMessageBox messageBox;
    FakeShell shell;
    auto *form = new Form2(messageBox, shell);
    QPointer<Form2> guard(form);
    form->Form_Load(); // no folder: the notice, then a failed write of the default
    QCOMPARE(messageBox.shown.size(), 2);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));

    shell.browseAnswers.enqueue(QStringLiteral("/srv/www"));
    control<QPushButton>(form, "Command1")->click();
    control<QPushButton>(form, "Command4")->click();
    QCOMPARE(messageBox.shown.size(), 3);
    QCOMPARE(messageBox.shown[2].style, int(MsgStyle::Exclamation));
    QVERIFY(messageBox.shown[2].prompt.contains(zimoIniName));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard);
    QVERIFY(form->isVisible());
    QCOMPARE(form->folder(), QStringLiteral("/srv/www"));

    // Once the way is clear, Ok stores and closes.
    QVERIFY(QDir().rmdir(zimoIniName));
    control<QPushButton>(form, "Command4")->click();
    QTRY_VERIFY(!guard);
    QCOMPARE(iniBytes(), std::optional<QByteArray>("/srv/www"));
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
