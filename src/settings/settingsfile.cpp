#include "settings/settingsfile.h"

#include "platform/files.h"

namespace zimo {

QString cannotWriteMessage(const QString &fileName, const QString &reason)
{
    return QStringLiteral("「%1」に書き込めませんでした。\n%2").arg(fileName, reason);
}

bool writeSettingsFile(MessageBox &messageBox, const QString &fileName, QByteArrayView bytes)
{
    QString reason;
    // The working folder may be shared: a symbolic link of the settings file's name is replaced,
    // never written through (another user may have put it there).
    if (writeFileAtomically(fileName, bytes, &reason, /*flags=*/0))
        return true;
    messageBox.show(cannotWriteMessage(fileName, reason), MsgStyle::Exclamation);
    return false;
}

} // namespace zimo
