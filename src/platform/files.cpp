#include "platform/files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zimo {

std::optional<QByteArray> readWholeFile(const QString &path, QString *error)
{
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir()) {
        if (error)
            *error = QStringLiteral("フォルダです");
        return std::nullopt;
    }
    // A pipe or a device would never end (or never start): only regular files are read.
    if (info.exists() && !info.isFile()) {
        if (error)
            *error = QStringLiteral("通常のファイルではありません");
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

bool writeFileAtomically(const QString &path, QByteArrayView bytes, QString *error)
{
    QSaveFile file(path);
    // A folder without write access cannot take the temporary file; writing straight into an
    // existing writable file there would risk it, so that case fails instead.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace zimo
