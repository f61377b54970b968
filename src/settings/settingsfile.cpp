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
    if (writeFileAtomically(fileName, bytes, &reason))
        return true;
    messageBox.show(cannotWriteMessage(fileName, reason), MsgStyle::Exclamation);
    return false;
}

} // namespace zimo
