#include "search/form4.h"

#include "platform/qt/twipslayout.h"
#include "search/searchfield.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zimo {

namespace {

// A command button that Enter and Return press while it has the focus (as Space does), without
// being a default button: Enter anywhere else presses nothing.
class CommandButton : public QPushButton
{
public:
    CommandButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
    {
        setAutoDefault(false);
        setDefault(false);
    }

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
            (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            click();
            return;
        }
        QPushButton::keyPressEvent(e);
    }
};

// The layout in twips: client size and each control's left, top, width, height.
constexpr int clientWidthTwips = 4905;
constexpr int clientHeightTwips = 930;

struct Place
{
    int left, top, width, height;
};
constexpr Place label1Place{120, 120, 975, 255};
constexpr Place text1Place{1200, 120, 3615, 270};
constexpr Place command1Place{120, 480, 1095, 375};
constexpr Place command2Place{1320, 480, 1095, 375};
constexpr Place command3Place{2520, 480, 1095, 375};
constexpr Place command4Place{3720, 480, 1095, 375};

void place(QWidget *control, const Place &p)
{
    placeTwips(control, p.left, p.top, p.width, p.height);
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, const Place &p)
{
    auto *button = new CommandButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    place(button, p);
    return button;
}

} // namespace

Form4::Form4(TextBox &mainText, MessageBox &messageBox)
    : QWidget(nullptr),
      m_Label1(new QLabel(QStringLiteral("検索文字列"), this)), m_Text1(new SearchField(this)),
      m_Command1(makeButton(this, "Command1", QStringLiteral("検索開始"), command1Place)),
      m_Command2(makeButton(this, "Command2", QStringLiteral("次を検索"), command2Place)),
      m_Command3(makeButton(this, "Command3", QStringLiteral("前を検索"), command3Place)),
      m_Command4(makeButton(this, "Command4", QStringLiteral("検索終了"), command4Place)),
      m_searchField(m_Text1),
      m_commands(mainText, m_searchField, messageBox, [this] { showAgain(); })
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("検索"));
    // Closing destroys the dialog and with it the typed search text.
    makeFixedDialog(this, clientWidthTwips, clientHeightTwips);

    m_Label1->setObjectName(QStringLiteral("Label1"));
    place(m_Label1, label1Place);
    m_Text1->setObjectName(QStringLiteral("Text1"));
    place(m_Text1, text1Place);

    // Tab order: the field, then the buttons from left to right; the label never takes the focus.
    setTabOrder(m_Text1, m_Command1);
    setTabOrder(m_Command1, m_Command2);
    setTabOrder(m_Command2, m_Command3);
    setTabOrder(m_Command3, m_Command4);
    m_Text1->setFocus();

    connect(m_Command1, &QPushButton::clicked, this, [this] { m_commands.Command1_Click(); });
    connect(m_Command2, &QPushButton::clicked, this, [this] { m_commands.Command2_Click(); });
    connect(m_Command3, &QPushButton::clicked, this, [this] { m_commands.Command3_Click(); });
    connect(m_Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
}

void Form4::Command4_Click()
{
    close();
}

void Form4::showAgain()
{
    show();
    raise();
    activateWindow();
}

} // namespace zimo
