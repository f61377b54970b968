#include "platform/qt/qtmessagebox.h"

#include <QMessageBox>
#include <QPushButton>

namespace zimo {

namespace {

struct BoxButtons
{
    QMessageBox::StandardButton first;  // the default button (Enter)
    QMessageBox::StandardButton second; // NoButton when the box has only one
    QMessageBox::StandardButton escape; // what Escape and the close box answer
};

BoxButtons buttonsFor(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OkCancel:
        return {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Cancel};
    case MsgButtons::YesNo:
        return {QMessageBox::Yes, QMessageBox::No, QMessageBox::No};
    case MsgButtons::Ok:
        break;
    }
    return {QMessageBox::Ok, QMessageBox::NoButton, QMessageBox::Ok};
}

QMessageBox::Icon iconFor(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

int answerFor(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    default:
        return MsgAnswer::Ok;
    }
}

} // namespace

int QtMessageBox::show(const QString &prompt, int style, const QString &title)
{
    const MsgLook look = msgLook(style);
    const BoxButtons buttons = buttonsFor(look.buttons);

    QMessageBox box(m_parent);
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("ZIMO") : title);
    // Prompts are shown as they are: a text such as "<BR>" must not be taken for markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(prompt);
    box.setIcon(iconFor(look.icon));

    // The button texts are Qt's standard ones, which the installed translator makes Japanese; the
    // platform's button-box layout decides their visual order.
    QPushButton *defaultButton = box.addButton(buttons.first);
    if (buttons.second != QMessageBox::NoButton)
        box.addButton(buttons.second);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(box.button(buttons.escape));

    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    return answerFor(clicked ? box.standardButton(clicked) : buttons.escape);
}

} // namespace zimo
