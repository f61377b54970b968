#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

namespace zimo {

// The whole file as bytes; nothing (and `error` set) when it cannot be opened or read.
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

// Replaces the file with `bytes` through a temporary file beside it, synced to the disk before a
// rename puts it in place, so that a failed write (a full disk, no rights, a crash) leaves the old
// file as it was. A symbolic link is followed; an existing file keeps its permissions. Returns
// false and sets `error` to the reason in the user's words (Japanese) on failure.
bool writeFileAtomically(const QString &path, QByteArrayView bytes, QString *error = nullptr);

} // namespace zimo
