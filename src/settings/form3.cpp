#include "settings/form3.h"

#include "platform/qt/twipslayout.h"
#include "zimo_version.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>

namespace zimo {

namespace {

const QString namedFace = QStringLiteral("HGP創英角ｺﾞｼｯｸUB");
const QString heavyGothic = QStringLiteral("Noto Sans CJK JP");

// A label whose text needs more room than its layout width (the window's face is wider than the
// one the layout was drawn for) grows to the right, within the window, instead of cutting it.
void fitWidth(QLabel *label)
{
    const int needed = label->sizeHint().width();
    const int room = label->parentWidget()->width() - label->x();
    if (needed > label->width())
        label->resize(qMin(needed, room), label->height());
}

QLabel *addLabel(QWidget *parent, const char *name, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

QFont Form3::displayFont(double points, QFont::Weight weight)
{
    QFont font;
    const QStringList families = QFontDatabase::families();
    if (families.contains(namedFace)) {
        font = QFont(namedFace);
        font.setWeight(weight);
    } else if (families.contains(heavyGothic)) {
        // The named face is an ultra-bold gothic, at both weights; the nearest installed look
        // is the heaviest weight of the Japanese gothic that is there.
        font = QFont(heavyGothic);
        font.setWeight(QFontDatabase::styles(heavyGothic).contains(QStringLiteral("Black"))
                           ? QFont::Black
                           : QFont::Bold);
    } else {
        font.setWeight(QFont::Bold);
    }
    font.setPointSizeF(points);
    return font;
}

Form3::Form3() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("情報"));
    // A fixed dialog: no resizing, no maximise button; closing destroys it.
    makeFixedDialog(this, 3570, 1215);

    QLabel *label1 = addLabel(this, "Label1", QStringLiteral("ZIMO"));
    QLabel *label2 = addLabel(this, "Label2", QStringLiteral("2003/06/18"));
    QLabel *label3 = addLabel(this, "Label3", QStringLiteral("Ver %1β").arg(QStringLiteral(ZIMO_VERSION)));
    QLabel *label4 = addLabel(this, "Label4", QStringLiteral("ZIMO 開発チーム"));
    auto *command1 = new QPushButton(QStringLiteral("OK"), this);
    command1->setObjectName(QStringLiteral("Command1"));
    // Enter presses the button when it has the focus; Esc closes nothing.
    command1->setAutoDefault(true);

    label1->setFont(displayFont(20.25, QFont::Bold));
    label3->setFont(displayFont(11.25, QFont::Normal));

    placeTwips(label1, 120, 120, 1095, 495);
    placeTwips(label2, 1320, 960, 975, 255);
    placeTwips(label3, 1320, 360, 1455, 255);
    placeTwips(label4, 120, 720, 2535, 255);
    placeTwips(command1, 2400, 840, 1095, 255);
    for (QLabel *label : {label1, label2, label3, label4})
        fitWidth(label);

    connect(command1, &QPushButton::clicked, this, &Form3::Command1_Click);
}

void Form3::Command1_Click()
{
    close();
}

} // namespace zimo
