// The HTML scanner the highlighter colours with, over any text and any sequence of edits.
// - Each line (the text split at LF, the state carried from line to line): the spans lie inside
//   the line, in order, not empty, not overlapping, neighbours of one kind joined; every character
//   gets its kind: a character in no span is white space or ordinary text (the line scanned up to
//   it ends in text outside a script or style; checked at the first non-blank character of each
//   stretch between spans, from the state carried there); each kind holds only what it can
//   (marks only "<", "/", ">", "="; references start with "&"; names hold no white space, "/"
//   or ">").
// - htmlLineEnd gives htmlSpans' end state; every state packs into an int below the limit and
//   back.
// - Edits, as the highlighter makes them: replace some lines by others, then scan again from the
//   first replaced line until a line past the new ones ends in the state it ended in before. The
//   states after every edit are those of a full scan of the new text.
// Input: the text (UTF-8), then after a NUL byte the edits: for each, two bytes saying which lines
// it replaces, then the new lines (UTF-8) up to the next NUL. The bytes 01 and 02 stand for
// U+DC0A and U+DC0D, the marks of a lone LF and CR (UTF-8 cannot carry them).

#include "fuzzcheck.h"
#include "html/htmlspans.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace zimo;

namespace {

QString lineText(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(QChar(1), QChar(0xDC0A));
    text.replace(QChar(2), QChar(0xDC0D));
    return text;
}

bool isWhite(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\f' || c == u'\r' || c == u'\n' || c == 0xDC0D ||
           c == 0xDC0A || c == 0x2028;
}

QString describe(const QString &line, HtmlState in)
{
    return QStringLiteral("state %1, line ").arg(in.toInt()) + fuzz::units(line);
}

bool holdsOnly(QStringView text, QStringView allowed)
{
    for (const QChar c : text) {
        if (!allowed.contains(c))
            return false;
    }
    return true;
}

// A tag's or an attribute's name (an attribute's may start with a stray "=" or quote).
bool isName(QStringView text)
{
    for (const QChar c : text) {
        if (isWhite(c.unicode()) || c == u'/' || c == u'>')
            return false;
    }
    return true;
}

void checkPacking(HtmlState s)
{
    const int packed = s.toInt();
    FUZZ_CHECK(packed >= 0 && packed < HtmlState::packedLimit, QString::number(packed));
    FUZZ_CHECK(HtmlState::fromInt(packed) == s, QString::number(packed));
}

// Whether the character at k, in no span, stands in ordinary text (or is white space): the line
// scanned up to it ends in text outside a raw element. Checked for the first character of each
// stretch between spans, which keeps the cost down on long lines.
void checkUncoloured(const QString &line, HtmlState in, qsizetype from, qsizetype to)
{
    for (qsizetype k = from; k < to; ++k) {
        if (isWhite(line[k].unicode()))
            continue;
        const HtmlState before = htmlLineEnd(QStringView(line).first(k), in);
        FUZZ_CHECK(before == HtmlState{},
                   describe(line, in) + QStringLiteral(" at ") + QString::number(k));
        return;
    }
}

// Checks one line's spans (and with `gaps` the characters between them); returns its end state.
HtmlState checkLine(const QString &line, HtmlState in, bool gaps = true)
{
    const HtmlLine scanned = htmlSpans(line, in);
    const auto detail = [&] { return describe(line, in); };
    FUZZ_CHECK(htmlLineEnd(line, in) == scanned.out, detail());
    checkPacking(scanned.out);

    qsizetype covered = 0; // where the previous span ended
    const HtmlSpan *previous = nullptr;
    for (const HtmlSpan &span : scanned.spans) {
        FUZZ_CHECK(span.length > 0 && span.start >= covered &&
                       span.start + span.length <= line.size(),
                   detail());
        FUZZ_CHECK(!previous || previous->kind != span.kind ||
                       previous->start + previous->length < span.start,
                   detail());
        if (gaps)
            checkUncoloured(line, in, covered, span.start);
        const QStringView text = QStringView(line).sliced(span.start, span.length);
        switch (span.kind) {
        case HtmlKind::TagMark:
            FUZZ_CHECK(holdsOnly(text, u"</>="), detail());
            break;
        case HtmlKind::TagName:
        case HtmlKind::AttrName:
            FUZZ_CHECK(isName(text), detail());
            break;
        case HtmlKind::Reference:
            FUZZ_CHECK(text.startsWith(u'&') && text.size() >= 2, detail());
            break;
        default:
            break;
        }
        covered = span.start + span.length;
        previous = &span;
    }
    if (gaps)
        checkUncoloured(line, in, covered, line.size());
    return scanned.out;
}

// The end state of every line, scanned from the top.
QList<HtmlState> fullScan(const QStringList &lines)
{
    QList<HtmlState> ends;
    ends.reserve(lines.size());
    HtmlState in;
    for (const QString &line : lines) {
        in = htmlLineEnd(line, in);
        ends.append(in);
    }
    return ends;
}

// A stored state that no scan gives: lines the edit brought in know nothing yet.
constexpr int unknown = -1;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> parts = input.split('\0');
    QStringList lines = lineText(parts.takeFirst()).split(u'\n');

    // Every line from every state the scanner can be in (the stand-ins of a lone CR and LF too).
    for (const QString &line : std::as_const(lines)) {
        for (int packed = 0; packed < HtmlState::packedLimit; ++packed) {
            const HtmlState in = HtmlState::fromInt(packed);
            if (in.isValid())
                checkLine(line, in, false);
        }
    }

    QList<int> ends;
    {
        HtmlState in;
        for (const QString &line : std::as_const(lines)) {
            in = checkLine(line, in);
            ends.append(in.toInt());
        }
    }

    for (const QByteArray &part : std::as_const(parts)) {
        if (part.size() < 2)
            continue;
        // Lines [first, first + count) give way to the new ones.
        const qsizetype first = static_cast<unsigned char>(part[0]) % lines.size();
        const qsizetype count =
            std::min<qsizetype>(static_cast<unsigned char>(part[1]) % 4, lines.size() - first);
        const QStringList added = lineText(part.sliced(2)).split(u'\n');
        lines.remove(first, count);
        ends.remove(first, count);
        for (qsizetype k = 0; k < added.size(); ++k) {
            lines.insert(first + k, added[k]);
            ends.insert(first + k, unknown);
        }
        // Scan again from the first new line until the end states settle past the new lines.
        HtmlState in = first > 0 ? HtmlState::fromInt(ends[first - 1]) : HtmlState{};
        for (qsizetype k = first; k < lines.size(); ++k) {
            const int end = checkLine(lines[k], in).toInt();
            if (end == ends[k] && k >= first + added.size())
                break;
            ends[k] = end;
            in = HtmlState::fromInt(end);
        }
        const QList<HtmlState> full = fullScan(lines);
        for (qsizetype k = 0; k < lines.size(); ++k)
            FUZZ_CHECK(ends[k] == full[k].toInt(), QStringLiteral("line ") + QString::number(k));
    }
    return 0;
}
