#pragma once

#include "check/tidyreport.h"
#include "document/encoding.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <vector>

namespace zimo {

// One finding about the page, placed as the status bar counts: `line` 1-based where every CR LF,
// CR or LF ends a line, `column` 1-based in characters of that line (UTF-16 units, as the status
// bar's 列 and the caret count them), and `position` the same place in the whole text (CR LF =
// 2), where the caret goes.
struct Finding
{
    qsizetype line = 1;
    qsizetype column = 1;
    qsizetype position = 0;
    FindingKind kind = FindingKind::Warning;
    QString message;
    // Tidy's message key, or the program's own: "ZIMO_CHARSET_MISMATCH", "ZIMO_UNENCODABLE",
    // "ZIMO_MIXED_LINE_ENDS".
    QByteArray key;
    bool operator==(const Finding &) const = default;
};

// "エラー", "警告" or "情報".
QString findingKindName(FindingKind kind);
// One finding as copied: "行 N, 列 M: 種類: 内容".
QString findingRow(const Finding &finding);
// All findings, one row a line, each ending in a line feed.
QString findingRows(const QList<Finding> &findings);

// The start of every line of a text (each CR LF, CR or LF ends one), for placing findings.
class LineStarts
{
public:
    explicit LineStarts(QStringView text);
    qsizetype lineCount() const { return qsizetype(m_starts.size()); }
    // Start of line `line` (1-based, clamped to the lines there are).
    qsizetype start(qsizetype line) const;
    // Length of the line without its line end.
    qsizetype length(qsizetype line) const;
    // The line (1-based) holding the position.
    qsizetype lineAt(qsizetype position) const;

private:
    QStringView m_text;
    std::vector<qsizetype> m_starts;
};

// Places Tidy's messages: Tidy's line and its column counted in Unicode characters become the
// line, UTF-16 column and position of the text (a line or column past the end goes to the end of
// the text or of the line; a message without a place goes to the start).
QList<Finding> placeTidyReports(QStringView text, const QList<TidyReport> &reports);

// The program's own findings: the page's charset declaration against the document's encoding,
// characters the document's encoding cannot hold (one finding a line), line ends of mixed kinds.
QList<Finding> ownFindings(QStringView text, Encoding encoding);

// Everything found on the page, Tidy's findings and the program's own, in document order.
QList<Finding> checkPage(QStringView text, Encoding encoding);

} // namespace zimo
