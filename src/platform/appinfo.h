#pragma once

#include <QString>

namespace zimo {

// The application object.
class AppInfo
{
public:
    virtual ~AppInfo() = default;
    // "ZIMO"
    virtual QString title() const { return QStringLiteral("ZIMO"); }
    // Folder of the program file, without a trailing separator except for the root folder.
    virtual QString path() const = 0;
    // Ends the program at once: no further events, no close questions.
    virtual void end() = 0;
    // Shows that the program is busy (a wait cursor) until the matching setBusy(false); calls
    // nest.
    virtual void setBusy(bool busy) = 0;
};

// Shows the program busy for as long as it lives: around reading, converting and writing a whole
// document. It must end before any question or message is shown.
class BusyScope
{
public:
    explicit BusyScope(AppInfo &app) : m_app(app) { m_app.setBusy(true); }
    ~BusyScope() { m_app.setBusy(false); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    AppInfo &m_app;
};

} // namespace zimo
