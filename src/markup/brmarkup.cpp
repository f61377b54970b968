#include "markup/brmarkup.h"

#include <algorithm>

namespace zimo::markup {

namespace {

constexpr char16_t brTag[] = u"<BR>";
constexpr qsizetype brTagSize = 4;
constexpr QStringView lineBreak = u"\r\n";

// Calls `f(i)` for the position i of the CR of every CR LF in `text`, left to right. The search for
// CR is Qt's vectorised character search, so long runs without a break are skipped quickly.
template<typename F>
void forEachLineBreak(QStringView text, F f)
{
    const qsizetype last = text.size() - 1; // a CR here has no LF after it
    for (qsizetype i = text.indexOf(u'\r'); i >= 0 && i < last; i = text.indexOf(u'\r', i + 1)) {
        if (text[i + 1] == u'\n') {
            f(i);
            ++i; // the LF cannot start a match
        }
    }
}

// Whether the four characters before the CR LF at `cr` are the tag.
bool tagBefore(QStringView text, qsizetype cr)
{
    return cr >= brTagSize && text.sliced(cr - brTagSize, brTagSize) == QStringView(brTag);
}

char16_t *writable(QString &s)
{
    return reinterpret_cast<char16_t *>(s.data());
}

char16_t *copyRun(const char16_t *from, qsizetype count, char16_t *to)
{
    return std::copy_n(from, count, to);
}

} // namespace

QString addBrTags(const QString &text)
{
    const QStringView in(text);
    qsizetype breaks = 0;
    forEachLineBreak(in, [&](qsizetype) { ++breaks; });
    if (breaks == 0)
        return text;

    QString out(in.size() + breaks * brTagSize, Qt::Uninitialized);
    const char16_t *src = in.utf16();
    char16_t *dst = writable(out);
    qsizetype done = 0; // characters of `in` copied so far
    forEachLineBreak(in, [&](qsizetype cr) {
        dst = copyRun(src + done, cr - done, dst);
        dst = copyRun(brTag, brTagSize, dst);
        done = cr; // the CR LF itself goes with the next run
    });
    copyRun(src + done, in.size() - done, dst);
    return out;
}

QString removeBrTags(const QString &text)
{
    // "<BR>" CR LF has no part that is also its start, so two matches never overlap and testing
    // the four characters before each CR LF is the same as the left-to-right scan.
    const QStringView in(text);
    qsizetype tags = 0;
    forEachLineBreak(in, [&](qsizetype cr) {
        if (tagBefore(in, cr))
            ++tags;
    });
    if (tags == 0)
        return text;

    QString out(in.size() - tags * brTagSize, Qt::Uninitialized);
    const char16_t *src = in.utf16();
    char16_t *dst = writable(out);
    qsizetype done = 0;
    forEachLineBreak(in, [&](qsizetype cr) {
        if (!tagBefore(in, cr))
            return;
        dst = copyRun(src + done, cr - brTagSize - done, dst);
        done = cr;
    });
    copyRun(src + done, in.size() - done, dst);
    return out;
}

QString centerBlock(QStringView selected)
{
    constexpr QStringView head = u"\r\n<CENTER>\r\n";
    constexpr QStringView tail = u"\r\n</CENTER>\r\n";
    QString out(head.size() + selected.size() + tail.size(), Qt::Uninitialized);
    char16_t *dst = writable(out);
    dst = copyRun(head.utf16(), head.size(), dst);
    dst = copyRun(selected.utf16(), selected.size(), dst);
    copyRun(tail.utf16(), tail.size(), dst);
    return out;
}

QString appendSnippet(QStringView text, QStringView snippet)
{
    QString out(text.size() + lineBreak.size() + snippet.size(), Qt::Uninitialized);
    char16_t *dst = writable(out);
    dst = copyRun(text.utf16(), text.size(), dst);
    dst = copyRun(lineBreak.utf16(), lineBreak.size(), dst);
    copyRun(snippet.utf16(), snippet.size(), dst);
    return out;
}

} // namespace zimo::markup
