#include "search/gotodialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace zimo {

GoToDialog::GoToDialog(qsizetype lineCount, qsizetype currentLine, QWidget *parent)
    : QDialog(parent), m_field(new QSpinBox(this))
{
    setObjectName(QStringLiteral("GoToDialog"));
    setWindowTitle(QStringLiteral("指定行へ移動"));
    const int last = int(std::clamp<qsizetype>(lineCount, 1, std::numeric_limits<int>::max()));
    m_field->setObjectName(QStringLiteral("lineNumber"));
    m_field->setRange(1, last);
    m_field->setValue(int(std::clamp<qsizetype>(currentLine, 1, last)));
    m_field->selectAll();
    auto *label = new QLabel(QStringLiteral("行番号 (1 - %1)(&L):").arg(last), this);
    label->setBuddy(m_field);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *go = buttons->addButton(QStringLiteral("移動"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    go->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_field);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_field->setFocus();
}

qsizetype GoToDialog::line() const
{
    return m_field->value();
}

} // namespace zimo
