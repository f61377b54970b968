#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

namespace zimo {

// The whole file as bytes; nothing (and `error` set to the reason in Japanese) when it cannot be
// opened or read, or is no regular file.
std::optional<QByteArray> readWholeFile(const QString &path, QString *error = nullptr);

// Splits bytes into lines: a line ends at CR LF or at a lone CR, which are not part of it; a lone
// LF stays inside its line; the last line may have no end. Empty input gives no lines.
QList<QByteArray> splitLines(QByteArrayView bytes);

// Reads comma-separated fields one after another, as the settings files are read: blanks before a
// field are skipped; a field ends at the next comma or the end of the line; a field that begins
// with a double quote runs to the next double quote, without the quotes. Works on the bytes of a
// code page 932 file: comma, quote, blank, CR and LF never occur as a trail byte there.
class FieldReader
{
public:
    explicit FieldReader(QByteArrayView bytes) : m_bytes(bytes) {}
    // The next field, or nothing at the end of the input.
    std::optional<QByteArray> next();
    bool atEnd() const { return m_pos >= m_bytes.size(); }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

// How writeFileAtomically treats the name it is given.
enum WriteFlag : unsigned {
    // A symbolic link at the name is followed and the file it points to is written: a document
    // the user opened through the link. Without it the link itself is replaced by the new file,
    // so that a link another user planted never redirects the write.
    FollowLink = 0x1,
    // A file of the user's alone (a draft): readable and writable by its owner only (0600),
    // whatever the old file's rights or the file mode mask; always replaced through a rename.
    PrivateFile = 0x2,
};

// Replaces the file with `bytes` through a temporary file beside it, synced to the disk before a
// rename puts it in place, so that a failed write (a full disk, no rights, a crash) leaves the old
// file as it was. An existing file keeps its permissions. A file the user may not write is not
// replaced ("ファイルが読み取り専用です。"). Where a rename is impossible or would break something (no
// right to write in the folder, several hard links, another owner or group that the new file
// could not take) the file is written in place instead: its new length is reserved first, so a
// full disk fails before a byte changes. Temporary files of this program left behind in the folder
// by an earlier run that was killed are removed at its first write there (see
// isStaleTemporaryName). Returns false and sets `error` to the reason in the user's words
// (Japanese) on failure.
bool writeFileAtomically(const QString &path, QByteArrayView bytes, QString *error = nullptr,
                         unsigned flags = FollowLink);

// Whether `fileName` (no folder) has the shape of this program's temporary file names:
// "." + a name + ".zimo-" + one to seven characters 0-9 a-z.
bool isTemporaryName(QByteArrayView fileName);

// The identity of a file this program created itself (device and inode number).
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool isValid() const { return inode != 0; }
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The outcome of creating or replacing a file of the program's own.
struct OwnFileResult
{
    FileIdentity identity; // of the file written; invalid on failure
    int err = 0;           // the system's error number on failure; EEXIST: the name is taken
    QString reason;        // the reason in Japanese on failure
    bool ok() const { return identity.isValid(); }
};

// Creates a new file `path` holding `bytes`, readable and writable by the user alone. Never goes
// through a symbolic link and never touches anything already at the name (a file, a link, a
// dangling link, a pipe): then fails with EEXIST. A file that could not be written whole is
// removed again.
OwnFileResult createOwnFile(const QString &path, QByteArrayView bytes);

// Replaces the file at `path` with a new one holding `bytes`, but only while it is still the
// regular file `own` created by this program (through a temporary file and a rename, which
// replaces a name and never follows it); anything else at the name fails with EEXIST and is
// left alone.
OwnFileResult replaceOwnFile(const QString &path, const FileIdentity &own, QByteArrayView bytes);

// The reason a write of `path` failed with the system's error number `err`, in Japanese.
QString describeWriteFailure(const QString &path, int err);

// Removes `path` only when it is still the regular file `own`; true when it was removed.
bool removeOwnFile(const QString &path, const FileIdentity &own);

} // namespace zimo
