#pragma once

#include <QString>

namespace zimo {

// Lines of the model text as the status bar and the line numbers count them: every line end (CR
// LF, a lone CR, a lone LF) ends a line, and the text after the last one is a line too (empty
// when the text ends with a line end). An empty text has one line.
qsizetype lineCount(const QString &text);
// The 1-based line that holds the 0-based position (a position between the CR and the LF of a
// line break belongs to the line the break ends).
qsizetype lineOfPosition(const QString &text, qsizetype position);
// The 0-based position where the 1-based line begins; lines out of range are clamped to the first
// and the last.
qsizetype lineStart(const QString &text, qsizetype line);

} // namespace zimo
