#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <utility>

namespace zimo {

// Lines whose original bytes are kept. Some encodings have characters with more than one byte
// form (code page 932's duplicate cells such as 8790 and 81E0 for ≒); a text read from the one
// form is written back in the other. To change no byte the user did not touch, the lines whose
// text would not be written back to the bytes they were read from are remembered with those
// bytes, and a write puts those bytes back for each such line that is still there unchanged.
//
// Lines: CR LF, a lone CR and a lone LF each end a line; a line is what lies between line ends
// (the line ends themselves always go through the codec). In the bytes, the line ends are the
// codec's own bytes for CR and LF, on boundaries of their size (so UTF-16 works as well as the
// ASCII-based encodings).
//
// Nothing here knows an encoding: the codec is a parameter.

// The encoding a document was read in.
struct LineCodec
{
    // Decodes without losing bytes. Applied to single lines: a line's bytes decoded on their own
    // must give the line's text, or the line is not kept.
    std::function<QString(QByteArrayView)> decode;
    // Encodes by the codec's rule. Characters it cannot hold may be left out. The encodings of two
    // texts joined must decode as the two texts joined where the first ends with a line end
    // (true for every encoding without a byte-order mark in the middle and without a shift state
    // carried over a line end).
    std::function<QByteArray(QStringView)> encode;
};

// A line of the text to be written as `bytes` instead of by the codec: text[from, to), line number
// `line` from 0.
struct KeptSpan
{
    qsizetype line = 0;
    qsizetype from = 0;
    qsizetype to = 0;
    QByteArray bytes;
    friend bool operator==(const KeptSpan &, const KeptSpan &) = default;
};

class KeptLines
{
public:
    // Forgets every line (a new document).
    void clear() { m_lines.clear(); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    // The numbers (from 0) of the remembered lines, in order.
    QList<qsizetype> lineNumbers() const;

    // After `bytes` were read as `text` with `codec`: remembers the lines whose text the codec
    // would not write back as their bytes. Costs one encoding of the text when every line would
    // come back as it was (then nothing is remembered).
    void remember(QByteArrayView bytes, QStringView text, const LineCodec &codec);

    // The remembered lines that `text` still holds unchanged, at their places in `text`, in order.
    // `baseline` is the text the remembered lines belong to (as read). A line is unchanged when
    // a line diff of the two texts pairs it with a line of `text` and that line reads the same.
    QList<KeptSpan> spansFor(QStringView text, QStringView baseline) const;

    // After `text` was written with `kept` and became the baseline: the kept lines are the
    // remembered ones now (every other line was written by the codec and comes back as written).
    void rebase(const QList<KeptSpan> &kept, QStringView text);

private:
    struct Line
    {
        qsizetype number;
        QByteArray bytes;
        QString text;
    };
    QList<Line> m_lines; // by number
};

// Appends the bytes for `text` to `out`: each kept span as its own bytes, every stretch between
// them through `encodePiece(from, to)`, which appends the codec's bytes for text[from, to).
template <typename EncodePiece>
void appendAroundKept(QStringView text, const QList<KeptSpan> &kept, EncodePiece &&encodePiece,
                      QByteArray &out)
{
    qsizetype from = 0;
    for (const KeptSpan &span : kept) {
        if (span.from > from)
            encodePiece(from, span.from);
        out.append(span.bytes);
        from = span.to;
    }
    if (from < text.size())
        encodePiece(from, text.size());
}

// The same from the codec's bytes for the whole text: `encoded` (in which line n is the codec's
// bytes for line n of `text`) gets each kept line's own bytes in place of the codec's. One pass
// over the bytes instead of one encoding per stretch, in place when the sizes agree. Returns
// false, leaving `encoded` as it was, when the bytes do not have the text's lines. Only for codecs
// whose bytes carry no state over a line end (code page 932, EUC-JP, UTF-8, UTF-16); with a shift
// state (ISO-2022-JP) use appendAroundKept, which encodes each stretch on its own.
bool putKeptBytes(QStringView text, QByteArray &encoded, const QList<KeptSpan> &kept,
                  const LineCodec &codec);

namespace keptlines_detail {
// The pairs (i, j) of equal lines in a shortest edit script between a[0, n) and b[0, m) (Myers'
// algorithm), or nothing when the two differ in more than `maxEdits` lines or the search gets too
// long. Exposed for the tests.
std::optional<QList<std::pair<qsizetype, qsizetype>>>
matchLines(const QList<QStringView> &a, const QList<QStringView> &b, qsizetype maxEdits);
} // namespace keptlines_detail

} // namespace zimo
