#include "app/singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace zimo {

SingleInstance::SingleInstance(const QString &lockPath, const QString &fallbackPath)
    : m_lockPath(lockPath), m_fallbackPath(fallbackPath), m_lock(std::make_unique<QLockFile>(lockPath))
{
}

int SingleInstance::tryLock(QLockFile &lock, const QString &path)
{
    // The default stale time stays: a lock whose owner is gone is taken over at once.
    if (lock.tryLock(0))
        return 1;
    // QLockFile also says "held" when something that is no lock file (a folder) is in the way.
    const bool held = lock.error() == QLockFile::LockFailedError && QFileInfo(path).isFile();
    return held ? 0 : -1;
}

bool SingleInstance::isOnlyCopy()
{
    const int primary = tryLock(*m_lock, m_lockPath);
    if (primary >= 0)
        return primary == 1;
    m_lock = std::make_unique<QLockFile>(m_fallbackPath);
    return tryLock(*m_lock, m_fallbackPath) != 0;
}

QString SingleInstance::defaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return defaultFallbackPath();
    return folder + QStringLiteral("/zimo.lock");
}

QString SingleInstance::defaultFallbackPath()
{
    return QDir::tempPath() + QStringLiteral("/zimo-%1.lock").arg(getuid());
}

} // namespace zimo
