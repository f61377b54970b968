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
    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    // True when this copy is the only one (it then holds the lock until destroyed).
    bool isOnlyCopy();

    static QString defaultLockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace zimo
