#include "app/form1.h"
#include "platform/twips.h"
#include "settings/form3.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;

namespace {

QRect twipsRect(const QWidget *w, int left, int top, int width, int height)
{
    const double dx = w->logicalDpiX();
    const double dy = w->logicalDpiY();
    return QRect(twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
                 twipsToPixels(height, dy));
}

const QString namedFace = QStringLiteral("HGP創英角ｺﾞｼｯｸUB");

} // namespace

// The about box: layout, faces, opening from the main window, closing.
class TestForm3 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void layout_data();
    void layout();
    void faces();
    void placedAndSingle();
    void closing_data();
    void closing();

private:
    QTemporaryDir m_dir;
};

void TestForm3::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestForm3::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Label1") << "Label1"
                            << "ZIMO" << QRect(120, 120, 1095, 495);
    QTest::newRow("Label2") << "Label2"
                            << "2003/06/18" << QRect(1320, 960, 975, 255);
    QTest::newRow("Label3") << "Label3"
                            << "Ver 0.123β" << QRect(1320, 360, 1455, 255);
    QTest::newRow("Label4") << "Label4"
                            << "ZIMO 開発チーム" << QRect(120, 720, 2535, 255);
    QTest::newRow("Command1") << "Command1"
                              << "OK" << QRect(2400, 840, 1095, 255);
}

void TestForm3::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    Form3 form;
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(form.windowTitle(), QStringLiteral("情報"));
    const QRect client = twipsRect(&form, 0, 0, 3570, 1215);
    QCOMPARE(form.size(), client.size());
    QCOMPARE(form.minimumSize(), client.size());
    QCOMPARE(form.maximumSize(), client.size());

    auto *widget = form.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), &form);
    const QRect layout = twipsRect(&form, twips.left(), twips.top(), twips.width(), twips.height());
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->text(), caption);
        // A label keeps its place and height; it is only ever widened, so that its text shows
        // whole where the window's face is wider than the layout's.
        QCOMPARE(label->pos(), layout.topLeft());
        QCOMPARE(label->height(), layout.height());
        QVERIFY(label->width() >= layout.width());
        QVERIFY(label->width() >= label->sizeHint().width() ||
                label->geometry().right() == form.rect().right());
    } else {
        QCOMPARE(qobject_cast<QPushButton *>(widget)->text(), caption);
        QCOMPARE(widget->geometry(), layout);
    }
}

void TestForm3::faces()
{
    Form3 form;
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    auto *name = form.findChild<QLabel *>(QStringLiteral("Label1"));
    auto *version = form.findChild<QLabel *>(QStringLiteral("Label3"));
    auto *date = form.findChild<QLabel *>(QStringLiteral("Label2"));
    auto *credit = form.findChild<QLabel *>(QStringLiteral("Label4"));

    QCOMPARE(name->font().pointSizeF(), 20.25);
    QCOMPARE(version->font().pointSizeF(), 11.25);
    QVERIFY(name->font().weight() >= QFont::Bold);
    // Both in the same family, one that is installed and shows Japanese.
    QCOMPARE(name->font().family(), version->font().family());
    const QString family = QFontInfo(name->font()).family();
    QVERIFY2(family == namedFace || family == QStringLiteral("Noto Sans CJK JP"),
             qPrintable(family));
    QVERIFY(QFontDatabase::families(QFontDatabase::Japanese).contains(family));
    if (family == namedFace)
        QCOMPARE(version->font().weight(), QFont::Normal);
    // The date and the credit line keep the window's face.
    QCOMPARE(date->font(), form.font());
    QCOMPARE(credit->font(), form.font());
}

void TestForm3::placedAndSingle()
{
    Form1 form1;
    form1.move(130, 70);
    form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form1));
    auto expectedPos = [&form1] {
        return form1.frameGeometry().topLeft() + QPoint(twipsToPixels(100, form1.logicalDpiX()),
                                                        twipsToPixels(650, form1.logicalDpiY()));
    };

    form1.action(QStringLiteral("mnuHelpVer"))->trigger();
    QPointer<Form3> first = form1.form3();
    QVERIFY(first);
    QVERIFY(QTest::qWaitForWindowExposed(first));
    QCOMPARE(first->frameGeometry().topLeft(), expectedPos());
    QVERIFY(!first->parentWidget()); // no owner window: the main window stays usable

    first->move(500, 420);
    form1.move(40, 30);
    form1.action(QStringLiteral("mnuHelpVer"))->trigger();
    QCOMPARE(form1.form3(), first.data());
    QCOMPARE(first->frameGeometry().topLeft(), expectedPos());
    int open = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        open += qobject_cast<Form3 *>(w) != nullptr;
    QCOMPARE(open, 1);
}

void TestForm3::closing_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("OK") << false;
    QTest::newRow("close box") << true;
}

void TestForm3::closing()
{
    QFETCH(bool, closeBox);
    Form1 form1;
    form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form1));
    form1.action(QStringLiteral("mnuHelpVer"))->trigger();
    QPointer<Form3> first = form1.form3();
    QVERIFY(first);
    if (closeBox)
        first->close();
    else
        first->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QTRY_VERIFY(!first);
    QVERIFY(!form1.form3());

    // The next use makes a new one.
    form1.action(QStringLiteral("mnuHelpVer"))->trigger();
    QVERIFY(form1.form3());
    QVERIFY(form1.form3()->isVisible());
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
