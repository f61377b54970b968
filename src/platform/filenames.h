#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QUrl>

namespace zimo {

// File names as the program holds them. The system's names are bytes; in a UTF-8 system most are
// UTF-8, but a name made on an older system (Shift_JIS, EUC-JP) need not be. Qt's own conversion
// (QFile::decodeName) turns such bytes into U+FFFD, and the name then names another file. Here a
// name is a QString in which every byte that is not part of a valid UTF-8 character is held as
// the lone low surrogate U+DC00 + byte (U+DC80..U+DCFF): valid UTF-8 never yields a lone
// surrogate, so every byte string comes back exactly. Every place that hands a name to the system
// converts it with fileNameBytes, never with QFile::encodeName.

// The bytes the system gave, as a name: valid UTF-8 as its characters (no overlong forms, no
// surrogates, nothing beyond U+10FFFF), every other byte as U+DC00 + byte.
QString fileNameFromBytes(QByteArrayView bytes);

// The name's bytes for the system: the inverse of fileNameFromBytes. A lone surrogate that holds no
// byte (outside U+DC80..U+DCFF; such a name came from no file) is written as U+FFFD's bytes.
QByteArray fileNameBytes(QStringView name);

// The name to show to the user: every byte held as a surrogate written as \xNN (two upper-case hex
// digits); the rest as it is.
QString displayFileName(QStringView name);

// The name as Qt's own file dialog lists it (its lossy conversion of the bytes).
QString qtShownFileName(QStringView name);

// A name chosen in Qt's file dialog, which lists names that are not UTF-8 with U+FFFD in place of
// their bytes. When `chosen` names nothing on the disk and exactly one entry of its folder is
// shown by Qt as its last part, that entry's real name is returned; otherwise `chosen` itself.
QString resolveShownFileName(const QString &chosen);

// What the system says about a name (stat, and lstat for the link itself); all false when the
// name is not there. `exists`, `isFile` and `isDir` follow a symbolic link.
struct PathInfo
{
    bool exists = false;
    bool isLink = false;
    bool isFile = false;
    bool isDir = false;
    qint64 size = 0;
    QDateTime modified; // UTC, milliseconds
};
PathInfo pathInfo(const QString &path);

// The absolute name with every link, "." and ".." resolved (realpath); empty when it cannot be.
QString canonicalFileName(const QString &path);

// The folder `path` lies in, made absolute against the working folder; as its string is, without
// resolving links ("/a/b" → "/a", "/b" → "/", "b" → the working folder).
QString folderOf(const QString &path);

// The working folder's bytes as a name.
QString workingFolderName();

// The file URL of `path` (made absolute against the working folder), from the name's bytes:
// QUrl::fromLocalFile would turn the bytes that are not UTF-8 into other characters.
QUrl fileUrl(const QString &path);

// The name of the local file `url` names (a file dropped from a file manager), from the URL's
// percent-encoded bytes: QUrl::toLocalFile would turn the bytes that are not UTF-8 into U+FFFD.
// Empty for a URL that is no local file.
QString localFileName(const QUrl &url);

} // namespace zimo
