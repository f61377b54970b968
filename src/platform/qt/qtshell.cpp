#include "platform/qt/qtshell.h"

#include <QTextBrowser>

namespace zimo {

bool QtShell::openFolder(const QString &)
{
    return false;
}

std::optional<QString> QtShell::browseForFolder()
{
    return std::nullopt;
}

bool QtShell::showHelp(const QString &, HelpCommand, int)
{
    return false;
}

} // namespace zimo
