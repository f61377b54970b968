#include "platform/qt/htmlhighlighter.h"

#include "platform/qt/qttextbox.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace zimo {

namespace {

// A block's user state: -1 while nothing is known; else the packed end state in the low byte and,
// above it, the packed state the block's colours were made from plus one (0: not coloured).
constexpr int unknown = -1;

int endOf(int userState)
{
    return userState < 0 ? unknown : userState & 0xFF;
}

int colouredFrom(int userState)
{
    return userState < 0 ? unknown : (userState >> 8) - 1;
}

int pack(int end, int colouredFromState)
{
    return end | (colouredFromState + 1) << 8;
}

// Blocks coloured below the last one on screen, so that a small scroll finds them ready.
constexpr int marginBelow = 8;
// The time one idle step may take.
constexpr qint64 stepBudgetNs = 4'000'000;

// The colour ranges of a block's spans, placed in its layout. While an input method composes
// text in the block, the layout holds that text (the preedit) at preeditAreaPosition(), and the
// widget has given it formats of its own (the underline, the segment being converted): ranges
// after it move by its length, a range across it is split around it, and the preedit's formats
// are kept.
QList<QTextLayout::FormatRange> layoutFormats(const QTextLayout *layout, const HtmlLine &line,
                                              const std::array<QTextCharFormat, 8> &kinds)
{
    const int preeditLength = int(layout->preeditAreaText().size());
    const int preeditAt = preeditLength > 0 ? layout->preeditAreaPosition() : -1;
    QList<QTextLayout::FormatRange> formats;
    formats.reserve(line.spans.size() + 4);
    for (const HtmlSpan &span : line.spans) {
        const int start = int(span.start);
        const int end = start + int(span.length);
        const QTextCharFormat &format = kinds[int(span.kind)];
        if (preeditAt < 0 || end <= preeditAt) {
            formats.append({start, end - start, format});
        } else if (start >= preeditAt) {
            formats.append({start + preeditLength, end - start, format});
        } else {
            formats.append({start, preeditAt - start, format});
            formats.append({preeditAt + preeditLength, end - preeditAt, format});
        }
    }
    if (preeditAt >= 0) {
        for (const QTextLayout::FormatRange &range : layout->formats())
            if (range.start >= preeditAt && range.start + range.length <= preeditAt + preeditLength)
                formats.append(range);
    }
    return formats;
}

} // namespace

HtmlHighlighter::HtmlHighlighter(QPlainTextEdit *edit)
    : QObject(edit), m_edit(edit), m_doc(edit->document())
{
    makeFormats();
    m_blockCount = m_doc->blockCount();
    connect(m_doc, &QTextDocument::contentsChange, this, &HtmlHighlighter::onContentsChange);
    m_idle.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, &HtmlHighlighter::idleStep);
    edit->viewport()->installEventFilter(this);
    edit->installEventFilter(this);
    markDirty(0, m_blockCount - 1);
}

void HtmlHighlighter::followDocument()
{
    QTextDocument *doc = m_edit->document();
    if (doc == m_doc)
        return;
    disconnect(m_doc, &QTextDocument::contentsChange, this, &HtmlHighlighter::onContentsChange);
    m_doc = doc;
    connect(m_doc, &QTextDocument::contentsChange, this, &HtmlHighlighter::onContentsChange);
    m_blockCount = m_doc->blockCount();
    m_dirtyFrom = m_dirtyTo = -1;
    m_changedFrom = m_changedTo = -1;
    markDirty(0, m_blockCount - 1);
}

void HtmlHighlighter::holdIdleSteps(bool hold)
{
    m_held = hold;
    if (hold)
        m_idle.stop();
    else if (m_dirtyFrom >= 0)
        m_idle.start();
}

QColor HtmlHighlighter::colour(HtmlKind kind) const
{
    // Quiet colours, each far enough from black to be told apart and dark enough to read on
    // white, in regular, bold and italic alike. The selection paints its own text colour over them.
    static const QColor light[] = {
        QColor(0x6b, 0x6b, 0x8f), // tag marks: grey-blue
        QColor(0x1c, 0x4f, 0x9c), // tag names: blue
        QColor(0x8a, 0x55, 0x00), // attribute names: brown
        QColor(0x1f, 0x7a, 0x3a), // attribute values: green
        QColor(0x9c, 0x2f, 0x8a), // references: plum
        QColor(0x80, 0x80, 0x80), // comments: grey
        QColor(0x2b, 0x78, 0x78), // doctype: teal
        QColor(0xa0, 0x3c, 0x1e), // script and style: rust
    };
    const QColor c = light[int(kind)];
    // On dark paper the same hues, lighter.
    return m_darkPaper ? c.lighter(190) : c;
}

void HtmlHighlighter::makeFormats()
{
    m_darkPaper = m_edit->palette().color(QPalette::Base).lightness() < 128;
    for (int k = 0; k < int(m_formats.size()); ++k) {
        QTextCharFormat f;
        f.setForeground(colour(HtmlKind(k)));
        m_formats[k] = f;
    }
}

HtmlState HtmlHighlighter::stateBefore(const QTextBlock &block) const
{
    const QTextBlock previous = block.previous();
    if (!previous.isValid())
        return {};
    const int end = endOf(previous.userState());
    return end < 0 ? HtmlState{} : HtmlState::fromInt(end);
}

void HtmlHighlighter::markDirty(int number)
{
    markDirty(number, number);
}

void HtmlHighlighter::markDirty(int from, int to)
{
    if (from >= m_blockCount)
        return;
    to = std::min(to, m_blockCount - 1);
    if (m_dirtyFrom < 0) {
        m_dirtyFrom = from;
        m_dirtyTo = to;
    } else {
        m_dirtyFrom = std::min(m_dirtyFrom, from);
        m_dirtyTo = std::max(m_dirtyTo, to);
    }
    if (!m_idle.isActive() && !m_held)
        m_idle.start();
}

void HtmlHighlighter::onContentsChange(int position, int removed, int added)
{
    Q_UNUSED(removed);
    const int count = m_doc->blockCount();
    const int delta = count - m_blockCount;
    m_blockCount = count;
    const QTextBlock first = m_doc->findBlock(position);
    QTextBlock last = m_doc->findBlock(position + added);
    if (!last.isValid())
        last = m_doc->lastBlock();
    const int firstNumber = first.isValid() ? first.blockNumber() : 0;
    const int lastNumber = last.blockNumber();

    // Blocks after the change moved by the blocks it added or took away.
    if (m_dirtyFrom >= 0) {
        if (m_dirtyFrom > firstNumber)
            m_dirtyFrom = std::max(firstNumber, m_dirtyFrom + delta);
        if (m_dirtyTo > firstNumber)
            m_dirtyTo = std::max(firstNumber, m_dirtyTo + delta);
    }
    // The changed blocks' states and colours are stale: the first and the last changed block may
    // be old ones; the blocks between them are new and know nothing yet.
    for (QTextBlock b : {first, last})
        if (b.isValid())
            b.setUserState(unknown);
    markDirty(firstNumber, lastNumber + 1);
}

void HtmlHighlighter::walk(const QElapsedTimer *clock, qint64 budgetNs)
{
    if (m_dirtyFrom < 0)
        return;
    QTextBlock block = m_doc->findBlockByNumber(m_dirtyFrom);
    HtmlState in = stateBefore(block);
    int steps = 0;
    while (block.isValid()) {
        const int number = block.blockNumber();
        const int stored = block.userState();
        const HtmlState end = htmlLineEnd(PlainTextBox::modelCharacters(block.text()), in);
        const int packedEnd = end.toInt();
        if (packedEnd == endOf(stored) && number > m_dirtyTo) {
            // The same end state as before, past every change: the rest is as it was.
            m_dirtyFrom = m_dirtyTo = -1;
            return;
        }
        if (packedEnd != endOf(stored)) {
            block.setUserState(pack(packedEnd, colouredFrom(stored)));
            m_changedFrom = m_changedFrom < 0 ? number : std::min(m_changedFrom, number);
            m_changedTo = std::max(m_changedTo, number);
        }
        in = end;
        block = block.next();
        if (clock && ++steps % 64 == 0 && clock->nsecsElapsed() > budgetNs && block.isValid()) {
            m_dirtyFrom = block.blockNumber();
            m_dirtyTo = std::max(m_dirtyTo, m_dirtyFrom);
            return;
        }
    }
    m_dirtyFrom = m_dirtyTo = -1;
}

void HtmlHighlighter::idleStep()
{
    QElapsedTimer clock;
    clock.start();
    m_changedFrom = m_changedTo = -1;
    walk(&clock, stepBudgetNs);
    if (m_dirtyFrom < 0)
        m_idle.stop();
    // Colours on screen were made from states that have just changed: paint them again. A
    // changed block above the screen matters only through the block right above it.
    if (m_changedFrom >= 0) {
        const auto [first, last] = shownBlocks();
        if (m_changedTo >= first - 1 && m_changedFrom <= last)
            m_edit->viewport()->update();
    }
}

std::pair<int, int> HtmlHighlighter::shownBlocks() const
{
    // The first block on screen, as QPlainTextEdit finds it: the scroll bar counts lines.
    const QTextBlock first = m_doc->findBlockByLineNumber(m_edit->verticalScrollBar()->value());
    const int number = first.isValid() ? first.blockNumber() : 0;
    return {number, number + shownLines()};
}

int HtmlHighlighter::shownLines() const
{
    const int lineHeight = std::max(1, m_edit->fontMetrics().lineSpacing());
    return m_edit->viewport()->height() / lineHeight + 2 + marginBelow;
}

void HtmlHighlighter::settle()
{
    walk(nullptr, 0);
    m_idle.stop();
    m_edit->viewport()->update();
}

void HtmlHighlighter::colourVisible()
{
    QTextBlock block = m_doc->findBlockByLineNumber(m_edit->verticalScrollBar()->value());
    if (!block.isValid())
        return;
    int linesLeft = shownLines();
    HtmlState in = stateBefore(block);
    for (; block.isValid() && linesLeft > 0; block = block.next()) {
        linesLeft -= std::max(1, block.lineCount());
        const int stored = block.userState();
        const int inPacked = in.toInt();
        if (stored >= 0 && colouredFrom(stored) == inPacked) {
            in = HtmlState::fromInt(endOf(stored));
            continue;
        }
        const HtmlLine line = htmlSpans(PlainTextBox::modelCharacters(block.text()), in);
        QTextLayout *layout = block.layout();
        const QList<QTextLayout::FormatRange> formats = layoutFormats(layout, line, m_formats);
        if (layout->formats() != formats) {
            layout->setFormats(formats);
            // Lays the block out again with its colours (no change to the text or its undo). One
            // character is enough to name the block: a longer range would reach into the next
            // block and make the layout drop that block's lines too.
            m_doc->markContentsDirty(block.position(), 1);
        }
        const int packedEnd = line.out.toInt();
        block.setUserState(pack(packedEnd, inPacked));
        // A new end state changes what the next block starts in, on screen or not.
        if (packedEnd != endOf(stored) && block.next().isValid())
            markDirty(block.blockNumber() + 1);
        in = line.out;
    }
}

bool HtmlHighlighter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit->viewport() && event->type() == QEvent::Paint) {
        colourVisible();
    } else if (watched == m_edit && event->type() == QEvent::InputMethod) {
        // The widget is about to set the composed text and its formats in the caret's block,
        // replacing the colours: the block is coloured again, around it, before it is painted.
        QTextBlock block = m_edit->textCursor().block();
        if (block.userState() >= 0)
            block.setUserState(pack(endOf(block.userState()), unknown));
    } else if (watched == m_edit && event->type() == QEvent::PaletteChange) {
        makeFormats();
        // Every colour made so far is in the old palette's colours.
        for (QTextBlock b = m_doc->begin(); b.isValid(); b = b.next())
            if (b.userState() >= 0)
                b.setUserState(pack(endOf(b.userState()), unknown));
        m_edit->viewport()->update();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zimo
