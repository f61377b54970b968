#include "platform/files.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zimo {

std::optional<QByteArray> readWholeFile(const QString &path, QString *error)
{
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir()) {
        if (error)
            *error = QStringLiteral("フォルダです。");
        return std::nullopt;
    }
    // A pipe or a device would never end (or never start): only regular files are read.
    if (info.exists() && !info.isFile()) {
        if (error)
            *error = QStringLiteral("通常のファイルではありません。");
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
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

// The reason for a failed write of `path` in the user's words, from the system's error number.
QString writeFailureReason(const QString &path, int err)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
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
        if (QFileInfo(folder).isDir() && !QFileInfo(folder).isWritable())
            return QStringLiteral("フォルダ「%1」に書き込む権限がありません。").arg(folder);
        if (info.exists() && !info.isWritable())
            return QStringLiteral("ファイルが書き込み禁止になっています。");
        return QStringLiteral("書き込む権限がありません。");
    case ENOENT:
        return QStringLiteral("フォルダ「%1」がありません。").arg(folder);
    case ENOTDIR:
        return QStringLiteral("パスの途中にフォルダではない項目があります。");
    case EISDIR:
        return QStringLiteral("同じ名前のフォルダがあります。");
    case ENAMETOOLONG:
        return QStringLiteral("ファイル名が長すぎます。");
    case EIO:
        return QStringLiteral("ディスクの読み書きでエラーが起きました。");
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("ファイルが使用中です。");
    default:
        return QStringLiteral("書き込みでエラーが起きました（%1）。")
            .arg(QString::fromLocal8Bit(std::strerror(err)));
    }
}

// Where the bytes of `path` really go: a symbolic link is followed, so that the link stays a link.
QString writeTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.symLinkTarget() : resolved;
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

// Creates a new temporary file beside `target`, readable and writable as the process's file mode
// mask allows (the kernel applies it). Returns the descriptor, or -1 with errno set.
int createTemporary(const QString &target, QByteArray &tempName)
{
    const QFileInfo info(target);
    const QByteArray stem = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName());
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = stem + ".zimo-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes a rename in `folder` durable; a folder that cannot be synced changes nothing written.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool writeFileAtomically(const QString &path, QByteArrayView bytes, QString *error)
{
    // Every step is checked: the bytes reach the disk (fsync) before the rename puts them in
    // place of the old file, so neither a full disk nor a crash right after a save can leave an
    // empty or cut file. Any failure removes the temporary file and leaves the old one as it was.
    const QString target = writeTarget(path);
    auto fail = [&](int err) {
        if (error)
            *error = writeFailureReason(path, err);
        return false;
    };

    struct stat old {};
    const QByteArray targetName = QFile::encodeName(target);
    const bool existed = ::stat(targetName.constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return fail(EISDIR);

    QByteArray tempName;
    const int fd = createTemporary(target, tempName);
    if (fd < 0)
        return fail(errno);
    auto discard = [&](int err) {
        ::close(fd);
        ::unlink(tempName.constData());
        return fail(err);
    };
    if (existed && S_ISREG(old.st_mode)) {
        // The file keeps its permissions, and its owner where the process may give it.
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return discard(errno);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Not allowed for an ordinary user on someone else's file: the file becomes ours.
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
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

} // namespace zimo
