#include "app/form1.h"
#include "platform/qt/textarea.h"
#include "platform/twips.h"
#include "search/form4.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace zimo;

namespace {

const QString notFound = QStringLiteral("検索文字列が見つかりません");
const QString unfinished = QStringLiteral("まだ作成中です。");

// Answers message boxes with their default (only) button as they come up, polling every 10 ms,
// and records what each box said.
class BoxAnswerer : public QObject
{
public:
    QStringList texts;
    QStringList titles;

    void answer(int count)
    {
        m_left += count;
        m_polls = 0;
        poll();
    }

private:
    void poll()
    {
        QTimer::singleShot(10, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                titles << box->windowTitle();
                --m_left;
                QAbstractButton *button = box->defaultButton();
                if (!button)
                    button = box->buttons().value(0);
                button->click();
            }
            if (m_left > 0 && ++m_polls < 1000)
                poll();
        });
    }

    int m_left = 0;
    int m_polls = 0;
};

int pxX(const QWidget *w, int twips)
{
    return twipsToPixels(twips, w->logicalDpiX());
}
int pxY(const QWidget *w, int twips)
{
    return twipsToPixels(twips, w->logicalDpiY());
}

} // namespace

class TestForm4 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void focusOnOpenAndTabOrder();
    void enterAndEscape();
    void searchButtons();
    void previousButton();
    void reopenWhileOpen();
    void closingDestroys();
    void foundSelectionInText1();
    void lineBreakPastedIntoField_data();
    void lineBreakPastedIntoField();
    void loneLineEndsCopiedFromText1();

private:
    Form4 *openDialog();
    QLineEdit *field(Form4 *dialog) { return dialog->findChild<QLineEdit *>("Text1"); }
    QPushButton *button(Form4 *dialog, const char *name)
    {
        return dialog->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    QPoint expectedPlace(Form4 *dialog) const;

    QTemporaryDir m_dir;
    Form1 *m_form1 = nullptr;
};

void TestForm4::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestForm4::init()
{
    m_form1 = new Form1;
    m_form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form1));
}

void TestForm4::cleanup()
{
    delete m_form1;
    m_form1 = nullptr;
}

Form4 *TestForm4::openDialog()
{
    m_form1->action(QStringLiteral("mnuEditReference"))->trigger();
    return m_form1->form4();
}

// Top 650 twips below the main window's top; right edge at its left plus its client width.
QPoint TestForm4::expectedPlace(Form4 *dialog) const
{
    const QRect main = m_form1->frameGeometry();
    return {main.left() + m_form1->width() - dialog->frameGeometry().width(),
            main.top() + pxY(m_form1, 650)};
}

void TestForm4::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    auto row = [](const char *name, const QString &caption, QRect twips) {
        QTest::newRow(name) << QString::fromLatin1(name) << caption << twips;
    };
    row("Label1", QStringLiteral("検索文字列"), {120, 120, 975, 255});
    row("Text1", QString(), {1200, 120, 3615, 270});
    row("Command1", QStringLiteral("検索開始"), {120, 480, 1095, 375});
    row("Command2", QStringLiteral("次を検索"), {1320, 480, 1095, 375});
    row("Command3", QStringLiteral("前を検索"), {2520, 480, 1095, 375});
    row("Command4", QStringLiteral("検索終了"), {3720, 480, 1095, 375});
}

void TestForm4::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);

    Form4 *dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("検索"));
    QCOMPARE(dialog->size(), QSize(pxX(dialog, 4905), pxY(dialog, 930)));
    // A window of its own: no owner, not a QDialog (whose Esc and default button would act).
    QVERIFY(dialog->isWindow());
    QVERIFY(!dialog->parentWidget());
    QVERIFY(!qobject_cast<QDialog *>(dialog));
    QVERIFY(!dialog->windowHandle()->transientParent());
    QVERIFY(!(dialog->windowFlags() & Qt::WindowStaysOnTopHint));

    QWidget *control = dialog->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), QRect(pxX(dialog, twips.left()), pxY(dialog, twips.top()),
                                        pxX(dialog, twips.width()), pxY(dialog, twips.height())));
    if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), caption);
    } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        QCOMPARE(edit->text(), caption);
        QVERIFY(!edit->isReadOnly());
        QCOMPARE(edit->echoMode(), QLineEdit::Normal);
    } else {
        auto *push = qobject_cast<QPushButton *>(control);
        QVERIFY(push);
        QCOMPARE(push->text(), caption);
        QVERIFY(!push->isDefault());
        QVERIFY(!push->autoDefault());
    }
}

void TestForm4::focusOnOpenAndTabOrder()
{
    Form4 *dialog = openDialog();
    QTRY_VERIFY(dialog->isActiveWindow());
    QTRY_COMPARE(QApplication::focusWidget(), field(dialog));

    for (const char *name : {"Command1", "Command2", "Command3", "Command4", "Text1"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), button(dialog, "Command4"));
}

// Enter and Esc in the field press no button and close nothing; Enter on a focused button
// presses that button.
void TestForm4::enterAndEscape()
{
    m_form1->services().Text1.setText(QStringLiteral("abc"));
    Form4 *dialog = openDialog();
    QTRY_VERIFY(dialog->isActiveWindow());
    QList<QSignalSpy *> spies;
    for (const char *name : {"Command1", "Command2", "Command3", "Command4"})
        spies << new QSignalSpy(button(dialog, name), &QPushButton::clicked);
    auto clicks = [&] {
        QList<int> counts;
        for (QSignalSpy *spy : spies)
            counts << int(spy->count());
        return counts;
    };

    QTest::keyClicks(field(dialog), QStringLiteral("b"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(field(dialog), key);
    QTest::keyClick(button(dialog, "Command4"), Qt::Key_Escape);
    QCoreApplication::processEvents();
    QCOMPARE(clicks(), (QList<int>{0, 0, 0, 0}));
    QCOMPARE(m_form1->form4(), dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(field(dialog)->text(), QStringLiteral("b"));

    button(dialog, "Command1")->setFocus();
    QTest::keyClick(button(dialog, "Command1"), Qt::Key_Return);
    QCOMPARE(clicks(), (QList<int>{1, 0, 0, 0}));
    QTRY_VERIFY(dialog->isActiveWindow());
    qDeleteAll(spies);
}

void TestForm4::searchButtons()
{
    TextBox &text1 = m_form1->services().Text1;
    text1.setText(QStringLiteral("abcabc"));
    Form4 *dialog = openDialog();
    QTRY_VERIFY(dialog->isActiveWindow());
    QTest::keyClicks(field(dialog), QStringLiteral("bc"));
    BoxAnswerer boxes;

    struct Step
    {
        const char *button;
        qsizetype selStart;
        QStringList boxes;
    };
    const QList<Step> steps = {
        {"Command1", 1, {}}, {"Command2", 4, {}}, {"Command2", 4, {notFound}}};
    for (const Step &step : steps) {
        boxes.texts.clear();
        boxes.answer(int(step.boxes.size()));
        QTest::mouseClick(button(dialog, step.button), Qt::LeftButton);
        QCOMPARE(boxes.texts, step.boxes);
        QCOMPARE(text1.selStart(), step.selStart);
        QCOMPARE(text1.selLength(), 2);
        QCOMPARE(m_form1->textArea()->textCursor().selectedText(), QStringLiteral("bc"));
        // Back in front, ready for the next click, with the selection still shown in Text1.
        QTRY_VERIFY(dialog->isActiveWindow());
        QVERIFY(!m_form1->isActiveWindow());
        const QPalette palette = m_form1->textArea()->palette();
        QCOMPARE(palette.brush(QPalette::Inactive, QPalette::Highlight),
                 palette.brush(QPalette::Active, QPalette::Highlight));
    }
    QCOMPARE(boxes.titles, QStringList{QStringLiteral("ZIMO")});
}

void TestForm4::previousButton()
{
    TextBox &text1 = m_form1->services().Text1;
    text1.setText(QStringLiteral("abcabcabc"));
    text1.setSelStart(1);
    text1.setSelLength(2);
    Form4 *dialog = openDialog();
    QTRY_VERIFY(dialog->isActiveWindow());
    QTest::keyClicks(field(dialog), QStringLiteral("bc"));

    BoxAnswerer boxes;
    boxes.answer(1);
    QTest::mouseClick(button(dialog, "Command3"), Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList{unfinished});
    QCOMPARE(text1.selStart(), 4);
    QCOMPARE(text1.selLength(), 2);
    QTRY_VERIFY(dialog->isActiveWindow());
}

void TestForm4::reopenWhileOpen()
{
    m_form1->move(120, 90);
    Form4 *dialog = openDialog();
    QTRY_VERIFY(dialog->isActiveWindow());
    QCOMPARE(dialog->pos(), expectedPlace(dialog));
    QTest::keyClicks(field(dialog), QStringLiteral("keep me"));

    // The user moves both windows and brings the main window forward.
    dialog->move(5, 5);
    m_form1->move(200, 140);
    m_form1->activateWindow();
    QTRY_VERIFY(m_form1->isActiveWindow());

    QCOMPARE(openDialog(), dialog);
    QTRY_VERIFY(dialog->isActiveWindow());
    QCOMPARE(dialog->pos(), expectedPlace(dialog));
    QCOMPARE(field(dialog)->text(), QStringLiteral("keep me"));
}

// "検索終了" and the close box destroy the dialog; the next opening starts empty.
void TestForm4::closingDestroys()
{
    for (const bool closeBox : {false, true}) {
        QPointer<Form4> dialog = openDialog();
        QTRY_VERIFY(dialog->isActiveWindow());
        QTest::keyClicks(field(dialog), QStringLiteral("gone"));
        if (closeBox)
            dialog->windowHandle()->close();
        else
            QTest::mouseClick(button(dialog, "Command4"), Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(!m_form1->form4());

        Form4 *fresh = openDialog();
        QVERIFY(fresh);
        QTRY_VERIFY(fresh->isActiveWindow());
        QCOMPARE(field(fresh)->text(), QString());
        QTRY_COMPARE(QApplication::focusWidget(), field(fresh));
        QTest::mouseClick(button(fresh, "Command4"), Qt::LeftButton);
        QTRY_VERIFY(!m_form1->form4());
    }
}

// The match is selected in the text area itself, after line breaks (two characters each) and
// lone LFs (one character each).
void TestForm4::foundSelectionInText1()
{
    const QString document =
        QStringLiteral("<P>\r\none\ntwo\r\n\r\n\nthree\r\nfour\nfind me\r\nfind");
    const qsizetype matchAt = document.indexOf(QStringLiteral("find"));
    TextBox &text1 = m_form1->services().Text1;
    text1.setText(document);
    Form4 *dialog = openDialog();
    QTRY_VERIFY(dialog->isActiveWindow());
    QTest::keyClicks(field(dialog), QStringLiteral("find"));

    QTest::mouseClick(button(dialog, "Command1"), Qt::LeftButton);
    QCOMPARE(text1.selStart(), matchAt);
    QCOMPARE(text1.selLength(), 4);
    // In the widget a line break is one paragraph break, a lone LF one character.
    auto widgetPosition = [&](qsizetype model) {
        return int(model - document.left(model).count(QStringLiteral("\r\n")));
    };
    QTextCursor cursor = m_form1->textArea()->textCursor();
    QCOMPARE(cursor.selectionStart(), widgetPosition(matchAt));
    QCOMPARE(cursor.selectionEnd(), widgetPosition(matchAt) + 4);
    QCOMPARE(cursor.selectedText(), QStringLiteral("find"));

    const qsizetype lastAt = document.lastIndexOf(QStringLiteral("find"));
    QTest::mouseClick(button(dialog, "Command2"), Qt::LeftButton);
    QCOMPARE(text1.selStart(), lastAt);
    QCOMPARE(text1.selLength(), 4);
    cursor = m_form1->textArea()->textCursor();
    QCOMPARE(cursor.selectionStart(), widgetPosition(lastAt));
    QCOMPARE(cursor.selectedText(), QStringLiteral("find"));
    QCOMPARE(text1.text(), document);
}

// A line break pasted into the field is a line break of the document, whichever way the
// clipboard carries it; the field holds it as one mark and copies it out as CR LF.
void TestForm4::lineBreakPastedIntoField_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::newRow("LF, as the text area copies") << QStringLiteral("所で\nニャー");
    QTest::newRow("CR LF") << QStringLiteral("所で\r\nニャー");
    QTest::newRow("CR") << QStringLiteral("所で\rニャー");
    QTest::newRow("paragraph separator") << QStringLiteral("所で\u2029ニャー");
}

void TestForm4::lineBreakPastedIntoField()
{
    QFETCH(QString, clipboard);
    const QString document = QStringLiteral("猫です。\r\n所で\r\nニャー\r\n所で ニャー");
    TextBox &text1 = m_form1->services().Text1;
    text1.setText(document);
    Form4 *dialog = openDialog();
    QTRY_VERIFY(dialog->isActiveWindow());
    QApplication::clipboard()->setText(clipboard);
    QTest::keySequence(field(dialog), QKeySequence::Paste);
    // One mark for the line break: the field is as long as the text and one character.
    QCOMPARE(field(dialog)->text().size(), 6);
    QVERIFY(!field(dialog)->text().contains(u'\n') && !field(dialog)->text().contains(u' '));

    QTest::mouseClick(button(dialog, "Command1"), Qt::LeftButton);
    QCOMPARE(text1.selStart(), document.indexOf(QStringLiteral("所で\r\nニャー")));
    QCOMPARE(text1.selLength(), 7);

    field(dialog)->selectAll();
    QTest::keySequence(field(dialog), QKeySequence::Copy);
    QCOMPARE(TextArea::pastedModelText(QApplication::clipboard()->mimeData()),
             QStringLiteral("所で\r\nニャー"));
}

// The text area's own copy carries lone CR and LF exactly: pasted into the field they match
// themselves, not a line break.
void TestForm4::loneLineEndsCopiedFromText1()
{
    const QString document = QStringLiteral("a\rb a\r\nb a\nb a\rb");
    TextBox &text1 = m_form1->services().Text1;
    text1.setText(document);
    text1.setSelStart(document.lastIndexOf(QStringLiteral("a\rb")));
    text1.setSelLength(3);
    QApplication::clipboard()->setMimeData(TextArea::mimeDataOfModelText(text1.selText()));
    Form4 *dialog = openDialog();
    QTRY_VERIFY(dialog->isActiveWindow());
    QTest::keySequence(field(dialog), QKeySequence::Paste);
    QCOMPARE(field(dialog)->text().size(), 3);
    QTest::mouseClick(button(dialog, "Command1"), Qt::LeftButton);
    QCOMPARE(text1.selStart(), 0);
    QCOMPARE(text1.selLength(), 3);
    QTest::mouseClick(button(dialog, "Command2"), Qt::LeftButton);
    QCOMPARE(text1.selStart(), document.lastIndexOf(QStringLiteral("a\rb")));
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"
