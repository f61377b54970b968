#include "search/gotoline.h"

#include <algorithm>

namespace zimo {

namespace {

// The position after the line end that ends at or after `from`, or -1 when no line end follows.
qsizetype nextLineStart(const QString &text, qsizetype from)
{
    const QChar *data = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = from; i < n; ++i) {
        if (data[i] == u'\n')
            return i + 1;
        if (data[i] == u'\r')
            return i + 1 < n && data[i + 1] == u'\n' ? i + 2 : i + 1;
    }
    return -1;
}

} // namespace

qsizetype lineCount(const QString &text)
{
    qsizetype lines = 1;
    for (qsizetype at = 0; (at = nextLineStart(text, at)) >= 0;)
        ++lines;
    return lines;
}

qsizetype lineOfPosition(const QString &text, qsizetype position)
{
    position = std::clamp<qsizetype>(position, 0, text.size());
    qsizetype line = 1;
    for (qsizetype at = 0; (at = nextLineStart(text, at)) >= 0 && at <= position;)
        ++line;
    return line;
}

qsizetype lineStart(const QString &text, qsizetype line)
{
    qsizetype start = 0;
    for (qsizetype l = 1; l < line; ++l) {
        const qsizetype next = nextLineStart(text, start);
        if (next < 0)
            break;
        start = next;
    }
    return start;
}

} // namespace zimo
