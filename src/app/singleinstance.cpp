#include "app/singleinstance.h"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

namespace zimo {

SingleInstance::SingleInstance(const QString &lockPath) : m_lock(std::make_unique<QLockFile>(lockPath))
{
}

bool SingleInstance::isOnlyCopy()
{
    // The default stale time stays: a lock whose owner is gone is taken over at once.
    return m_lock->tryLock(0);
}

QString SingleInstance::defaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return QDir::tempPath() + QStringLiteral("/zimo-%1.lock").arg(getuid());
    return folder + QStringLiteral("/zimo.lock");
}

} // namespace zimo
