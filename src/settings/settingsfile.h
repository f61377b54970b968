#pragma once

#include "platform/messagebox.h"

#include <QByteArrayView>
#include <QString>

namespace zimo {

// Replaces a settings file in the working folder with `bytes`, atomically: a failed write leaves
// the old file as it was. A symbolic link of the name is replaced by the file. A failure is told to the user in a warning box that names the file and
// the reason. Returns whether the file now holds `bytes`.
bool writeSettingsFile(MessageBox &messageBox, const QString &fileName, QByteArrayView bytes);

// The text of that warning.
QString cannotWriteMessage(const QString &fileName, const QString &reason);

} // namespace zimo
