#include "check/pagecheck.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace zimo {

QString findingKindName(FindingKind kind)
{
    switch (kind) {
    case FindingKind::Error:
        return QStringLiteral("エラー");
    case FindingKind::Warning:
        return QStringLiteral("警告");
    case FindingKind::Info:
        break;
    }
    return QStringLiteral("情報");
}

QString findingRow(const Finding &finding)
{
    return QStringLiteral("行 %1, 列 %2: %3: ")
               .arg(finding.line)
               .arg(finding.column)
               .arg(findingKindName(finding.kind)) +
           finding.message;
}

QString findingRows(const QList<Finding> &findings)
{
    QString out;
    for (const Finding &f : findings) {
        out += findingRow(f);
        out += u'\n';
    }
    return out;
}

LineStarts::LineStarts(QStringView text) : m_text(text)
{
    m_starts.push_back(0);
    const qsizetype n = text.size();
    const QChar *p = text.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c == u'\r') {
            if (i + 1 < n && p[i + 1] == u'\n')
                ++i;
            m_starts.push_back(i + 1);
        } else if (c == u'\n') {
            m_starts.push_back(i + 1);
        }
    }
}

qsizetype LineStarts::start(qsizetype line) const
{
    line = std::clamp<qsizetype>(line, 1, lineCount());
    return m_starts[std::size_t(line - 1)];
}

qsizetype LineStarts::length(qsizetype line) const
{
    line = std::clamp<qsizetype>(line, 1, lineCount());
    const qsizetype from = m_starts[std::size_t(line - 1)];
    qsizetype end = line < lineCount() ? m_starts[std::size_t(line)] : m_text.size();
    // Without the line end: CR LF, CR or LF.
    if (line < lineCount()) {
        --end;
        if (end - 1 >= from && m_text[end] == u'\n' && m_text[end - 1] == u'\r')
            --end;
    }
    return end - from;
}

qsizetype LineStarts::lineAt(qsizetype position) const
{
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), position);
    return qsizetype(it - m_starts.begin());
}

QList<Finding> placeTidyReports(QStringView text, const QList<TidyReport> &reports)
{
    const LineStarts lines(text);
    // Walked in order of place, so that many findings on one long line cost one walk of it.
    std::vector<qsizetype> order(std::size_t(reports.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const TidyReport &x = reports[a];
        const TidyReport &y = reports[b];
        return std::pair(x.line, x.column) < std::pair(y.line, y.column);
    });
    QList<Finding> out(reports.size());
    qsizetype walkLine = -1;
    qsizetype walkChars = 0; // Unicode characters passed on walkLine
    qsizetype walkUnits = 0; // and the UTF-16 units they take
    for (const qsizetype index : order) {
        const TidyReport &r = reports[index];
        const qsizetype line = std::clamp<qsizetype>(r.line, 1, lines.lineCount());
        const qsizetype wanted = std::max(r.column, 1) - 1;
        const qsizetype start = lines.start(line);
        const qsizetype length = lines.length(line);
        if (line != walkLine) {
            walkLine = line;
            walkChars = 0;
            walkUnits = 0;
        }
        while (walkChars < wanted && walkUnits < length) {
            const bool pair = text[start + walkUnits].isHighSurrogate() && walkUnits + 1 < length &&
                              text[start + walkUnits + 1].isLowSurrogate();
            walkUnits += pair ? 2 : 1;
            ++walkChars;
        }
        Finding &f = out[index];
        f.line = line;
        f.column = walkUnits + 1;
        f.position = start + walkUnits;
        f.kind = r.kind;
        f.key = r.key;
        f.message = tidyMessageText(r);
    }
    return out;
}

namespace {

// How a character is named in a message: itself, or its code where it would not show.
QString shownCharacter(QStringView text, qsizetype pos)
{
    const QChar c = text[pos];
    if (c.isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate())
        return text.sliced(pos, 2).toString();
    if (c.isSurrogate() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
        return QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return QString(c);
}

bool sameEncoding(Encoding declared, Encoding document)
{
    auto utf16 = [](Encoding e) { return e == Encoding::Utf16LE || e == Encoding::Utf16BE; };
    return declared == document || (utf16(declared) && utf16(document));
}

// Where in `text` the declared charset name stands (its first character), or 0.
qsizetype declarationPosition(QStringView text, const QString &name)
{
    const QString head = text.left(1024).toString().toLower();
    const QString lowerName = name.toLower();
    qsizetype best = -1;
    for (const QStringView key : {QStringView(u"charset"), QStringView(u"encoding")}) {
        const qsizetype at = head.indexOf(key);
        if (at < 0)
            continue;
        const qsizetype found = head.indexOf(lowerName, at + key.size());
        if (found >= 0 && (best < 0 || found < best))
            best = found;
    }
    return best < 0 ? 0 : best;
}

Finding placed(const LineStarts &lines, qsizetype position, FindingKind kind, QString message,
               const char *key)
{
    Finding f;
    f.line = lines.lineAt(position);
    f.column = position - lines.start(f.line) + 1;
    f.position = position;
    f.kind = kind;
    f.message = std::move(message);
    f.key = QByteArray(key);
    return f;
}

} // namespace

QList<Finding> ownFindings(QStringView text, Encoding encoding)
{
    const LineStarts lines(text);
    QList<Finding> out;

    // The page's charset declaration against the encoding the document is written in.
    QString name;
    if (encoding::hasDeclaration(text, &name) && !name.isEmpty()) {
        Encoding declared;
        QString known;
        const bool isKnown = encoding::declaredEncoding(text, &declared, &known);
        if (!isKnown || !sameEncoding(declared, encoding)) {
            const qsizetype at = declarationPosition(text, name);
            // The name as the page writes it.
            const QString written = text.sliced(at, std::min(name.size(), text.size() - at)).toString();
            out.append(placed(lines, at, FindingKind::Error,
                              QStringLiteral("文字コードの宣言（%1）とファイルの文字コード（%2）が一致しません")
                                  .arg(written.compare(name, Qt::CaseInsensitive) == 0 ? written : name,
                                       encoding::displayName(encoding)),
                              "ZIMO_CHARSET_MISMATCH"));
        }
    }

    // Characters the encoding cannot hold: one finding a line, at the first of them.
    const encoding::EncodeResult encoded = encoding::encode(encoding, text);
    for (qsizetype i = 0; i < encoded.unencodable.size();) {
        const qsizetype first = encoded.unencodable[i];
        const qsizetype line = lines.lineAt(first);
        const qsizetype lineEnd = lines.start(line) + lines.length(line);
        qsizetype count = 0;
        while (i < encoded.unencodable.size() && encoded.unencodable[i] < lineEnd) {
            ++count;
            ++i;
        }
        const QString shown = shownCharacter(text, first);
        const QString where = encoding::displayName(encoding);
        out.append(placed(lines, first, FindingKind::Error,
                          count == 1 ? QStringLiteral("「%1」は文字コード %2 では保存できません").arg(shown, where)
                                     : QStringLiteral("「%1」など %2 文字は文字コード %3 では保存できません")
                                           .arg(shown)
                                           .arg(count)
                                           .arg(where),
                          "ZIMO_UNENCODABLE"));
    }

    // Line ends of more than one kind: one finding at the first line end of each kind that is
    // not the most common one.
    enum { CrLf, Lf, Cr };
    std::array<qsizetype, 3> counts{};
    std::array<qsizetype, 3> first{-1, -1, -1};
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int kind = -1;
        if (c == u'\r')
            kind = (i + 1 < n && text[i + 1] == u'\n') ? CrLf : Cr;
        else if (c == u'\n')
            kind = Lf;
        if (kind < 0)
            continue;
        if (counts[kind]++ == 0)
            first[kind] = i;
        if (kind == CrLf)
            ++i;
    }
    if (int(counts[CrLf] > 0) + int(counts[Lf] > 0) + int(counts[Cr] > 0) > 1) {
        static const char *const names[] = {"CR LF", "LF", "CR"};
        int common = CrLf;
        for (int k : {Lf, Cr})
            if (counts[k] > counts[common])
                common = k;
        QStringList tally;
        for (int k : {CrLf, Lf, Cr})
            if (counts[k] > 0)
                tally.append(QStringLiteral("%1 が %2 か所").arg(QLatin1String(names[k])).arg(counts[k]));
        for (int k : {CrLf, Lf, Cr}) {
            if (k == common || counts[k] == 0)
                continue;
            out.append(placed(lines, first[k], FindingKind::Warning,
                              QStringLiteral("改行の種類が混在しています（%1）。この行の改行は %2 です")
                                  .arg(tally.join(QStringLiteral("、")), QLatin1String(names[k])),
                              "ZIMO_MIXED_LINE_ENDS"));
        }
    }
    return out;
}

QList<Finding> checkPage(QStringView text, Encoding encoding)
{
    QList<Finding> all = placeTidyReports(text, runTidy(text));
    all.append(ownFindings(text, encoding));
    std::stable_sort(all.begin(), all.end(),
                     [](const Finding &a, const Finding &b) { return a.position < b.position; });
    return all;
}

} // namespace zimo
