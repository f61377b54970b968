// QtMessageBox on real QMessageBox widgets: what each style number shows and what each way of
// closing the box answers.

#include "platform/qt/qtmessagebox.h"
#include "whenshown.h"

#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

#include <algorithm>

using namespace zimo;
using zimo::test::keyTarget;
using zimo::test::whenShown;

Q_DECLARE_METATYPE(QMessageBox::Icon)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)
Q_DECLARE_METATYPE(QList<QMessageBox::StandardButton>)

namespace {

// What the shown box looked like.
struct Seen
{
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttonsLeftToRight;
    QStringList buttonTexts;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton focusButton = QMessageBox::NoButton;
};

Seen look(QMessageBox *box)
{
    Seen seen;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    QList<QAbstractButton *> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton *a, QAbstractButton *b) {
        return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
    });
    for (QAbstractButton *button : buttons) {
        seen.buttonsLeftToRight.append(box->standardButton(button));
        seen.buttonTexts.append(button->text());
    }
    if (QPushButton *def = box->defaultButton())
        seen.defaultButton = box->standardButton(def);
    if (auto *focus = qobject_cast<QAbstractButton *>(QApplication::focusWidget()))
        seen.focusButton = box->standardButton(focus);
    return seen;
}

enum class Close { First, Second, Escape, Enter, CloseBox };

} // namespace

Q_DECLARE_METATYPE(Close)

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void showsStyle_data();
    void showsStyle();
    void answers_data();
    void answers();
    void caption_data();
    void caption();
    void promptIsPlainText();

private:
    QTranslator m_translator;
    bool m_japanese = false;
};

void TestMessageBox::initTestCase()
{
    // As the program does at start: Qt's own texts in Japanese.
    m_japanese = m_translator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"),
                                   QStringLiteral("_"),
                                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))
                 && QApplication::installTranslator(&m_translator);
}

void TestMessageBox::showsStyle_data()
{
    using SB = QMessageBox::StandardButton;
    using Buttons = QList<SB>;
    QTest::addColumn<int>("style");
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<QMessageBox::Icon>("icon");

    QTest::newRow("0 OK") << 0 << Buttons{QMessageBox::Ok} << QMessageBox::NoIcon;
    QTest::newRow("1 OK Cancel") << 1 << Buttons{QMessageBox::Ok, QMessageBox::Cancel}
                                 << QMessageBox::NoIcon;
    QTest::newRow("33 OK Cancel question")
        << 33 << Buttons{QMessageBox::Ok, QMessageBox::Cancel} << QMessageBox::Question;
    QTest::newRow("36 Yes No question")
        << 36 << Buttons{QMessageBox::Yes, QMessageBox::No} << QMessageBox::Question;
    QTest::newRow("48 OK exclamation") << 48 << Buttons{QMessageBox::Ok} << QMessageBox::Warning;
    QTest::newRow("49 OK Cancel exclamation")
        << 49 << Buttons{QMessageBox::Ok, QMessageBox::Cancel} << QMessageBox::Warning;
    QTest::newRow("52 Yes No exclamation")
        << 52 << Buttons{QMessageBox::Yes, QMessageBox::No} << QMessageBox::Warning;
}

void TestMessageBox::showsStyle()
{
    QFETCH(int, style);
    QFETCH(QList<QMessageBox::StandardButton>, buttons);
    QFETCH(QMessageBox::Icon, icon);

    Seen seen;
    whenShown<QMessageBox>([&seen](QMessageBox *box) {
        seen = look(box);
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click()
                                     : box->button(QMessageBox::Yes)->click();
    });
    QtMessageBox(nullptr).show(QStringLiteral("確認"), style);

    QCOMPARE(seen.text, QStringLiteral("確認"));
    QCOMPARE(seen.icon, icon);
    QCOMPARE(seen.buttonsLeftToRight, buttons);
    // The first button is the default one and has the focus, so Enter chooses it.
    QCOMPARE(seen.defaultButton, buttons.first());
    QCOMPARE(seen.focusButton, buttons.first());

    if (!m_japanese)
        QSKIP("qtbase_ja.qm is not installed: button texts not checked");
    // The texts come from the translator, not from the program.
    const QHash<QMessageBox::StandardButton, QString> english = {
        {QMessageBox::Ok, QStringLiteral("OK")},
        {QMessageBox::Cancel, QStringLiteral("Cancel")},
        {QMessageBox::Yes, QStringLiteral("&Yes")},
        {QMessageBox::No, QStringLiteral("&No")},
    };
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const QString source = english.value(buttons[i]);
        QCOMPARE(seen.buttonTexts[i],
                 QCoreApplication::translate("QPlatformTheme", source.toUtf8().constData()));
        if (buttons[i] != QMessageBox::Ok)
            QVERIFY2(seen.buttonTexts[i] != source, qPrintable(seen.buttonTexts[i]));
    }
}

void TestMessageBox::answers_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<Close>("close");
    QTest::addColumn<int>("answer");

    QTest::newRow("OK box: OK") << 0 << Close::First << int(MsgAnswer::Ok);
    QTest::newRow("OK box: Enter") << 48 << Close::Enter << int(MsgAnswer::Ok);
    QTest::newRow("OK box: Escape") << 0 << Close::Escape << int(MsgAnswer::Ok);
    QTest::newRow("OK box: close box") << 48 << Close::CloseBox << int(MsgAnswer::Ok);

    QTest::newRow("OK/Cancel: OK") << 1 << Close::First << int(MsgAnswer::Ok);
    QTest::newRow("OK/Cancel: Cancel") << 1 << Close::Second << int(MsgAnswer::Cancel);
    QTest::newRow("OK/Cancel: Enter") << 33 << Close::Enter << int(MsgAnswer::Ok);
    QTest::newRow("OK/Cancel: Escape") << 33 << Close::Escape << int(MsgAnswer::Cancel);
    QTest::newRow("OK/Cancel: close box") << 49 << Close::CloseBox << int(MsgAnswer::Cancel);

    QTest::newRow("Yes/No: Yes") << 36 << Close::First << int(MsgAnswer::Yes);
    QTest::newRow("Yes/No: No") << 36 << Close::Second << int(MsgAnswer::No);
    QTest::newRow("Yes/No: Enter") << 52 << Close::Enter << int(MsgAnswer::Yes);
    QTest::newRow("Yes/No: Escape") << 52 << Close::Escape << int(MsgAnswer::No);
    QTest::newRow("Yes/No: close box") << 36 << Close::CloseBox << int(MsgAnswer::No);
}

void TestMessageBox::answers()
{
    QFETCH(int, style);
    QFETCH(Close, close);
    QFETCH(int, answer);

    whenShown<QMessageBox>([close](QMessageBox *box) {
        QList<QAbstractButton *> buttons = box->buttons();
        std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton *a, QAbstractButton *b) {
            return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
        });
        switch (close) {
        case Close::First:
            QTest::mouseClick(buttons.first(), Qt::LeftButton);
            break;
        case Close::Second:
            QTest::mouseClick(buttons.last(), Qt::LeftButton);
            break;
        case Close::Escape:
            QTest::keyClick(keyTarget(box), Qt::Key_Escape);
            break;
        case Close::Enter:
            QTest::keyClick(keyTarget(box), Qt::Key_Return);
            break;
        case Close::CloseBox:
            box->close();
            break;
        }
    });
    QCOMPARE(QtMessageBox(nullptr).show(QStringLiteral("質問"), style), answer);
}

void TestMessageBox::caption_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");
    QTest::newRow("no title") << QString() << QStringLiteral("ZIMO");
    QTest::newRow("own title") << QStringLiteral("印刷します。") << QStringLiteral("印刷します。");
}

void TestMessageBox::caption()
{
    QFETCH(QString, title);
    QFETCH(QString, caption);

    QWidget owner;
    owner.setWindowTitle(QStringLiteral("owner"));
    owner.show();
    QString seen;
    whenShown<QMessageBox>([&seen](QMessageBox *box) {
        seen = box->windowTitle();
        box->accept();
    });
    QtMessageBox(&owner).show(QStringLiteral("印刷します。よろしいですか？"), 36, title);
    QCOMPARE(seen, caption);
}

void TestMessageBox::promptIsPlainText()
{
    // A prompt that looks like markup is shown as typed, not rendered.
    const QString prompt = QStringLiteral("<b>太字</b> & <BR>");
    QString shown;
    whenShown<QMessageBox>([&shown](QMessageBox *box) {
        for (QLabel *label : box->findChildren<QLabel *>())
            if (label->text() == box->text() && label->textFormat() == Qt::PlainText)
                shown = label->text();
        box->accept();
    });
    QtMessageBox(nullptr).show(prompt);
    QCOMPARE(shown, prompt);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
