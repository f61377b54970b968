#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/mount.h>

namespace zimo::test {

// A small tmpfs mounted on `dir` for one test (needs root); unmounted when this goes. It makes a
// full disk or a read-only file system real for code that writes files.
class TmpfsMount
{
public:
    explicit TmpfsMount(const QString &dir, const char *options = "size=64k")
        : m_dir(QFile::encodeName(dir)), m_options(options),
          m_mounted(::mount("tmpfs", m_dir.constData(), "tmpfs", 0, options) == 0)
    {
    }
    ~TmpfsMount()
    {
        if (m_mounted)
            ::umount2(m_dir.constData(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount &) = delete;
    TmpfsMount &operator=(const TmpfsMount &) = delete;

    bool mounted() const { return m_mounted; }
    bool makeReadOnly()
    {
        return ::mount("tmpfs", m_dir.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                       m_options.constData()) == 0;
    }

private:
    QByteArray m_dir;
    QByteArray m_options;
    bool m_mounted;
};

} // namespace zimo::test
