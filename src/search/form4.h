#pragma once

#include "platform/messagebox.h"
#include "platform/qt/qttextbox.h"
#include "platform/textbox.h"
#include "search/searchcommands.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace zimo {

class SearchField;

// The search dialog "検索": modeless, without an owner window, destroyed when closed (by
// "検索終了" or the close box), so every opening starts with an empty field. It is a plain window,
// not a QDialog: no button is the default or the cancel button, Enter in the field presses
// nothing and Esc closes nothing.
class Form4 : public QWidget
{
    Q_OBJECT
public:
    // `mainText` is the main window's text area, searched and selected by the buttons.
    Form4(TextBox &mainText, MessageBox &messageBox);

private:
    void Command4_Click(); // "検索終了"
    void showAgain();

    QLabel *m_Label1;
    SearchField *m_Text1;
    QPushButton *m_Command1;
    QPushButton *m_Command2;
    QPushButton *m_Command3;
    QPushButton *m_Command4;
    LineTextBox m_searchField;
    SearchCommands m_commands;
};

} // namespace zimo
