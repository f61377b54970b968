#pragma once

#include <QObject>
#include <QTextCharFormat>

#include <array>
#include <cstdint>
#include <vector>

class QTextDocument;

namespace zimo {

// The three line ends a document holds, and the join. Every one of them is a paragraph break of
// the text area. A join holds no character of the model text: it cuts a very long line into
// paragraphs the widget can lay out quickly, and the model never sees it (textmodel.md).
enum class LineEnd : std::uint8_t { CrLf = 0, Lf = 1, Cr = 2, Join = 3 };

// The kinds of a document's line ends in order (index i: the line end after paragraph i), with
// the number of CR LF before any index. A sequence of one kind only (the usual case: all CR LF,
// or all LF) is held as that kind and a count, nothing else; a mixed one in chunks of at most
// a thousand kinds, with a Fenwick tree over the chunks' sizes and CR LF counts, so that
// crlfBefore(), at() and replacing a few kinds cost O(log n + chunk) and never a pass over all.
class LineEndKinds
{
public:
    qsizetype size() const { return m_size; }
    qsizetype count(LineEnd kind) const { return m_totals[std::size_t(kind)]; }
    // Whether one kind only is held (or none at all).
    bool isUniform() const { return m_chunks.empty(); }

    LineEnd at(qsizetype index) const;
    // How many of the kinds before `index` are CR LF (index clamped to 0..size()).
    qsizetype crlfBefore(qsizetype index) const;
    // How many of the kinds before `index` are joins (index clamped to 0..size()).
    qsizetype joinsBefore(qsizetype index) const;
    // Model characters minus widget characters of the breaks before `index`: one more for each
    // CR LF, one less for each join.
    qsizetype modelExtraBefore(qsizetype index) const;
    // Whether the model and the widget count positions alike (no CR LF and no join).
    bool isOneToOne() const { return m_totals[0] == 0 && m_totals[3] == 0; }
    // The index of the n-th break (from 0) that is not a join, or size() when there are fewer.
    qsizetype nthLineEnd(qsizetype n) const;
    // Copies n kinds from `from` on.
    void read(qsizetype from, qsizetype n, std::uint8_t *out) const;

    void assign(const std::vector<std::uint8_t> &kinds);
    // Replaces `removed` kinds at `pos` by n others.
    void replace(qsizetype pos, qsizetype removed, const std::uint8_t *added, qsizetype n);

private:
    struct Chunk
    {
        std::vector<std::uint8_t> kinds;
        qsizetype crlf = 0;
        qsizetype joins = 0;
    };
    // The chunk holding index (or, for index == size(), the end of the last chunk), the offset in
    // it and the number of CR LF and of joins in the chunks before it.
    void locate(qsizetype index, std::size_t &chunk, qsizetype &offset, qsizetype &crlfBefore,
                qsizetype &joinsBefore) const;
    void countBefore(qsizetype index, qsizetype &crlf, qsizetype &joins) const;
    void materialize();
    void rebuildTree();
    void updateTree(std::size_t chunk, qsizetype sizeDelta, qsizetype crlfDelta, qsizetype joinDelta);
    void becomeUniformIfPossible();

    std::vector<Chunk> m_chunks;
    // Fenwick trees (1-based) over the chunks' sizes, CR LF and join counts.
    std::vector<qsizetype> m_treeSize;
    std::vector<qsizetype> m_treeCrlf;
    std::vector<qsizetype> m_treeJoin;
    qsizetype m_size = 0;
    std::array<qsizetype, 4> m_totals{};
    LineEnd m_uniform = LineEnd::CrLf;
};

// The line ends of a text area's document. Each paragraph break carries its kind in the
// character format of the break itself (a user property; absent means CR LF), so the kind goes
// wherever the break goes: it is removed with it, and the widget's own undo and redo bring it
// back. A paragraph's charFormat() is the format of the break before it, so the kind of the
// break after paragraph b is block(b + 1).charFormat().
//
// The kinds are mirrored in a LineEndKinds kept up to date from QTextDocument::contentsChange:
// only the breaks inside a change are read again. The text box adapter and the text area
// insert breaks with explicit formats (format()); typing Enter in the text area inserts CR LF.
class LineEnds : public QObject
{
    Q_OBJECT
public:
    // The document's line ends, created (and read once) on first use; a child of the document.
    static LineEnds *of(QTextDocument *document);

    // The character format that gives a paragraph break this kind.
    static QTextCharFormat format(LineEnd kind);
    static LineEnd kindOf(const QTextCharFormat &format);

    const LineEndKinds &kinds() const;
    // The kind of the break after paragraph `block` (CR LF for the last paragraph, which has
    // none).
    LineEnd after(int block) const;
    // Number of CR LF breaks before paragraph `block`.
    qsizetype crlfBefore(int block) const;
    // Whether paragraph `block` continues the line of the paragraph before it (a join between).
    bool isJoined(int block) const;
    // The line (from 0) paragraph `block` belongs to: joins start no new line.
    qsizetype lineOf(int block) const;
    // The first paragraph of line `line` (from 0).
    int firstBlockOfLine(qsizetype line) const;

    // Tells the next change of the document which kinds its new breaks have, in order, so that
    // they need not be read back from it (the adapter's own insertions). A change whose number
    // of new breaks differs reads them from the document. An empty list expects nothing.
    void expectInserted(std::vector<std::uint8_t> kinds);

    // Whether the kinds held agree with the breaks of the document (a full walk; for tests).
    bool matchesDocument() const;

signals:
    // The number of breaks of some kind changed.
    void countsChanged();

private:
    explicit LineEnds(QTextDocument *document);
    void onContentsChange(int position, int removed, int added);
    void rebuild() const;

    QTextDocument *m_document;
    mutable LineEndKinds m_kinds;
    std::vector<std::uint8_t> m_expected;
    bool m_expecting = false;
};

} // namespace zimo
