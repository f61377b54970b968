#include "platform/filenames.h"

#include <QFile>
#include <QList>

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zimo {

namespace {

constexpr char16_t escapeBase = 0xDC00;

bool isTrail(uchar b, uchar low = 0x80, uchar high = 0xBF)
{
    return b >= low && b <= high;
}

// The length of the valid UTF-8 character at `p` (at most `left` bytes), or 0 when the byte there
// starts none.
int validSequence(const uchar *p, qsizetype left)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    // The second byte's range depends on the first: this excludes overlong forms, surrogates and
    // code points beyond U+10FFFF.
    uchar low = 0x80, high = 0xBF;
    int length = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || !isTrail(p[1], low, high))
        return 0;
    for (int i = 2; i < length; ++i)
        if (!isTrail(p[i]))
            return 0;
    return length;
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool isEscapedByte(char16_t c)
{
    return c >= escapeBase + 0x80 && c <= escapeBase + 0xFF;
}

QDateTime timeOf(const struct stat &st)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                              st.st_mtim.tv_nsec / 1000000,
                                          Qt::UTC);
}

} // namespace

QString fileNameFromBytes(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const int length = validSequence(p + i, n - i);
        if (length == 0) {
            name += QChar(char16_t(escapeBase + p[i]));
            ++i;
            continue;
        }
        if (length == 1) {
            name += QLatin1Char(char(p[i]));
        } else {
            char32_t c = p[i] & (0xFF >> (length + 1));
            for (int k = 1; k < length; ++k)
                c = (c << 6) | (p[i + k] & 0x3F);
            const char32_t one[1] = {c};
            name += QString::fromUcs4(one, 1);
        }
        i += length;
    }
    return name;
}

QByteArray fileNameBytes(QStringView name)
{
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && name[i + 1].isLowSurrogate()) {
            appendUtf8(bytes, QChar::surrogateToUcs4(c, name[i + 1].unicode()));
            ++i;
        } else if (isEscapedByte(c)) {
            bytes += char(c - escapeBase);
        } else if (QChar::isSurrogate(c)) {
            appendUtf8(bytes, 0xFFFD);
        } else {
            appendUtf8(bytes, c);
        }
    }
    return bytes;
}

QString displayFileName(QStringView name)
{
    QString shown;
    shown.reserve(name.size());
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = name[i].unicode();
        const bool paired = (QChar::isHighSurrogate(c) && i + 1 < n && name[i + 1].isLowSurrogate()) ||
                            (QChar::isLowSurrogate(c) && i > 0 && name[i - 1].isHighSurrogate());
        if (!paired && isEscapedByte(c))
            shown += QStringLiteral("\\x") +
                     QStringLiteral("%1").arg(uint(c - escapeBase), 2, 16, QLatin1Char('0')).toUpper();
        else
            shown += QChar(c);
    }
    return shown;
}

QString qtShownFileName(QStringView name)
{
    return QFile::decodeName(fileNameBytes(name));
}

QString resolveShownFileName(const QString &chosen)
{
    if (chosen.isEmpty())
        return chosen;
    if (const PathInfo info = pathInfo(chosen); info.exists || info.isLink)
        return chosen;
    const qsizetype slash = chosen.lastIndexOf(u'/');
    const QString last = chosen.sliced(slash + 1);
    // Only a name Qt could not show as it is can stand for another.
    if (!last.contains(QChar(QChar::ReplacementCharacter)))
        return chosen;
    const QString folder = slash < 0 ? QString() : chosen.first(slash + 1);
    const QByteArray folderBytes = slash < 0 ? QByteArray(".") : fileNameBytes(folder);
    DIR *dir = ::opendir(folderBytes.constData());
    if (!dir)
        return chosen;
    QList<QByteArray> matches;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray entryName(entry->d_name);
        if (QFile::decodeName(entryName) == last)
            matches.append(entryName);
    }
    ::closedir(dir);
    // Two names Qt shows alike cannot be told apart: the choice stays as made.
    if (matches.size() != 1)
        return chosen;
    return folder + fileNameFromBytes(matches.first());
}

PathInfo pathInfo(const QString &path)
{
    PathInfo info;
    if (path.isEmpty())
        return info;
    const QByteArray name = fileNameBytes(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return info;
    info.isLink = S_ISLNK(st.st_mode);
    if (info.isLink && ::stat(name.constData(), &st) != 0)
        return info;
    info.exists = true;
    info.isFile = S_ISREG(st.st_mode);
    info.isDir = S_ISDIR(st.st_mode);
    info.size = qint64(st.st_size);
    info.modified = timeOf(st);
    return info;
}

QString canonicalFileName(const QString &path)
{
    if (path.isEmpty())
        return {};
    char *resolved = ::realpath(fileNameBytes(path).constData(), nullptr);
    if (!resolved)
        return {};
    const QString name = fileNameFromBytes(QByteArrayView(resolved));
    std::free(resolved);
    return name;
}

QString workingFolderName()
{
    char *folder = ::getcwd(nullptr, 0);
    if (!folder)
        return QStringLiteral("/");
    const QString name = fileNameFromBytes(QByteArrayView(folder));
    std::free(folder);
    return name;
}

QUrl fileUrl(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QString absolute = path.startsWith(u'/') ? path : workingFolderName() + u'/' + path;
    // Every byte but the unreserved ones and "/" is percent-encoded: the URL holds the exact bytes.
    return QUrl::fromEncoded("file://" + fileNameBytes(absolute).toPercentEncoding("/"),
                             QUrl::StrictMode);
}

QString localFileName(const QUrl &url)
{
    if (!url.isLocalFile())
        return {};
    // A file on another host ("file://host/path") is left to Qt's own form of it.
    if (!url.host().isEmpty())
        return url.toLocalFile();
    return fileNameFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return workingFolderName();
    if (slash == 0)
        return QStringLiteral("/");
    const QString folder = path.first(slash);
    if (folder.startsWith(u'/'))
        return folder;
    return workingFolderName() + u'/' + folder;
}

} // namespace zimo
