#pragma once

#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/shell.h"
#include "settings/exploresettings.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zimo {

// Label1 of the settings dialog: holds the whole folder, shows it shortened in the middle when
// it is wider than the label, and gives it whole as a tool tip.
class FolderLabel : public Label
{
public:
    explicit FolderLabel(QLabel *label) : m_label(label) {}
    QString caption() const override { return m_caption; }
    void setCaption(const QString &caption) override;

private:
    QLabel *m_label;
    QString m_caption;
};

// The detailed-settings dialog "詳細設定": the explore folder kept in zimo.ini. Modeless, without
// an owner window; Ok, Cancel and the close box destroy it.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    Form2(MessageBox &messageBox, Shell &shell);
    // Reads zimo.ini into the label; run once, after creation and before the first show.
    void Form_Load();

    // The folder the dialog holds (Label1's caption).
    QString folder() const { return m_folder.caption(); }

private:
    void Command1_Click();
    void Command4_Click();
    void Command5_Click();

    QGroupBox *m_Frame1;
    QPushButton *m_Command1;
    QLabel *m_Label1;
    QPushButton *m_Command4;
    QPushButton *m_Command5;
    QLineEdit *m_Text1;
    FolderLabel m_folder;
    ExploreSettings m_settings;
};

} // namespace zimo
