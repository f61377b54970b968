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
};

} // namespace zimo
