#include "platform/qt/lineends.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <utility>

namespace zimo {

namespace {

// Chunks grow up to this many kinds and are then cut in two.
constexpr qsizetype maxChunk = 1024;
constexpr qsizetype newChunk = 512;

// The user property of a paragraph break's character format that holds its kind.
constexpr int kindProperty = QTextFormat::UserProperty + 0x1e0;

constexpr std::uint8_t crlf = std::uint8_t(LineEnd::CrLf);
constexpr std::uint8_t join = std::uint8_t(LineEnd::Join);

qsizetype crlfIn(const std::uint8_t *from, const std::uint8_t *to)
{
    return std::count(from, to, crlf);
}

qsizetype joinsIn(const std::uint8_t *from, const std::uint8_t *to)
{
    return std::count(from, to, join);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// LineEndKinds

void LineEndKinds::locate(qsizetype index, std::size_t &chunk, qsizetype &offset,
                          qsizetype &crlfBefore, qsizetype &joinsBefore) const
{
    const std::size_t n = m_chunks.size();
    if (index >= m_size) {
        chunk = n - 1;
        offset = qsizetype(m_chunks.back().kinds.size());
        crlfBefore = m_totals[0] - m_chunks.back().crlf;
        joinsBefore = m_totals[3] - m_chunks.back().joins;
        return;
    }
    // Descend the Fenwick tree: the last prefix of whole chunks that ends at or before index.
    std::size_t pos = 0;
    qsizetype rest = index;
    qsizetype before = 0;
    qsizetype joins = 0;
    std::size_t step = 1;
    while (step * 2 <= n)
        step *= 2;
    for (; step; step /= 2) {
        if (pos + step <= n && m_treeSize[pos + step] <= rest) {
            pos += step;
            rest -= m_treeSize[pos];
            before += m_treeCrlf[pos];
            joins += m_treeJoin[pos];
        }
    }
    chunk = pos;
    offset = rest;
    crlfBefore = before;
    joinsBefore = joins;
}

LineEnd LineEndKinds::at(qsizetype index) const
{
    if (isUniform())
        return m_uniform;
    std::size_t chunk;
    qsizetype offset, before, joins;
    locate(std::clamp<qsizetype>(index, 0, m_size - 1), chunk, offset, before, joins);
    return LineEnd(m_chunks[chunk].kinds[std::size_t(offset)]);
}

void LineEndKinds::countBefore(qsizetype index, qsizetype &crlfCount, qsizetype &joinCount) const
{
    index = std::clamp<qsizetype>(index, 0, m_size);
    if (isUniform()) {
        crlfCount = m_uniform == LineEnd::CrLf ? index : 0;
        joinCount = m_uniform == LineEnd::Join ? index : 0;
        return;
    }
    if (index == m_size) {
        crlfCount = m_totals[0];
        joinCount = m_totals[3];
        return;
    }
    std::size_t chunk;
    qsizetype offset;
    locate(index, chunk, offset, crlfCount, joinCount);
    const std::uint8_t *k = m_chunks[chunk].kinds.data();
    crlfCount += crlfIn(k, k + offset);
    joinCount += joinsIn(k, k + offset);
}

qsizetype LineEndKinds::crlfBefore(qsizetype index) const
{
    qsizetype c, j;
    countBefore(index, c, j);
    return c;
}

qsizetype LineEndKinds::joinsBefore(qsizetype index) const
{
    qsizetype c, j;
    countBefore(index, c, j);
    return j;
}

qsizetype LineEndKinds::modelExtraBefore(qsizetype index) const
{
    if (isOneToOne())
        return 0;
    qsizetype c, j;
    countBefore(index, c, j);
    return c - j;
}

qsizetype LineEndKinds::nthLineEnd(qsizetype n) const
{
    if (n < 0)
        return 0;
    if (n >= m_size - m_totals[3])
        return m_size;
    if (isUniform())
        return n; // one kind, and not the join (there are more line ends than n)
    // Descend the Fenwick tree over the chunks' counts of breaks that are no join.
    const std::size_t chunks = m_chunks.size();
    std::size_t pos = 0;
    qsizetype rest = n;
    qsizetype index = 0;
    std::size_t step = 1;
    while (step * 2 <= chunks)
        step *= 2;
    for (; step; step /= 2) {
        if (pos + step <= chunks && m_treeSize[pos + step] - m_treeJoin[pos + step] <= rest) {
            pos += step;
            rest -= m_treeSize[pos] - m_treeJoin[pos];
            index += m_treeSize[pos];
        }
    }
    const std::vector<std::uint8_t> &k = m_chunks[pos].kinds;
    for (std::size_t i = 0; i < k.size(); ++i) {
        if (k[i] == join)
            continue;
        if (rest-- == 0)
            return index + qsizetype(i);
    }
    return m_size;
}

void LineEndKinds::read(qsizetype from, qsizetype n, std::uint8_t *out) const
{
    if (n <= 0)
        return;
    if (isUniform()) {
        std::fill(out, out + n, std::uint8_t(m_uniform));
        return;
    }
    std::size_t chunk;
    qsizetype offset, before, joins;
    locate(from, chunk, offset, before, joins);
    while (n > 0 && chunk < m_chunks.size()) {
        const std::vector<std::uint8_t> &k = m_chunks[chunk].kinds;
        const qsizetype take = std::min(n, qsizetype(k.size()) - offset);
        out = std::copy_n(k.begin() + offset, take, out);
        n -= take;
        ++chunk;
        offset = 0;
    }
}

void LineEndKinds::assign(const std::vector<std::uint8_t> &kinds)
{
    m_chunks.clear();
    m_size = 0;
    m_totals = {};
    m_uniform = kinds.empty() ? LineEnd::CrLf : LineEnd(kinds.front());
    replace(0, 0, kinds.data(), qsizetype(kinds.size()));
}

void LineEndKinds::materialize()
{
    m_chunks.clear();
    for (qsizetype done = 0; done < m_size; done += newChunk) {
        const qsizetype n = std::min(newChunk, m_size - done);
        m_chunks.push_back({std::vector<std::uint8_t>(std::size_t(n), std::uint8_t(m_uniform)),
                            m_uniform == LineEnd::CrLf ? n : 0, m_uniform == LineEnd::Join ? n : 0});
    }
    if (m_chunks.empty())
        m_chunks.push_back({});
    rebuildTree();
}

void LineEndKinds::rebuildTree()
{
    const std::size_t n = m_chunks.size();
    m_treeSize.assign(n + 1, 0);
    m_treeCrlf.assign(n + 1, 0);
    m_treeJoin.assign(n + 1, 0);
    for (std::size_t i = 1; i <= n; ++i) {
        m_treeSize[i] += qsizetype(m_chunks[i - 1].kinds.size());
        m_treeCrlf[i] += m_chunks[i - 1].crlf;
        m_treeJoin[i] += m_chunks[i - 1].joins;
        const std::size_t parent = i + (i & (~i + 1));
        if (parent <= n) {
            m_treeSize[parent] += m_treeSize[i];
            m_treeCrlf[parent] += m_treeCrlf[i];
            m_treeJoin[parent] += m_treeJoin[i];
        }
    }
}

void LineEndKinds::updateTree(std::size_t chunk, qsizetype sizeDelta, qsizetype crlfDelta,
                              qsizetype joinDelta)
{
    for (std::size_t i = chunk + 1; i < m_treeSize.size(); i += i & (~i + 1)) {
        m_treeSize[i] += sizeDelta;
        m_treeCrlf[i] += crlfDelta;
        m_treeJoin[i] += joinDelta;
    }
}

void LineEndKinds::becomeUniformIfPossible()
{
    const int kindsPresent = int(m_totals[0] > 0) + int(m_totals[1] > 0) + int(m_totals[2] > 0) +
                             int(m_totals[3] > 0);
    if (kindsPresent > 1)
        return;
    m_uniform = m_totals[1] > 0   ? LineEnd::Lf
                : m_totals[2] > 0 ? LineEnd::Cr
                : m_totals[3] > 0 ? LineEnd::Join
                                  : LineEnd::CrLf;
    m_chunks.clear();
    m_treeSize.clear();
    m_treeCrlf.clear();
    m_treeJoin.clear();
}

void LineEndKinds::replace(qsizetype pos, qsizetype removed, const std::uint8_t *added, qsizetype n)
{
    pos = std::clamp<qsizetype>(pos, 0, m_size);
    removed = std::clamp<qsizetype>(removed, 0, m_size - pos);
    if (removed == 0 && n == 0)
        return;

    if (isUniform()) {
        const bool empty = m_size == removed;
        const LineEnd kind = empty && n > 0 ? LineEnd(added[0]) : m_uniform;
        if (std::all_of(added, added + n, [&](std::uint8_t k) { return LineEnd(k) == kind; })) {
            m_uniform = kind;
            m_size += n - removed;
            m_totals = {};
            m_totals[std::size_t(kind)] = m_size;
            return;
        }
        materialize();
    }

    std::size_t first;
    qsizetype offset, before, joinsBefore;
    locate(pos, first, offset, before, joinsBefore);
    bool reshaped = false;

    // Remove: the tail of the first chunk from offset, then the heads of the following chunks.
    qsizetype left = removed;
    std::size_t chunk = first;
    qsizetype from = offset;
    while (left > 0) {
        std::vector<std::uint8_t> &k = m_chunks[chunk].kinds;
        const qsizetype take = std::min(left, qsizetype(k.size()) - from);
        for (auto it = k.begin() + from; it != k.begin() + from + take; ++it)
            --m_totals[*it];
        k.erase(k.begin() + from, k.begin() + from + take);
        left -= take;
        if (chunk != first)
            reshaped = true;
        ++chunk;
        from = 0;
    }
    const std::size_t lastTouched = std::max(first, chunk == first ? first : chunk - 1);

    // Insert at the removal's place.
    std::vector<std::uint8_t> &k = m_chunks[first].kinds;
    k.insert(k.begin() + offset, added, added + n);
    for (qsizetype i = 0; i < n; ++i)
        ++m_totals[added[i]];
    m_size += n - removed;

    // Count again the chunks touched; cut the grown one, drop the emptied ones.
    if (!reshaped && qsizetype(k.size()) <= maxChunk) {
        const qsizetype crlfNow = crlfIn(k.data(), k.data() + k.size());
        const qsizetype joinsNow = joinsIn(k.data(), k.data() + k.size());
        updateTree(first, n - removed, crlfNow - m_chunks[first].crlf,
                   joinsNow - m_chunks[first].joins);
        m_chunks[first].crlf = crlfNow;
        m_chunks[first].joins = joinsNow;
    } else {
        std::vector<Chunk> replacement;
        for (std::size_t c = first; c <= lastTouched; ++c) {
            const std::vector<std::uint8_t> &kinds = m_chunks[c].kinds;
            for (std::size_t at = 0; at < kinds.size(); at += std::size_t(newChunk)) {
                const std::size_t end = std::min(kinds.size(), at + std::size_t(newChunk));
                Chunk piece;
                piece.kinds.assign(kinds.begin() + qsizetype(at), kinds.begin() + qsizetype(end));
                piece.crlf = crlfIn(piece.kinds.data(), piece.kinds.data() + piece.kinds.size());
                piece.joins = joinsIn(piece.kinds.data(), piece.kinds.data() + piece.kinds.size());
                replacement.push_back(std::move(piece));
            }
        }
        m_chunks.erase(m_chunks.begin() + qsizetype(first), m_chunks.begin() + qsizetype(lastTouched) + 1);
        m_chunks.insert(m_chunks.begin() + qsizetype(first), std::make_move_iterator(replacement.begin()),
                        std::make_move_iterator(replacement.end()));
        if (m_chunks.empty())
            m_chunks.push_back({});
        rebuildTree();
    }
    becomeUniformIfPossible();
}

// ---------------------------------------------------------------------------------------------
// LineEnds

LineEnds::LineEnds(QTextDocument *document) : QObject(document), m_document(document)
{
    setObjectName(QStringLiteral("zimoLineEnds"));
    rebuild();
    connect(document, &QTextDocument::contentsChange, this, &LineEnds::onContentsChange);
}

LineEnds *LineEnds::of(QTextDocument *document)
{
    if (auto *ends = document->findChild<LineEnds *>(QStringLiteral("zimoLineEnds"),
                                                     Qt::FindDirectChildrenOnly))
        return ends;
    return new LineEnds(document);
}

QTextCharFormat LineEnds::format(LineEnd kind)
{
    QTextCharFormat f;
    if (kind != LineEnd::CrLf)
        f.setProperty(kindProperty, int(kind));
    return f;
}

LineEnd LineEnds::kindOf(const QTextCharFormat &format)
{
    const int k = format.intProperty(kindProperty);
    return k == int(LineEnd::Lf) || k == int(LineEnd::Cr) || k == int(LineEnd::Join) ? LineEnd(k)
                                                                                     : LineEnd::CrLf;
}

void LineEnds::rebuild() const
{
    std::vector<std::uint8_t> kinds;
    kinds.reserve(std::size_t(m_document->blockCount() - 1));
    for (QTextBlock b = m_document->begin().next(); b.isValid(); b = b.next())
        kinds.push_back(std::uint8_t(kindOf(b.charFormat())));
    m_kinds.assign(kinds);
}

const LineEndKinds &LineEnds::kinds() const
{
    // Every change arrives through contentsChange; should one ever be missed, the number of
    // breaks tells and the kinds are read again.
    if (m_kinds.size() != m_document->blockCount() - 1)
        rebuild();
    return m_kinds;
}

LineEnd LineEnds::after(int block) const
{
    const LineEndKinds &k = kinds();
    return block >= 0 && block < k.size() ? k.at(block) : LineEnd::CrLf;
}

qsizetype LineEnds::crlfBefore(int block) const
{
    return kinds().crlfBefore(block);
}

bool LineEnds::isJoined(int block) const
{
    return block > 0 && after(block - 1) == LineEnd::Join;
}

qsizetype LineEnds::lineOf(int block) const
{
    return block - kinds().joinsBefore(block);
}

int LineEnds::firstBlockOfLine(qsizetype line) const
{
    return line <= 0 ? 0 : int(kinds().nthLineEnd(line - 1) + 1);
}

void LineEnds::expectInserted(std::vector<std::uint8_t> kinds)
{
    m_expected = std::move(kinds);
    m_expecting = !m_expected.empty();
}

void LineEnds::onContentsChange(int position, int /*removed*/, int added)
{
    const std::array<qsizetype, 4> before{m_kinds.count(LineEnd::CrLf), m_kinds.count(LineEnd::Lf),
                                          m_kinds.count(LineEnd::Cr), m_kinds.count(LineEnd::Join)};
    std::vector<std::uint8_t> expected;
    const bool expecting = std::exchange(m_expecting, false);
    expected.swap(m_expected);

    // The breaks that may be new or changed are those inside position .. position + added of
    // the new text: the breaks after paragraphs first .. last - 1. Every other break is the same
    // as before, so the old breaks in their place are as many less the change of the count.
    const int end = m_document->characterCount() - 1;
    const int from = std::clamp(position, 0, end);
    const int to = std::clamp(position + std::max(added, 0), from, end);
    const QTextBlock firstBlock = m_document->findBlock(from);
    const int first = firstBlock.blockNumber();
    const int last = m_document->findBlock(to).blockNumber();
    const qsizetype breaksNow = m_document->blockCount() - 1;
    const qsizetype inserted = last - first;
    const qsizetype replaced = inserted - (breaksNow - m_kinds.size());
    if (first < 0 || last < first || replaced < 0 || first + replaced > m_kinds.size()) {
        rebuild();
    } else if (inserted > 0 || replaced > 0) {
        if (!expecting || qsizetype(expected.size()) != inserted) {
            expected.resize(std::size_t(inserted));
            QTextBlock b = firstBlock;
            for (qsizetype i = 0; i < inserted; ++i) {
                b = b.next();
                expected[std::size_t(i)] = std::uint8_t(kindOf(b.charFormat()));
            }
        }
        // A change that leaves the breaks as they were (a syntax highlighter marking a paragraph
        // dirty reports its whole length as removed and added) changes nothing here.
        bool same = replaced == inserted;
        for (qsizetype i = 0; same && i < inserted; ++i)
            same = std::uint8_t(m_kinds.at(first + i)) == expected[std::size_t(i)];
        if (!same)
            m_kinds.replace(first, replaced, expected.data(), inserted);
    }
    if (before[0] != m_kinds.count(LineEnd::CrLf) || before[1] != m_kinds.count(LineEnd::Lf) ||
        before[2] != m_kinds.count(LineEnd::Cr) || before[3] != m_kinds.count(LineEnd::Join))
        emit countsChanged();
}

bool LineEnds::matchesDocument() const
{
    const LineEndKinds &k = kinds();
    if (k.size() != m_document->blockCount() - 1)
        return false;
    std::vector<std::uint8_t> held(static_cast<std::size_t>(k.size()));
    k.read(0, k.size(), held.data());
    qsizetype i = 0;
    qsizetype crlfSoFar = 0;
    qsizetype joinsSoFar = 0;
    for (QTextBlock b = m_document->begin().next(); b.isValid(); b = b.next(), ++i) {
        if (held[std::size_t(i)] != std::uint8_t(kindOf(b.charFormat())) ||
            k.crlfBefore(i) != crlfSoFar || k.joinsBefore(i) != joinsSoFar ||
            (held[std::size_t(i)] != join && k.nthLineEnd(i - joinsSoFar) != i))
            return false;
        crlfSoFar += held[std::size_t(i)] == crlf;
        joinsSoFar += held[std::size_t(i)] == join;
    }
    return k.crlfBefore(k.size()) == crlfSoFar && k.joinsBefore(k.size()) == joinsSoFar;
}

} // namespace zimo
