#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace zimo::test {

// A small tmpfs mounted on a folder for one test (needs root); unmounted when it goes. Tests skip
// when it cannot be mounted; CI runs as root, so there they run.
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
        if (m_filler >= 0)
            ::close(m_filler);
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

    // Fills the file system to the last byte with a filler file, then frees `leaveFree` bytes
    // (a multiple of the page size) again. Returns false when that could not be done.
    bool fill(qint64 leaveFree = 0)
    {
        m_filler = ::open((m_dir + "/.filler").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (m_filler < 0)
            return false;
        static const QByteArray block(4096, 'f');
        qint64 size = 0;
        for (;;) {
            const ssize_t n = ::write(m_filler, block.constData(), size_t(block.size()));
            if (n <= 0)
                break;
            size += n;
        }
        if (::write(m_filler, "f", 1) == 1) // must be full now
            return false;
        return leaveFree == 0 || (size >= leaveFree && ::ftruncate(m_filler, size - leaveFree) == 0);
    }

private:
    QByteArray m_dir;
    QByteArray m_options;
    bool m_mounted;
    int m_filler = -1;
};

} // namespace zimo::test
