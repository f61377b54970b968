#pragma once

#include "platform/messagebox.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zimo {

// Settings of the program's own that the two older settings files do not hold, in one file:
// $XDG_CONFIG_HOME/zimo/settings.conf ($HOME/.config when XDG_CONFIG_HOME is unset or not an
// absolute path). UTF-8 lines "name=value"; blank lines and lines starting with "#" are comments.
// A missing, unreadable, oversized or garbled file, and any line or value not understood, leave
// the defaults; rewriting the file keeps every line it does not change.
struct OwnSettings
{
    bool lineNumbers = false; // "lineNumbers=true": the line-number gutter is shown
};

QString ownSettingsPath();
OwnSettings readOwnSettings(QByteArrayView bytes);
// The file's new bytes: `previous` with the settings' lines replaced (or added at the end).
QByteArray ownSettingsBytes(const OwnSettings &settings, QByteArrayView previous = {});

// Reads the file at ownSettingsPath().
OwnSettings loadOwnSettings();
// Writes the settings to ownSettingsPath() atomically, creating its folder (mode 0700) when
// missing. A failure is shown in a warning box that names the file and the reason.
bool saveOwnSettings(const OwnSettings &settings, MessageBox &messageBox);

} // namespace zimo
