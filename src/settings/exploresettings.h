#pragma once

#include "document/cp932.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/shell.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace zimo {

// zimo.ini, in the working folder: the explore folder that "エクスプローラ(&E)" opens, as the
// path's code page 932 bytes with no quotes and no line end.
inline const QString zimoIniName = QStringLiteral("zimo.ini");

// The folder used while zimo.ini holds none: the root of the file system.
inline const QString defaultExploreFolder = QStringLiteral("/");

// The explore folder held by zimo.ini's bytes: the first field of the file (blanks before it
// skipped; up to the first comma or line end, or between double quotes). A file with no field
// at all (empty, or blanks only) holds none. An empty first line is an empty folder.
std::optional<QString> readExploreFolder(QByteArrayView bytes);

// The same, read from the file in the working folder; nothing when it is missing or unreadable.
// Reading never creates the file.
std::optional<QString> readExploreFolderFile();

// What storing `folder` leaves in zimo.ini. The file has always been written as an empty line
// first, then the path over it from the first byte, so a path of fewer than two bytes keeps the
// rest of that CR LF after it (an empty path leaves exactly CR LF). Characters that code page
// 932 cannot hold are reported, not written.
cp932::EncodeResult exploreIniBytes(const QString &folder);

// `old` with `bytes` written over it from the first byte; whatever of `old` lies beyond stays.
QByteArray overlayAtStart(QByteArrayView old, QByteArrayView bytes);

// What the detailed-settings dialog does, apart from its widgets. `Label1` is the dialog's only
// copy of the folder until it is stored.
class ExploreSettings
{
public:
    ExploreSettings(Label &Label1, MessageBox &messageBox, Shell &shell)
        : m_label(Label1), m_messageBox(messageBox), m_shell(shell)
    {
    }

    // Shows the folder held by zimo.ini. Without one, says so, shows the default folder and
    // writes it into the file.
    void load();
    // "...": lets the user choose a folder for the label; a cancelled choice keeps the label.
    void browse();
    // "Ok": writes the label into zimo.ini. Returns false (the user has been told why) when it
    // could not be stored; the dialog then stays open.
    bool store();

private:
    Label &m_label;
    MessageBox &m_messageBox;
    Shell &m_shell;
};

} // namespace zimo
