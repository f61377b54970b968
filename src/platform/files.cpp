#include "platform/files.h"

#include "platform/filenames.h"

#include <QMutex>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zimo {

namespace {

// Reasons that read the same for reading and writing, from the system's error number; empty for
// the others.
QString commonReason(int err)
{
    switch (err) {
    case ENOTDIR:
        return QStringLiteral("パスの途中にフォルダではない項目があります。");
    case ENAMETOOLONG:
        return QStringLiteral("ファイル名が長すぎます。");
    case ELOOP:
        return QStringLiteral("シンボリックリンクが循環しています。");
    case EIO:
        return QStringLiteral("ディスクの読み書きでエラーが起きました。");
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("ファイルが使用中です。");
    default:
        return {};
    }
}

// The reason a file cannot be read, in the user's words, from the system's error number.
QString readFailureReason(int err)
{
    switch (err) {
    case ENOENT:
        return QStringLiteral("ファイルがありません。");
    case EACCES:
    case EPERM:
        return QStringLiteral("読み取りの権限がありません。");
    case EISDIR:
        return QStringLiteral("フォルダは開けません。");
    case ENOMEM:
    case EFBIG:
    case EOVERFLOW:
        return QStringLiteral("ファイルが大きすぎて読み込めません。");
    }
    const QString common = commonReason(err);
    return common.isEmpty()
               ? QStringLiteral("読み込みでエラーが起きました（エラー番号 %1）。").arg(err)
               : common;
}

const QString notRegularFile =
    QStringLiteral("通常のファイルではありません（名前付きパイプや装置は開けません）。");

} // namespace

std::optional<QByteArray> readWholeFile(const QString &path, QString *error)
{
    auto fail = [&](const QString &reason) -> std::optional<QByteArray> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    // A pipe or a device would never end (or never start): only regular files are read. A
    // device is not even opened; the check is made again on what was opened, and that is opened
    // without waiting, so that a pipe put there meanwhile is refused instead of waited on.
    const QByteArray name = fileNameBytes(path);
    struct stat first {};
    if (::stat(name.constData(), &first) == 0 && !S_ISREG(first.st_mode) && !S_ISDIR(first.st_mode))
        return fail(notRegularFile);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(readFailureReason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(readFailureReason(err));
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(readFailureReason(EISDIR));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(notRegularFile);
    }
    QByteArray bytes;
    try {
        // Read straight into the array: its size is known, plus one byte to see the end at once.
        bytes.resize(qsizetype(st.st_size) + 1);
        qsizetype have = 0;
        for (;;) {
            if (have == bytes.size())
                bytes.resize(have + std::max<qsizetype>(have, 65536));
            const ssize_t n = ::read(fd, bytes.data() + have,
                                     size_t(std::min<qsizetype>(bytes.size() - have, 1 << 30)));
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                const int err = errno;
                ::close(fd);
                return fail(readFailureReason(err));
            }
            have += n;
        }
        bytes.truncate(have);
    } catch (const std::bad_alloc &) {
        ::close(fd);
        return fail(readFailureReason(ENOMEM));
    }
    ::close(fd);
    return bytes;
}

QList<QByteArray> splitLines(QByteArrayView bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] != '\r')
            continue;
        lines.append(bytes.sliced(start, i - start).toByteArray());
        if (i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(bytes.sliced(start).toByteArray());
    return lines;
}

std::optional<QByteArray> FieldReader::next()
{
    const qsizetype n = m_bytes.size();
    while (m_pos < n && (m_bytes[m_pos] == ' ' || m_bytes[m_pos] == '\t'))
        ++m_pos;
    if (m_pos >= n)
        return std::nullopt;

    QByteArray field;
    if (m_bytes[m_pos] == '"') {
        const qsizetype open = m_pos + 1;
        qsizetype close = open;
        while (close < n && m_bytes[close] != '"')
            ++close;
        field = m_bytes.sliced(open, close - open).toByteArray();
        m_pos = close < n ? close + 1 : n;
        // Whatever follows the closing quote up to the field's end is passed over.
        while (m_pos < n && m_bytes[m_pos] != ',' && m_bytes[m_pos] != '\r' &&
               m_bytes[m_pos] != '\n')
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < n && m_bytes[m_pos] != ',' && m_bytes[m_pos] != '\r' &&
               m_bytes[m_pos] != '\n')
            ++m_pos;
        field = m_bytes.sliced(start, m_pos - start).toByteArray();
        // Blanks at the end of an unquoted field are dropped.
        while (field.endsWith(' ') || field.endsWith('\t'))
            field.chop(1);
    }

    // Step over the field's end: a comma, or a line end (CR LF, CR or LF).
    if (m_pos < n) {
        if (m_bytes[m_pos] == ',') {
            ++m_pos;
        } else if (m_bytes[m_pos] == '\r') {
            ++m_pos;
            if (m_pos < n && m_bytes[m_pos] == '\n')
                ++m_pos;
        } else if (m_bytes[m_pos] == '\n') {
            ++m_pos;
        }
    }
    return field;
}

namespace {

const QString readOnlyFile = QStringLiteral("ファイルが読み取り専用です。");

// 0 when this process may write to `path` (its effective rights, as the kernel would judge),
// else the reason's error number (EACCES, EROFS, ...).
int writeAccess(const QByteArray &path)
{
    return ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

// The reason for a failed write of `path` in the user's words, from the system's error number.
QString writeFailureReason(const QString &path, int err)
{
    const QString folder = folderOf(path);
    const QByteArray folderName = fileNameBytes(folder);
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクの空き容量が足りません。");
    case EROFS:
        return QStringLiteral("読み取り専用の場所です。");
    case EACCES:
    case EPERM:
        // The new text goes to a temporary file beside the old one, so the folder must be
        // writable even when the file itself is.
        if (pathInfo(folder).isDir && writeAccess(folderName) != 0)
            return QStringLiteral("フォルダ「%1」に書き込む権限がありません。")
                .arg(displayFileName(folder));
        if (pathInfo(path).exists && writeAccess(fileNameBytes(path)) != 0)
            return readOnlyFile;
        return QStringLiteral("書き込む権限がありません。");
    case ENOENT:
        return QStringLiteral("フォルダ「%1」がありません。").arg(displayFileName(folder));
    case EISDIR:
        return QStringLiteral("同じ名前のフォルダがあります。");
    }
    const QString common = commonReason(err);
    return common.isEmpty()
               ? QStringLiteral("書き込みでエラーが起きました（エラー番号 %1）。").arg(err)
               : common;
}

// The folder part of the name `path` ("/a/b" → "/a", "/b" → "/", "b" → ".").
QByteArray folderBytes(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.first(slash);
}

// Where the bytes of `path` really go: a symbolic link is followed, so that the link stays a link.
// A link to a missing file gives the name it points to (the write creates that file).
QByteArray writeTarget(const QByteArray &path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    if (char *resolved = ::realpath(path.constData(), nullptr)) {
        const QByteArray target(resolved);
        std::free(resolved);
        return target;
    }
    QByteArray link(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(path.constData(), link.data(), size_t(link.size()));
    if (n <= 0 || n >= link.size())
        return path;
    link.truncate(n);
    if (link.startsWith('/'))
        return link;
    return folderBytes(path) + '/' + link;
}

// Writes all of `bytes` to `fd`; false with errno set on failure.
bool writeAll(int fd, QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(std::min<qsizetype>(left, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// The longest file name most file systems take (NAME_MAX), in bytes.
constexpr qsizetype nameMax = 255;
// What a temporary name adds to the name it is made from: "." before, ".zimo-" and up to seven
// characters after.
constexpr qsizetype temporaryExtra = 1 + 6 + 7;

// The first `limit` bytes of the file name `name`, not cutting a UTF-8 character in two.
QByteArray cutName(QByteArray name, qsizetype limit)
{
    if (name.size() <= limit)
        return name;
    qsizetype end = limit;
    while (end > 0 && (uchar(name[end]) & 0xC0) == 0x80)
        --end;
    name.truncate(end);
    return name;
}

// Creates a new temporary file beside `target` with the rights `mode` (the kernel applies the
// process's file mode mask). Its name is "." + the target's name + ".zimo-" + random characters,
// the target's name cut where that would be too long for a file name. Returns the descriptor, or
// -1 with errno set.
int createTemporary(const QByteArray &target, QByteArray &tempName, mode_t mode)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray stem = target.first(slash + 1) + '.' +
                            cutName(target.sliced(slash + 1), nameMax - temporaryExtra);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = stem + ".zimo-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(tempName.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes a rename in `folder` durable; a folder that cannot be synced changes nothing written.
void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// When this program started: a temporary file older than that belongs to an earlier run.
const timespec processStart = [] {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

bool olderThanStart(const struct stat &st)
{
    return st.st_mtim.tv_sec < processStart.tv_sec ||
           (st.st_mtim.tv_sec == processStart.tv_sec && st.st_mtim.tv_nsec < processStart.tv_nsec);
}

// Removes what an earlier run of this program left in `folder` when it was killed in the middle
// of a write: files of its temporary names, the user's own, regular, with one name, not changed
// since before this run began. Only the first write into a folder looks (a folder is read once a
// run); anything not proven to be such a file is left alone.
void removeStaleTemporaries(const QByteArray &folder)
{
    static QMutex mutex;
    static QSet<QByteArray> looked;
    {
        const QMutexLocker lock(&mutex);
        if (looked.contains(folder))
            return;
        looked.insert(folder);
    }
    const int dirFd = ::open(folder.constData(),
                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0)
        return;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        if (!isTemporaryName(QByteArrayView(entry->d_name)))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1 && olderThanStart(st))
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

FileIdentity identityOf(const struct stat &st)
{
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

// Whether `path` names the regular file `own` now (the name itself, never a link's target).
bool isOwnFile(const QByteArray &path, const FileIdentity &own)
{
    struct stat st {};
    return own.isValid() && ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           identityOf(st) == own;
}

// Writes `bytes` over the existing regular file `target` in place, keeping its inode (and so its
// other hard links, its owner and group, its rights). The new length is reserved before the first
// byte changes: when the disk cannot hold it, the file is left byte for byte as it was.
bool writeInPlace(const QByteArray &target, QByteArrayView bytes, bool followLink, int &err)
{
    const int noFollow = followLink ? 0 : O_NOFOLLOW;
    // Read access lets the reservation fall back to the C library's way on file systems
    // without one of their own; a file the user may only write is opened for writing alone.
    int fd = ::open(target.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | noFollow);
    if (fd < 0 && errno == EACCES)
        fd = ::open(target.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | noFollow);
    if (fd < 0) {
        err = errno;
        return false;
    }
    auto failed = [&](int e) {
        ::close(fd);
        err = e;
        return false;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return failed(errno);
    if (!S_ISREG(st.st_mode))
        return failed(EINVAL);
    const off_t length = off_t(bytes.size());
    if (length > 0) {
        const int r = ::posix_fallocate(fd, 0, length);
        if (r != 0) {
            // Whatever size the attempt left is taken back: the old bytes were not touched.
            struct stat now {};
            if (::fstat(fd, &now) == 0 && now.st_size != st.st_size)
                ::ftruncate(fd, st.st_size);
            return failed(r);
        }
    }
    const char *p = bytes.data();
    off_t offset = 0;
    while (offset < length) {
        const ssize_t n =
            ::pwrite(fd, p + offset, size_t(std::min<off_t>(length - offset, 1 << 30)), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed(errno);
        }
        offset += n;
    }
    if (::ftruncate(fd, length) != 0 || ::fsync(fd) != 0)
        return failed(errno);
    if (::close(fd) != 0) {
        err = errno;
        return false;
    }
    return true;
}

} // namespace

bool isTemporaryName(QByteArrayView name)
{
    static constexpr QByteArrayView mark(".zimo-");
    const qsizetype at = name.lastIndexOf(mark);
    // "." + at least one character of a name before the mark.
    if (!name.startsWith('.') || at < 2)
        return false;
    const QByteArrayView tail = name.sliced(at + mark.size());
    if (tail.isEmpty() || tail.size() > 7)
        return false;
    return std::all_of(tail.begin(), tail.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
    });
}

bool writeFileAtomically(const QString &path, QByteArrayView bytes, QString *error, unsigned flags)
{
    // Every step is checked: the bytes reach the disk (fsync) before the rename puts them in
    // place of the old file, so neither a full disk nor a crash right after a save can leave an
    // empty or cut file. Any failure removes the temporary file and leaves the old one as it was.
    const bool followLink = flags & FollowLink;
    const bool privateFile = flags & PrivateFile;
    const QByteArray pathName = fileNameBytes(path);
    const QByteArray targetName = followLink ? writeTarget(pathName) : pathName;
    auto fail = [&](int err) {
        if (error)
            *error = writeFailureReason(path, err);
        return false;
    };

    struct stat old {};
    const bool existed = (followLink ? ::stat(targetName.constData(), &old)
                                     : ::lstat(targetName.constData(), &old)) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return fail(EISDIR);
    const bool oldFile = existed && S_ISREG(old.st_mode);
    const QByteArray folder = fileNameBytes(folderOf(fileNameFromBytes(targetName)));
    removeStaleTemporaries(folder);

    auto inPlace = [&] {
        int err = 0;
        if (!writeInPlace(targetName, bytes, followLink, err))
            return fail(err);
        return true;
    };
    if (oldFile && !privateFile) {
        // A file the user may not write is not replaced, though the folder would allow it.
        if (const int err = writeAccess(targetName)) {
            if (err != EACCES && err != EPERM)
                return fail(err); // a read-only mount, ...
            if (error)
                *error = readOnlyFile;
            return false;
        }
        // A rename would need the folder's rights, cut the file's other hard links off the new
        // text, or give the file a new owner: the file is written where it is.
        if (old.st_nlink > 1 || old.st_uid != ::geteuid() ||
            writeAccess(folder) != 0)
            return inPlace();
    }

    QByteArray tempName;
    const mode_t mode = privateFile ? 0600 : oldFile ? (old.st_mode & 0777) : 0666;
    const int fd = createTemporary(targetName, tempName, mode);
    if (fd < 0)
        return fail(errno);
    auto discard = [&](int err) {
        ::close(fd);
        ::unlink(tempName.constData());
        return fail(err);
    };
    if (privateFile) {
        if (::fchmod(fd, 0600) != 0)
            return discard(errno);
    } else if (oldFile) {
        // The file keeps its permissions, and its owner and group; where the new file cannot
        // take the group (one the user is no member of), the old file is written in place.
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return discard(errno);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            ::close(fd);
            ::unlink(tempName.constData());
            return inPlace();
        }
    }
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0)
        return discard(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tempName.constData());
        return fail(err);
    }
    if (::rename(tempName.constData(), targetName.constData()) != 0) {
        const int err = errno;
        ::unlink(tempName.constData());
        return fail(err);
    }
    syncFolder(folder);
    return true;
}

// A failed write of the program's own file: the error and its reason, no identity.
static OwnFileResult ownFileFailure(const QString &path, int err)
{
    OwnFileResult result;
    result.err = err;
    result.reason = writeFailureReason(path, err);
    return result;
}

OwnFileResult createOwnFile(const QString &path, QByteArrayView bytes)
{
    OwnFileResult result;
    const auto failed = [&path](int err) { return ownFileFailure(path, err); };
    const QByteArray name = fileNameBytes(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return failed(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !writeAll(fd, bytes)) {
        const int err = errno;
        ::close(fd);
        if (st.st_ino != 0 && isOwnFile(name, identityOf(st)))
            ::unlink(name.constData());
        return failed(err);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        if (isOwnFile(name, identityOf(st)))
            ::unlink(name.constData());
        return failed(err);
    }
    result.identity = identityOf(st);
    return result;
}

OwnFileResult replaceOwnFile(const QString &path, const FileIdentity &own, QByteArrayView bytes)
{
    OwnFileResult result;
    const auto failed = [&path](int err) { return ownFileFailure(path, err); };
    const QByteArray name = fileNameBytes(path);
    if (!isOwnFile(name, own))
        return failed(EEXIST);
    QByteArray tempName;
    const int fd = createTemporary(name, tempName, 0600);
    if (fd < 0)
        return failed(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !writeAll(fd, bytes)) {
        const int err = errno;
        ::close(fd);
        ::unlink(tempName.constData());
        return failed(err);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tempName.constData());
        return failed(err);
    }
    // Checked again right before the rename, which replaces the name and never follows it.
    if (!isOwnFile(name, own)) {
        ::unlink(tempName.constData());
        return failed(EEXIST);
    }
    if (::rename(tempName.constData(), name.constData()) != 0) {
        const int err = errno;
        ::unlink(tempName.constData());
        return failed(err);
    }
    result.identity = identityOf(st);
    return result;
}

QString describeWriteFailure(const QString &path, int err)
{
    return writeFailureReason(path, err);
}

bool removeOwnFile(const QString &path, const FileIdentity &own)
{
    const QByteArray name = fileNameBytes(path);
    return isOwnFile(name, own) && ::unlink(name.constData()) == 0;
}

} // namespace zimo
