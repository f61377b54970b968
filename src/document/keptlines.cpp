#include "document/keptlines.h"

#include <QHashFunctions>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zimo {

namespace {

enum class End { None, Cr, Lf, CrLf };

qsizetype endSize(End end)
{
    return end == End::None ? 0 : end == End::CrLf ? 2 : 1;
}

// A line of a text: its characters are text[from, to), its line end follows.
struct TextLine
{
    qsizetype from = 0;
    qsizetype to = 0;
    End end = End::None;
    qsizetype next() const { return to + endSize(end); }
};

TextLine textLineAt(QStringView text, qsizetype from)
{
    const char16_t *const units = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = from;
    while (i < n && units[i] != u'\r' && units[i] != u'\n')
        ++i;
    End end = End::None;
    if (i < n)
        end = units[i] == u'\n' ? End::Lf : i + 1 < n && units[i + 1] == u'\n' ? End::CrLf : End::Cr;
    return {from, i, end};
}

// The number of lines: line ends + 1.
qsizetype lineCount(QStringView text)
{
    const char16_t *const u = text.utf16();
    const qsizetype n = text.size();
    if (n == 0)
        return 1;
    qsizetype ends = 0;
    for (qsizetype i = 0; i + 1 < n; ++i)
        ends += qsizetype(u[i] == u'\n') + qsizetype(u[i] == u'\r' && u[i + 1] != u'\n');
    return 1 + ends + qsizetype(u[n - 1] == u'\n' || u[n - 1] == u'\r');
}

QList<TextLine> allLines(QStringView text)
{
    QList<TextLine> lines;
    TextLine line = textLineAt(text, 0);
    lines.append(line);
    while (line.end != End::None) {
        line = textLineAt(text, line.next());
        lines.append(line);
    }
    return lines;
}

// How many leading elements a and b have in common (blocks compared with memcmp first).
template <typename T>
qsizetype commonPrefix(const T *a, qsizetype na, const T *b, qsizetype nb)
{
    const qsizetype n = std::min(na, nb);
    constexpr qsizetype block = 256;
    qsizetype i = 0;
    while (i + block <= n && std::memcmp(a + i, b + i, block * sizeof(T)) == 0)
        i += block;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

template <typename T>
qsizetype commonSuffix(const T *a, qsizetype na, const T *b, qsizetype nb)
{
    const qsizetype n = std::min(na, nb);
    constexpr qsizetype block = 256;
    qsizetype i = 0;
    while (i + block <= n &&
           std::memcmp(a + na - i - block, b + nb - i - block, block * sizeof(T)) == 0)
        i += block;
    while (i < n && a[na - 1 - i] == b[nb - 1 - i])
        ++i;
    return i;
}

// The lines of encoded bytes. CR and LF are the codec's bytes for them, both of the same size w;
// they count only at multiples of w from the start of the bytes.
class ByteLines
{
public:
    ByteLines(QByteArrayView bytes, QByteArrayView cr, QByteArrayView lf)
        : m_bytes(bytes), m_cr(cr), m_lf(lf), m_w(cr.size())
    {
    }

    QByteArrayView rest() const { return m_bytes.sliced(m_at); }
    qsizetype position() const { return m_at; }

    // The number of lines (line ends + 1).
    qsizetype count() const
    {
        if (m_w == 1) {
            const auto *b = reinterpret_cast<const unsigned char *>(m_bytes.data());
            return 1 + countEnds(b, m_bytes.size(), uchar(m_cr[0]), uchar(m_lf[0]));
        }
        ByteLines walk(m_bytes, m_cr, m_lf);
        qsizetype n = 1;
        while (walk.next().second != End::None)
            ++n;
        return n;
    }

    // Moves both past the lines in front that are the same in both; returns how many, or nothing
    // when the rest of both is the same. (With one-byte line ends the same stretch is found with
    // memcmp and its lines counted without walking them; otherwise this moves past none.)
    static std::optional<qsizetype> skipSame(ByteLines &a, ByteLines &b)
    {
        const QByteArrayView ra = a.rest();
        const QByteArrayView rb = b.rest();
        const qsizetype m = commonPrefix(ra.data(), ra.size(), rb.data(), rb.size());
        if (m == ra.size() && m == rb.size())
            return std::nullopt;
        if (a.m_w != 1)
            return 0;
        const auto *p = reinterpret_cast<const unsigned char *>(ra.data());
        const auto cr = uchar(a.m_cr[0]);
        const auto lf = uchar(a.m_lf[0]);
        // The start of the line that holds the first difference. A CR right before it may be
        // the first half of a CR LF in one and a lone CR in the other: that line is walked too.
        qsizetype start = m;
        while (start > 0) {
            const unsigned char c = p[start - 1];
            if (c == lf || (c == cr && start < m))
                break;
            --start;
        }
        // The bytes before `start` end in a whole line end, so they are counted on their own.
        const qsizetype lines = countEnds(p, start, cr, lf);
        a.m_at += start;
        b.m_at += start;
        return lines;
    }

    // The next line and its line end; moves past both.
    std::pair<QByteArrayView, End> next()
    {
        const qsizetype from = m_at;
        const qsizetype n = m_bytes.size();
        qsizetype i = from;
        End end = End::None;
        if (m_w == 1) {
            const auto *b = reinterpret_cast<const unsigned char *>(m_bytes.data());
            const auto cr = static_cast<unsigned char>(m_cr[0]);
            const auto lf = static_cast<unsigned char>(m_lf[0]);
            while (i < n && b[i] != cr && b[i] != lf)
                ++i;
        } else {
            while (i + m_w <= n && !isUnit(i, m_cr) && !isUnit(i, m_lf))
                i += m_w;
            if (i + m_w > n)
                i = n;
        }
        if (i < n) {
            if (isUnit(i, m_lf))
                end = End::Lf;
            else
                end = i + 2 * m_w <= n && isUnit(i + m_w, m_lf) ? End::CrLf : End::Cr;
        }
        m_at = i + endSize(end) * m_w;
        return {m_bytes.sliced(from, i - from), end};
    }

private:
    // Line ends in b[0, n): each LF, and each CR not followed by LF (a CR at the end counts).
    static qsizetype countEnds(const unsigned char *b, qsizetype n, unsigned char cr, unsigned char lf)
    {
        if (n == 0)
            return 0;
        qsizetype ends = 0;
        for (qsizetype i = 0; i + 1 < n; ++i)
            ends += qsizetype(b[i] == lf) + qsizetype(b[i] == cr && b[i + 1] != lf);
        return ends + qsizetype(b[n - 1] == lf || b[n - 1] == cr);
    }

    bool isUnit(qsizetype at, QByteArrayView unit) const
    {
        return std::memcmp(m_bytes.data() + at, unit.data(), size_t(m_w)) == 0;
    }

    QByteArrayView m_bytes, m_cr, m_lf;
    qsizetype m_w;
    qsizetype m_at = 0;
};

qsizetype commonPrefix(QStringView a, QStringView b)
{
    return commonPrefix(a.utf16(), a.size(), b.utf16(), b.size());
}

qsizetype commonSuffix(QStringView a, QStringView b)
{
    return commonSuffix(a.utf16(), a.size(), b.utf16(), b.size());
}

// Changed lines between the first and the last change beyond which no line in between is kept.
constexpr qsizetype maxChangedLines = 1000;

} // namespace

QList<qsizetype> KeptLines::lineNumbers() const
{
    QList<qsizetype> numbers;
    numbers.reserve(m_lines.size());
    for (const Line &line : m_lines)
        numbers.append(line.number);
    return numbers;
}

void KeptLines::remember(QByteArrayView bytes, QStringView text, const LineCodec &codec)
{
    m_lines.clear();
    const QByteArray written = codec.encode(text);
    if (QByteArrayView(written) == bytes)
        return; // the usual case: every line comes back as it was
    const QByteArray cr = codec.encode(u"\r");
    const QByteArray lf = codec.encode(u"\n");
    if (cr.isEmpty() || cr.size() != lf.size() || cr == lf)
        return;
    ByteLines original(bytes, cr, lf);
    ByteLines again(written, cr, lf);
    // Line n of the bytes must be line n of the text; if not (a codec for which this does not
    // hold), no line is kept and the whole text is written by the codec's rule.
    if (original.count() != lineCount(text))
        return;
    // A line is kept with what its bytes read as on their own followed by a line end and a
    // letter, and only if the line end and the letter read as such: then the bytes read the same
    // wherever the line stands (always before a line end), and leave nothing (such as a shift
    // state) that would change what follows. (The text of the line as read needs no look: a write
    // keeps the bytes only where the line's text is what they read as.)
    const QString probeText = QStringLiteral("\r\nA");
    const QByteArray probe = codec.encode(probeText);

    QList<Line> found;
    qsizetype number = 0;
    for (;;) {
        const std::optional<qsizetype> same = ByteLines::skipSame(original, again);
        if (!same)
            break; // the rest is the same
        number += *same;
        const auto [lineBytes, end] = original.next();
        const auto [againBytes, againEnd] = again.next();
        if (end != againEnd)
            return;
        if (lineBytes != againBytes) {
            const QByteArray kept = lineBytes.toByteArray();
            QString lineText = codec.decode(kept + probe);
            if (lineText.endsWith(probeText)) {
                lineText.chop(probeText.size());
                found.append({number, kept, lineText});
            }
        }
        if (end == End::None)
            break;
        ++number;
    }
    m_lines = std::move(found);
}

QList<KeptSpan> KeptLines::spansFor(QStringView text, QStringView baseline) const
{
    QList<KeptSpan> spans;
    if (m_lines.isEmpty())
        return spans;
    auto keep = [&](const Line &line, qsizetype number, const TextLine &where) {
        if (text.sliced(where.from, where.to - where.from) == line.text)
            spans.append({number, where.from, where.to, line.bytes});
    };

    const qsizetype prefix = commonPrefix(baseline, text);
    if (prefix == baseline.size() && prefix == text.size()) {
        // Unchanged: every line is where it was. Walk only up to the last remembered one.
        qsizetype number = 0;
        TextLine where = textLineAt(text, 0);
        for (const Line &line : m_lines) {
            while (number < line.number && where.end != End::None) {
                where = textLineAt(text, where.next());
                ++number;
            }
            if (number != line.number)
                break;
            keep(line, number, where);
        }
        return spans;
    }

    const QList<TextLine> before = allLines(baseline);
    const QList<TextLine> now = allLines(text);
    const qsizetype nb = before.size();
    const qsizetype nn = now.size();
    // Lines that end (line end included) before the first difference are the same in both, with
    // the same numbers.
    qsizetype head = 0;
    while (head < nb && head < nn && before[head].to < prefix && now[head].to < prefix)
        ++head;
    // Lines that start after a line end inside the common end of both texts are the same too,
    // counted from the end. (The common end is measured after the common start, so the two
    // never overlap.)
    const qsizetype suffix = commonSuffix(baseline.sliced(prefix), text.sliced(prefix));
    qsizetype tail = 0;
    while (head + tail < nb && head + tail < nn) {
        const TextLine &b = before[nb - 1 - tail];
        const TextLine &c = now[nn - 1 - tail];
        if (b.from == 0 || c.from == 0 || b.from - 1 < baseline.size() - suffix ||
            c.from - 1 < text.size() - suffix)
            break;
        ++tail;
    }

    // The lines in between are paired by a line diff, and only if a remembered line is there.
    QList<std::pair<qsizetype, qsizetype>> middle;
    const bool inMiddle = std::any_of(m_lines.cbegin(), m_lines.cend(), [&](const Line &line) {
        return line.number >= head && line.number < nb - tail;
    });
    if (inMiddle) {
        QList<QStringView> a, b;
        a.reserve(nb - tail - head);
        b.reserve(nn - tail - head);
        for (qsizetype i = head; i < nb - tail; ++i)
            a.append(baseline.sliced(before[i].from, before[i].to - before[i].from));
        for (qsizetype i = head; i < nn - tail; ++i)
            b.append(text.sliced(now[i].from, now[i].to - now[i].from));
        if (auto pairs = keptlines_detail::matchLines(a, b, maxChangedLines))
            middle = std::move(*pairs);
    }

    auto pair = middle.cbegin();
    for (const Line &line : m_lines) {
        qsizetype number = -1;
        if (line.number < head) {
            number = line.number;
        } else if (line.number >= nb - tail) {
            if (line.number < nb)
                number = line.number - nb + nn;
        } else {
            while (pair != middle.cend() && pair->first + head < line.number)
                ++pair;
            if (pair != middle.cend() && pair->first + head == line.number)
                number = pair->second + head;
        }
        if (number >= 0)
            keep(line, number, now[number]);
    }
    return spans;
}

void KeptLines::rebase(const QList<KeptSpan> &kept, QStringView text)
{
    QList<Line> lines;
    lines.reserve(kept.size());
    for (const KeptSpan &span : kept)
        lines.append({span.line, span.bytes, text.sliced(span.from, span.to - span.from).toString()});
    m_lines = std::move(lines);
}

bool putKeptBytes(QStringView text, QByteArray &encoded, const QList<KeptSpan> &kept,
                  const LineCodec &codec)
{
    const QByteArray cr = codec.encode(u"\r");
    const QByteArray lf = codec.encode(u"\n");
    if (cr.isEmpty() || cr.size() != lf.size() || cr == lf)
        return false;
    ByteLines lines(encoded, cr, lf);
    if (lines.count() != lineCount(text))
        return false;
    // Where the codec's bytes of each kept line are.
    std::vector<std::pair<qsizetype, qsizetype>> places; // from, size
    places.reserve(size_t(kept.size()));
    qsizetype number = 0;
    bool sameSizes = true;
    for (const KeptSpan &span : kept) {
        if (span.line < number)
            return false;
        for (; number < span.line; ++number) {
            if (lines.next().second == End::None)
                return false;
        }
        const qsizetype from = lines.position();
        const qsizetype size = lines.next().first.size();
        ++number;
        places.emplace_back(from, size);
        sameSizes = sameSizes && size == span.bytes.size();
    }
    if (sameSizes) {
        // Usually so (a duplicate cell has as many bytes as the cell written for it): the bytes
        // are put in place, without a second buffer.
        char *const data = encoded.data();
        for (qsizetype i = 0; i < kept.size(); ++i)
            std::memcpy(data + places[size_t(i)].first, kept[i].bytes.constData(),
                        size_t(kept[i].bytes.size()));
        return true;
    }
    qsizetype size = encoded.size();
    for (qsizetype i = 0; i < kept.size(); ++i)
        size += kept[i].bytes.size() - places[size_t(i)].second;
    QByteArray out;
    out.reserve(size);
    qsizetype copied = 0;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const auto [from, written] = places[size_t(i)];
        out.append(QByteArrayView(encoded).sliced(copied, from - copied));
        out.append(kept[i].bytes);
        copied = from + written;
    }
    out.append(QByteArrayView(encoded).sliced(copied));
    encoded = std::move(out);
    return true;
}

namespace keptlines_detail {

std::optional<QList<std::pair<qsizetype, qsizetype>>>
matchLines(const QList<QStringView> &a, const QList<QStringView> &b, qsizetype maxEdits)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    std::vector<size_t> ha(static_cast<size_t>(n));
    std::vector<size_t> hb(static_cast<size_t>(m));
    for (qsizetype i = 0; i < n; ++i)
        ha[size_t(i)] = qHash(a[i]);
    for (qsizetype j = 0; j < m; ++j)
        hb[size_t(j)] = qHash(b[j]);
    auto same = [&](qsizetype i, qsizetype j) {
        return ha[size_t(i)] == hb[size_t(j)] && a[i] == b[j];
    };

    // Myers: v[k] is the furthest x reached on diagonal k = x - y with d edits; trace[d] keeps
    // v[-d..d] after step d for walking the path back.
    const qsizetype limit = std::min(maxEdits, n + m);
    const qsizetype offset = limit + 1;
    std::vector<qsizetype> v(size_t(2 * limit + 3), 0);
    std::vector<std::vector<qsizetype>> trace;
    // Bound on the comparisons, so that a pathological pair of texts cannot stall a save.
    qsizetype work = 0;
    const qsizetype maxWork = 64 * (n + m) + 4'000'000;
    for (qsizetype d = 0; d <= limit; ++d) {
        for (qsizetype k = -d; k <= d; k += 2) {
            qsizetype x = (k == -d || (k != d && v[size_t(offset + k - 1)] < v[size_t(offset + k + 1)]))
                              ? v[size_t(offset + k + 1)]
                              : v[size_t(offset + k - 1)] + 1;
            const qsizetype start = x;
            qsizetype y = x - k;
            while (x < n && y < m && same(x, y)) {
                ++x;
                ++y;
            }
            work += 1 + (x - start); // one step plus the length of the snake
            v[size_t(offset + k)] = x;
            if (x >= n && y >= m) {
                QList<std::pair<qsizetype, qsizetype>> pairs;
                qsizetype px = n, py = m;
                for (qsizetype e = d; e > 0; --e) {
                    const std::vector<qsizetype> &prev = trace[size_t(e - 1)];
                    auto at = [&](qsizetype kk) { return prev[size_t(kk + e - 1)]; };
                    const qsizetype kk = px - py;
                    const qsizetype prevK =
                        (kk == -e || (kk != e && at(kk - 1) < at(kk + 1))) ? kk + 1 : kk - 1;
                    const qsizetype prevX = at(prevK);
                    const qsizetype prevY = prevX - prevK;
                    while (px > prevX && py > prevY) {
                        pairs.append({px - 1, py - 1});
                        --px;
                        --py;
                    }
                    px = prevX;
                    py = prevY;
                }
                while (px > 0 && py > 0) {
                    pairs.append({px - 1, py - 1});
                    --px;
                    --py;
                }
                std::reverse(pairs.begin(), pairs.end());
                return pairs;
            }
        }
        work += 2 * d + 1;
        if (work > maxWork)
            return std::nullopt;
        trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
    }
    return std::nullopt;
}

} // namespace keptlines_detail

} // namespace zimo
