#pragma once

#include "platform/filenames.h"
#include "platform/files.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zimo::test {

// Writes a file with exactly these bytes (a failed write fails the test). The name goes to the
// system as the program's own file layer sends it, so a name holding bytes that are not UTF-8
// (fileNameFromBytes) names that very file.
inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(fileNameBytes(path).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    QVERIFY2(fd >= 0, qPrintable(displayFileName(path)));
    const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    ::close(fd);
    QCOMPARE(qsizetype(written), bytes.size());
}

// Removes the folder's tree whatever its names: QTemporaryDir cannot remove a name that is not
// UTF-8 (Qt's own file names lose its bytes).
inline void removeTree(const QString &folder)
{
    const QByteArray top = fileNameBytes(folder);
    if (DIR *dir = ::opendir(top.constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray path = top + '/' + name;
            struct stat st {};
            if (::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
                removeTree(fileNameFromBytes(path));
            else
                ::unlink(path.constData());
        }
        ::closedir(dir);
    }
    ::rmdir(top.constData());
}

// The names in a folder as the system gives them (bytes), sorted, without "." and "..".
inline QList<QByteArray> entriesOf(const QString &folder)
{
    QList<QByteArray> names;
    if (DIR *dir = ::opendir(fileNameBytes(folder).constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A file's bytes, or "<no file>" when it cannot be read.
inline QByteArray bytesOf(const QString &path)
{
    return readWholeFile(path).value_or(QByteArray("<no file>"));
}

} // namespace zimo::test
