#include "settings/form2.h"

#include "platform/qt/qtshell.h"
#include "platform/qt/twipslayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zimo {

void FolderLabel::setCaption(const QString &caption)
{
    m_caption = caption;
    m_label->setText(m_label->fontMetrics().elidedText(caption, Qt::ElideMiddle,
                                                       m_label->contentsRect().width()));
    m_label->setToolTip(caption);
}

namespace {

} // namespace

Form2::Form2(MessageBox &messageBox, Shell &shell)
    : QWidget(nullptr), m_Frame1(new QGroupBox(QStringLiteral("Explore"), this)),
      m_Command1(new QPushButton(QStringLiteral("..."), m_Frame1)), m_Label1(new QLabel(m_Frame1)),
      m_Command4(new QPushButton(QStringLiteral("Ok"), this)),
      m_Command5(new QPushButton(QStringLiteral("Cancel"), this)), m_Text1(new QLineEdit(this)),
      m_folder(m_Label1), m_settings(m_folder, messageBox, shell)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("詳細設定"));
    // A fixed dialog: no resizing, no maximise button; closing destroys it.
    makeFixedDialog(this, 4485, 1170);

    m_Frame1->setObjectName(QStringLiteral("Frame1"));
    m_Command1->setObjectName(QStringLiteral("Command1"));
    m_Label1->setObjectName(QStringLiteral("Label1"));
    m_Command4->setObjectName(QStringLiteral("Command4"));
    m_Command5->setObjectName(QStringLiteral("Command5"));
    m_Text1->setObjectName(QStringLiteral("Text1"));

    placeTwips(m_Frame1, 0, 0, 4455, 615);
    placeTwips(m_Command1, 4080, 240, 255, 255);
    placeTwips(m_Label1, 120, 240, 3855, 255);
    placeTwips(m_Command4, 1920, 720, 1215, 375);
    placeTwips(m_Command5, 3240, 720, 1215, 375);
    placeTwips(m_Text1, 3600, 1200, 855, 375);

    // A folder name is shown as it is, never as markup.
    m_Label1->setTextFormat(Qt::PlainText);
    m_Label1->setWordWrap(false);
    // Never shown: the dialog has no text box the user could type into.
    m_Text1->hide();

    // Enter presses a button only when that button has the focus (there is no default button
    // in a window that is no QDialog); Esc closes nothing.
    for (QPushButton *button : {m_Command1, m_Command4, m_Command5})
        button->setAutoDefault(true);
    setTabOrder(m_Command1, m_Command4);
    setTabOrder(m_Command4, m_Command5);
    setTabOrder(m_Command5, m_Text1);

    // The folder chooser belongs to this dialog while it is open.
    if (auto *qtShell = dynamic_cast<QtShell *>(&shell))
        qtShell->setDialogParent(this);

    connect(m_Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(m_Command4, &QPushButton::clicked, this, &Form2::Command4_Click);
    connect(m_Command5, &QPushButton::clicked, this, &Form2::Command5_Click);
}

void Form2::Form_Load()
{
    m_settings.load();
}

void Form2::Command1_Click()
{
    m_settings.browse();
}

void Form2::Command4_Click()
{
    if (m_settings.store())
        close();
}

void Form2::Command5_Click()
{
    close();
}

} // namespace zimo
