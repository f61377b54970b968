#include "search/replacedialog.h"

#include "search/searchfield.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zimo {

ReplaceDialog::ReplaceDialog(ReplaceCommands &commands)
    : QDialog(nullptr), m_commands(commands), m_findField(new SearchField(this)),
      m_replaceField(new SearchField(this)), m_findText(m_findField), m_replaceText(m_replaceField),
      m_caseSensitive(new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"), this)),
      m_regularExpression(new QCheckBox(QStringLiteral("正規表現を使う(&E)"), this)),
      m_findNext(new QPushButton(QStringLiteral("次を検索(&F)"), this)),
      m_replaceNext(new QPushButton(QStringLiteral("置換して次に(&R)"), this)),
      m_replaceAll(new QPushButton(QStringLiteral("すべて置換(&A)"), this)),
      m_close(new QPushButton(QStringLiteral("閉じる"), this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("ReplaceDialog"));
    setWindowTitle(QStringLiteral("置換"));
    setModal(false);
    m_findField->setObjectName(QStringLiteral("findText"));
    m_replaceField->setObjectName(QStringLiteral("replaceText"));
    m_caseSensitive->setObjectName(QStringLiteral("caseSensitive"));
    m_regularExpression->setObjectName(QStringLiteral("regularExpression"));
    m_findNext->setObjectName(QStringLiteral("findNext"));
    m_replaceNext->setObjectName(QStringLiteral("replaceNext"));
    m_replaceAll->setObjectName(QStringLiteral("replaceAll"));
    m_close->setObjectName(QStringLiteral("close"));
    m_status->setObjectName(QStringLiteral("status"));
    // Like the search rule, case matters unless the user says otherwise.
    m_caseSensitive->setChecked(true);
    m_findNext->setDefault(true);
    for (QPushButton *button : {m_replaceNext, m_replaceAll, m_close})
        button->setAutoDefault(false);

    auto *findLabel = new QLabel(QStringLiteral("検索する文字列(&N):"), this);
    findLabel->setBuddy(m_findField);
    auto *replaceLabel = new QLabel(QStringLiteral("置換後の文字列(&P):"), this);
    replaceLabel->setBuddy(m_replaceField);
    m_findField->setMinimumWidth(fontMetrics().horizontalAdvance(QString(28, u'M')));
    m_status->setWordWrap(true);
    m_status->setMinimumHeight(fontMetrics().height() * 2);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *grid = new QGridLayout;
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(m_findField, 0, 1);
    grid->addWidget(m_findNext, 0, 2);
    grid->addWidget(replaceLabel, 1, 0);
    grid->addWidget(m_replaceField, 1, 1);
    grid->addWidget(m_replaceNext, 1, 2);
    grid->addWidget(m_caseSensitive, 2, 0, 1, 2);
    grid->addWidget(m_replaceAll, 2, 2);
    grid->addWidget(m_regularExpression, 3, 0, 1, 2);
    grid->addWidget(m_close, 3, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_status);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_findField, m_replaceField);
    setTabOrder(m_replaceField, m_caseSensitive);
    setTabOrder(m_caseSensitive, m_regularExpression);
    setTabOrder(m_regularExpression, m_findNext);
    setTabOrder(m_findNext, m_replaceNext);
    setTabOrder(m_replaceNext, m_replaceAll);
    setTabOrder(m_replaceAll, m_close);
    m_findField->setFocus();

    connect(m_findNext, &QPushButton::clicked, this,
            [this] { showStatus(m_commands.findNext(request())); });
    connect(m_replaceNext, &QPushButton::clicked, this,
            [this] { showStatus(m_commands.replaceNext(request())); });
    connect(m_replaceAll, &QPushButton::clicked, this,
            [this] { showStatus(m_commands.replaceAll(request())); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

QString ReplaceDialog::status() const
{
    return m_status->text();
}

ReplaceCommands::Request ReplaceDialog::request() const
{
    return {m_findText.text(), m_replaceText.text(),
            {m_caseSensitive->isChecked(), m_regularExpression->isChecked()}};
}

void ReplaceDialog::showStatus(const QString &text)
{
    m_status->setText(text);
}

} // namespace zimo
