#include "document/draft.h"

#include "platform/files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>

namespace zimo {

namespace {

const QByteArray magicLine = QByteArrayLiteral("ZIMO draft 1\n");
// The last header field, written by the format itself: the text's length in UTF-16 code units.
const QByteArray lengthName = QByteArrayLiteral("length");

// A field value on one line: backslash, CR and LF escaped, and every surrogate that is not half
// of a pair written as \uXXXX (UTF-8 cannot hold it).
QByteArray escapeValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value[i];
        if (c == u'\\') {
            out += QLatin1String("\\\\");
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else if (c.isHighSurrogate() && i + 1 < n && value[i + 1].isLowSurrogate()) {
            out += c;
            out += value[++i];
        } else if (c.isSurrogate()) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out.toUtf8();
}

std::optional<QString> unescapeValue(QByteArrayView bytes)
{
    const QString in = QString::fromUtf8(bytes);
    QString out;
    out.reserve(in.size());
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = in[i];
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (++i >= n)
            return std::nullopt;
        const QChar e = in[i];
        if (e == u'\\') {
            out += u'\\';
        } else if (e == u'n') {
            out += u'\n';
        } else if (e == u'r') {
            out += u'\r';
        } else if (e == u'u' && i + 4 < n) {
            bool ok = false;
            const uint code = QStringView(in).sliced(i + 1, 4).toUInt(&ok, 16);
            if (!ok)
                return std::nullopt;
            out += QChar(char16_t(code));
            i += 4;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

const QByteArray journalLine = QByteArrayLiteral("ZIMO draft journal 1\n");
constexpr qsizetype recordHashSize = 32;
// A record larger than this is not believed (a damaged length).
constexpr quint64 largestRecord = quint64(1) << 40;

// Reads "name=value" lines from `pos` up to an empty line; false when they do not end or one is
// malformed. `special` takes the lines the format itself writes (true: taken).
bool readFields(QByteArrayView bytes, qsizetype &pos, QList<std::pair<QByteArray, QString>> &fields,
                const std::function<bool(QByteArrayView, QByteArrayView, bool &)> &special)
{
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            return false; // the header does not end
        const QByteArrayView line = bytes.sliced(pos, end - pos);
        pos = end + 1;
        if (line.isEmpty())
            return true;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            return false;
        const QByteArrayView name = line.first(eq);
        const QByteArrayView raw = line.sliced(eq + 1);
        bool ok = true;
        if (special && special(name, raw, ok)) {
            if (!ok)
                return false;
            continue;
        }
        std::optional<QString> value = unescapeValue(raw);
        if (!value)
            return false;
        fields.append({name.toByteArray(), *value});
    }
}

void putNumber(QByteArray &out, quint64 n)
{
    char b[8];
    qToLittleEndian<quint64>(n, b);
    out.append(b, 8);
}

bool takeNumber(QByteArrayView bytes, qsizetype &pos, quint64 &n)
{
    if (bytes.size() - pos < 8)
        return false;
    n = qFromLittleEndian<quint64>(bytes.data() + pos);
    pos += 8;
    return true;
}

QByteArray recordHash(QByteArrayView lengthAndPayload)
{
    return QCryptographicHash::hash(lengthAndPayload, QCryptographicHash::Blake2b_256);
}

} // namespace

std::optional<QString> Draft::field(QByteArrayView name) const
{
    for (const auto &[key, value] : fields)
        if (key == name)
            return value;
    return std::nullopt;
}

QByteArray encodeDraft(const Draft &draft)
{
    QByteArray header = magicLine;
    for (const auto &[name, value] : draft.fields) {
        header += name;
        header += '=';
        header += escapeValue(value);
        header += '\n';
    }
    header += lengthName + '=' + QByteArray::number(draft.text.size()) + "\n\n";

    QByteArray bytes(header.size() + draft.text.size() * 2, Qt::Uninitialized);
    char *out = bytes.data();
    std::memcpy(out, header.constData(), size_t(header.size()));
    qToLittleEndian<char16_t>(draft.text.utf16(), draft.text.size(), out + header.size());
    return bytes;
}

std::optional<Draft> decodeDraft(QByteArrayView bytes)
{
    if (!bytes.startsWith(magicLine))
        return std::nullopt;
    Draft draft;
    qsizetype pos = magicLine.size();
    std::optional<qsizetype> length;
    const bool headerRead = readFields(
        bytes, pos, draft.fields, [&](QByteArrayView name, QByteArrayView raw, bool &ok) {
            if (name != lengthName)
                return false;
            const qlonglong n = raw.toLongLong(&ok);
            ok = ok && n >= 0;
            length = qsizetype(n);
            return true;
        });
    if (!headerRead)
        return std::nullopt;
    const qsizetype bodySize = bytes.size() - pos;
    if (!length || bodySize % 2 != 0 || bodySize / 2 != *length)
        return std::nullopt;
    draft.text.resize(*length);
    qFromLittleEndian<char16_t>(bytes.data() + pos, *length, draft.text.data());
    return draft;
}

// ---------------------------------------------------------------------------------------------
// The journal

EditedText::EditedText(const QString &base) : m_base(base), m_size(base.size())
{
    if (m_size > 0)
        m_pieces.push_back({-1, 0, m_size});
}

bool EditedText::isBase() const
{
    return m_pieces.empty() ? m_base.isEmpty()
                            : m_pieces.size() == 1 && m_pieces[0].source < 0 &&
                                  m_pieces[0].from == 0 && m_pieces[0].length == m_base.size();
}

QStringView EditedText::view(const Piece &piece) const
{
    const QString &s = piece.source < 0 ? m_base : m_added[std::size_t(piece.source)];
    return QStringView(s).sliced(piece.from, piece.length);
}

bool EditedText::apply(const DraftEdit &edit)
{
    if (edit.position < 0 || edit.removed < 0 || edit.position > m_size ||
        edit.removed > m_size - edit.position)
        return false;
    // Split the pieces at the edit's start and end, then replace those between.
    auto splitAt = [this](qsizetype at) {
        qsizetype offset = 0;
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            Piece &p = m_pieces[i];
            if (at == offset)
                return i;
            if (at < offset + p.length) {
                const Piece tail{p.source, p.from + (at - offset), p.length - (at - offset)};
                p.length = at - offset;
                m_pieces.insert(m_pieces.begin() + qsizetype(i) + 1, tail);
                return i + 1;
            }
            offset += p.length;
        }
        return m_pieces.size();
    };
    const std::size_t first = splitAt(edit.position);
    const std::size_t last = splitAt(edit.position + edit.removed);
    m_pieces.erase(m_pieces.begin() + qsizetype(first), m_pieces.begin() + qsizetype(last));
    if (!edit.added.isEmpty()) {
        m_added.push_back(edit.added);
        m_pieces.insert(m_pieces.begin() + qsizetype(first),
                        Piece{int(m_added.size() - 1), 0, edit.added.size()});
    }
    m_size += edit.added.size() - edit.removed;
    return true;
}

QString EditedText::text() const
{
    if (isBase())
        return m_base;
    QString out(m_size, Qt::Uninitialized);
    QChar *o = out.data();
    for (const Piece &p : m_pieces) {
        const QStringView v = view(p);
        std::copy(v.begin(), v.end(), o);
        o += v.size();
    }
    return out;
}

bool EditedText::equals(const QString &other) const
{
    if (other.size() != m_size)
        return false;
    const bool baseIsOther = m_base.constData() == other.constData();
    qsizetype offset = 0;
    for (const Piece &p : m_pieces) {
        if (!(baseIsOther && p.source < 0 && p.from == offset) &&
            view(p) != QStringView(other).sliced(offset, p.length))
            return false;
        offset += p.length;
    }
    return true;
}

QByteArray encodeJournalStart(QByteArrayView baseId, qsizetype baseLength)
{
    return journalLine + "base=" + baseId.toByteArray() + "\nbase-length=" +
           QByteArray::number(baseLength) + "\n\n";
}

QByteArray encodeJournalRecord(const QList<std::pair<QByteArray, QString>> &fields,
                               const QList<DraftEdit> &edits)
{
    QByteArray payload;
    for (const auto &[name, value] : fields)
        payload += name + '=' + escapeValue(value) + '\n';
    payload += '\n';
    putNumber(payload, quint64(edits.size()));
    for (const DraftEdit &e : edits) {
        putNumber(payload, quint64(e.position));
        putNumber(payload, quint64(e.removed));
        putNumber(payload, quint64(e.added.size()));
        const qsizetype at = payload.size();
        payload.resize(at + e.added.size() * 2);
        qToLittleEndian<char16_t>(e.added.utf16(), e.added.size(), payload.data() + at);
    }
    QByteArray record;
    record.reserve(8 + payload.size() + recordHashSize);
    putNumber(record, quint64(payload.size()));
    record += payload;
    record += recordHash(record);
    return record;
}

QString baseFileName(QByteArrayView baseId)
{
    return QStringLiteral("base-") + QString::fromLatin1(baseId);
}

QByteArray baseFileBytes(const QString &text)
{
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
        return QByteArray::fromRawData(reinterpret_cast<const char *>(text.utf16()),
                                       text.size() * 2);
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), out.data());
    return out;
}

std::optional<Draft>
decodeJournal(QByteArrayView bytes,
              const std::function<std::optional<QByteArray>(QByteArrayView id)> &readBase)
{
    if (!bytes.startsWith(journalLine))
        return std::nullopt;
    qsizetype pos = journalLine.size();
    QByteArray baseId;
    std::optional<qsizetype> baseLength;
    QList<std::pair<QByteArray, QString>> unknown;
    const bool headerRead = readFields(
        bytes, pos, unknown, [&](QByteArrayView name, QByteArrayView raw, bool &ok) {
            if (name == "base") {
                // Only letters and digits: the id becomes a file name.
                for (const char c : raw)
                    ok = ok && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'));
                baseId = raw.toByteArray();
                return true;
            }
            if (name == "base-length") {
                const qlonglong n = raw.toLongLong(&ok);
                ok = ok && n >= 0;
                baseLength = qsizetype(n);
                return true;
            }
            return false;
        });
    if (!headerRead || !baseLength || (baseId.isEmpty() && *baseLength != 0))
        return std::nullopt;
    QString base;
    if (!baseId.isEmpty()) {
        const std::optional<QByteArray> baseBytes = readBase(baseId);
        if (!baseBytes || baseBytes->size() != *baseLength * 2)
            return std::nullopt;
        base.resize(*baseLength);
        qFromLittleEndian<char16_t>(baseBytes->constData(), *baseLength, base.data());
    }

    EditedText text(base);
    std::optional<QList<std::pair<QByteArray, QString>>> fields;
    // Each whole record in turn; the first that is cut short or damaged ends the journal.
    for (;;) {
        const qsizetype start = pos;
        quint64 payloadSize = 0;
        if (!takeNumber(bytes, pos, payloadSize) || payloadSize > largestRecord ||
            quint64(bytes.size() - pos) < payloadSize + recordHashSize)
            break;
        const qsizetype end = pos + qsizetype(payloadSize);
        if (recordHash(bytes.sliced(start, end - start)) != bytes.sliced(end, recordHashSize))
            break;
        const QByteArrayView payload = bytes.first(end);
        QList<std::pair<QByteArray, QString>> recordFields;
        quint64 count = 0;
        if (!readFields(payload, pos, recordFields, {}) || !takeNumber(payload, pos, count))
            break;
        // The record's edits are read and checked against the text's length first, so that a
        // record that does not fit is left out whole.
        QList<DraftEdit> edits;
        qsizetype size = text.size();
        bool whole = true;
        for (quint64 i = 0; whole && i < count; ++i) {
            quint64 at = 0, removed = 0, added = 0;
            whole = takeNumber(payload, pos, at) && takeNumber(payload, pos, removed) &&
                    takeNumber(payload, pos, added) &&
                    added <= quint64(payload.size() - pos) / 2 && at <= quint64(size) &&
                    removed <= quint64(size) - at;
            if (!whole)
                break;
            DraftEdit edit{qsizetype(at), qsizetype(removed), QString(qsizetype(added), Qt::Uninitialized)};
            qFromLittleEndian<char16_t>(payload.data() + pos, qsizetype(added), edit.added.data());
            pos += qsizetype(added) * 2;
            size += edit.added.size() - edit.removed;
            edits.append(std::move(edit));
        }
        if (!whole || pos != end)
            break;
        for (const DraftEdit &edit : edits)
            text.apply(edit);
        fields = std::move(recordFields);
        pos = end + recordHashSize;
    }
    if (!fields)
        return std::nullopt;
    return Draft{text.text(), *fields};
}

std::optional<Draft> readDraft(const QString &path)
{
    const std::optional<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    if (!bytes->startsWith(journalLine))
        return decodeDraft(*bytes);
    const QString folder = QFileInfo(path).path();
    return decodeJournal(*bytes, [&folder](QByteArrayView id) {
        return readWholeFile(folder + QLatin1Char('/') + baseFileName(id));
    });
}

QString defaultDraftFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // Relative paths are not to be used there: they would depend on the working folder.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(state + QStringLiteral("/zimo"));
}

} // namespace zimo
