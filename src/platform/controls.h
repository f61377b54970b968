#pragma once

#include <QString>

namespace zimo {

// A menu item's enabled flag. A disabled item and its shortcut do nothing.
class MenuItem
{
public:
    virtual ~MenuItem() = default;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
};

// A label's caption.
class Label
{
public:
    virtual ~Label() = default;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
};

} // namespace zimo
