#include "document/draft.h"

#include <QDir>
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
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            return std::nullopt; // the header does not end
        const QByteArrayView line = bytes.sliced(pos, end - pos);
        pos = end + 1;
        if (line.isEmpty())
            break;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            return std::nullopt;
        const QByteArrayView name = line.first(eq);
        const QByteArrayView raw = line.sliced(eq + 1);
        if (name == lengthName) {
            bool ok = false;
            const qlonglong n = raw.toLongLong(&ok);
            if (!ok || n < 0)
                return std::nullopt;
            length = qsizetype(n);
            continue;
        }
        std::optional<QString> value = unescapeValue(raw);
        if (!value)
            return std::nullopt;
        draft.fields.append({name.toByteArray(), *value});
    }
    const qsizetype bodySize = bytes.size() - pos;
    if (!length || bodySize % 2 != 0 || bodySize / 2 != *length)
        return std::nullopt;
    draft.text.resize(*length);
    qFromLittleEndian<char16_t>(bytes.data() + pos, *length, draft.text.data());
    return draft;
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
