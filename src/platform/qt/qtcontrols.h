#pragma once

#include "platform/controls.h"

#include <QAction>
#include <QLabel>

namespace zimo {

class ActionMenuItem : public MenuItem
{
public:
    explicit ActionMenuItem(QAction *action) : m_action(action) {}
    bool isEnabled() const override { return m_action->isEnabled(); }
    void setEnabled(bool enabled) override { m_action->setEnabled(enabled); }

private:
    QAction *m_action;
};

class WidgetLabel : public Label
{
public:
    explicit WidgetLabel(QLabel *label) : m_label(label) {}
    QString caption() const override { return m_label->text(); }
    void setCaption(const QString &caption) override { m_label->setText(caption); }

private:
    QLabel *m_label;
};

} // namespace zimo
