#include "app/encodingbutton.h"

#include "document/documentcommands.h"

#include <QMenu>

#include <algorithm>

namespace zimo {

EncodingButton::EncodingButton(DocumentCommands &document, QWidget *parent)
    : QToolButton(parent), m_document(document), m_menu(new QMenu(this))
{
    setObjectName(QStringLiteral("encodingButton"));
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("文字コード"));
    setMenu(m_menu);
    // Built each time it opens, so that it shows the state of that moment.
    connect(m_menu, &QMenu::aboutToShow, this, &EncodingButton::fillMenu);
    m_document.setEncodingListener([this] { refresh(); });
    refresh();
}

void EncodingButton::refresh()
{
    setText(encoding::statusText(m_document.encoding(), m_document.encodingOrigin()));
}

int EncodingButton::extraHeight() const
{
    const QFontMetrics metrics = fontMetrics();
    auto height = [&](const QString &text) { return metrics.size(Qt::TextShowMnemonic, text).height(); };
    int tallest = 0;
    for (const EncodingOrigin origin :
         {EncodingOrigin::Default, EncodingOrigin::Recognised, EncodingOrigin::Chosen}) {
        for (const TextEncoding e : DocumentCommands::writeChoices())
            tallest = std::max(tallest, height(encoding::statusText(e, origin)));
        for (const Encoding e : DocumentCommands::reopenChoices())
            tallest = std::max(tallest, height(encoding::statusText({e, false}, origin)));
    }
    return std::max(0, tallest - height(text()));
}

QSize EncodingButton::sizeHint() const
{
    return QToolButton::sizeHint() + QSize(0, extraHeight());
}

void EncodingButton::fillMenu()
{
    m_menu->clear();
    const TextEncoding current = m_document.encoding();

    QMenu *reopen = m_menu->addMenu(QStringLiteral("別の文字コードで開き直す(&R)"));
    reopen->setObjectName(QStringLiteral("reopenMenu"));
    reopen->setEnabled(m_document.canReopen());
    for (const Encoding e : DocumentCommands::reopenChoices()) {
        QAction *action = reopen->addAction(encoding::displayName(e));
        action->setCheckable(true);
        action->setChecked(e == current.encoding);
        // Queued: the questions and the reading run after the menu has closed.
        connect(action, &QAction::triggered, this, [this, e] { m_document.reopenIn(e); },
                Qt::QueuedConnection);
    }

    QMenu *write = m_menu->addMenu(QStringLiteral("保存する文字コード(&W)"));
    write->setObjectName(QStringLiteral("writeMenu"));
    for (const TextEncoding e : DocumentCommands::writeChoices()) {
        QAction *action = write->addAction(encoding::statusText(e, EncodingOrigin::Recognised));
        action->setCheckable(true);
        action->setChecked(e == current);
        connect(action, &QAction::triggered, this, [this, e] { m_document.writeFromNowOn(e); },
                Qt::QueuedConnection);
    }
}

} // namespace zimo
