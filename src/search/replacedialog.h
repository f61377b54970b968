#pragma once

#include "platform/qt/qttextbox.h"
#include "search/replacecommands.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace zimo {

class SearchField;

// The replace dialog "置換": modeless, without an owner window, one at a time (the main window
// keeps it and brings it back to the front). Both fields take line breaks as the search field
// does. "次を検索" is the default button (Enter in a field); Esc and "閉じる" hide the dialog,
// which keeps what was typed for the next opening. What a button did is told on the line under
// the buttons.
class ReplaceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ReplaceDialog(ReplaceCommands &commands);

    // The line under the buttons.
    QString status() const;

private:
    ReplaceCommands::Request request() const;
    void showStatus(const QString &text);

    ReplaceCommands &m_commands;
    SearchField *m_findField;
    SearchField *m_replaceField;
    LineTextBox m_findText;
    LineTextBox m_replaceText;
    QCheckBox *m_caseSensitive;
    QCheckBox *m_regularExpression;
    QPushButton *m_findNext;
    QPushButton *m_replaceNext;
    QPushButton *m_replaceAll;
    QPushButton *m_close;
    QLabel *m_status;
};

} // namespace zimo
