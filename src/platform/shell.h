#pragma once

#include <QString>
#include <optional>

namespace zimo {

// What the desktop does for the program outside its own windows.
class Shell
{
public:
    virtual ~Shell() = default;
    // Opens a file-manager window on `folder`. Returns false when nothing could be started.
    virtual bool openFolder(const QString &folder) = 0;
    // Lets the user choose a folder; nothing when cancelled.
    virtual std::optional<QString> browseForFolder() = 0;

    enum class HelpCommand { Contents, Topic };
    // Shows the help file at its contents, or at the topic with the given context number.
    // Returns false when the help file cannot be shown.
    virtual bool showHelp(const QString &helpFile, HelpCommand command, int topic) = 0;

    // Opens the local file `file` in the desktop's default browser (as a file URL). Returns false
    // when nothing could be started.
    virtual bool openInBrowser(const QString &file) = 0;
};

} // namespace zimo
