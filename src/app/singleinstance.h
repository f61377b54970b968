#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace zimo {

// Keeps a second copy of the program from running: a lock file in the user's runtime folder,
// which a copy that crashed does not leave blocking (its owner's pid is checked).
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath = defaultLockPath(),
                            const QString &fallbackPath = defaultFallbackPath());
    // True when this copy is the only one (it then holds the lock until destroyed). Only a lock
    // held by a running copy says no: where no lock can be made at all (a folder in its place, no
    // rights), the fallback path is tried, and failing that too the program runs unguarded rather
    // than claim a copy that is not there.
    bool isOnlyCopy();

    static QString defaultLockPath();
    static QString defaultFallbackPath();

private:
    // 1: locked, 0: held by another copy, -1: no lock can be made at this path.
    static int tryLock(QLockFile &lock, const QString &path);

    QString m_lockPath;
    QString m_fallbackPath;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace zimo
