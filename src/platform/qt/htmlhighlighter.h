#pragma once

#include "html/htmlspans.h"

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QTextCharFormat>
#include <QTimer>

#include <array>
#include <utility>

class QPlainTextEdit;
class QTextBlock;
class QTextDocument;

namespace zimo {

// Colours the HTML in a QPlainTextEdit, as display only: the formats go to each block's layout
// (QTextLayout::setFormats), never into the document, so its text, its undo history, copying and
// printing are untouched.
//
// Unlike QSyntaxHighlighter, which colours the whole document after every setPlainText, it
// works lazily:
//  - the blocks on screen are coloured just before they are painted;
//  - each block keeps the scanner's state at its end (and the state it was coloured from) in its
//    user state, so a block can be coloured from the block before it;
//  - after a change, the states are brought up to date from the first changed block on, as far
//    as a block's end state differs from what it was, in short steps on a zero timer that stops
//    when all is done (an idle program does no work).
// A block is one line whatever ended it: the scanner takes the lone CR/LF stand-ins as white
// space, as it does a line end.
class HtmlHighlighter : public QObject
{
    Q_OBJECT
public:
    explicit HtmlHighlighter(QPlainTextEdit *edit);

    // Whether every block's end state is known and up to date, and the idle steps have stopped.
    bool isSettled() const { return m_dirtyFrom < 0 && !m_idle.isActive(); }
    // Brings every state up to date now (what the idle steps do over time).
    void settle();

    // The edit shows another document now: its blocks are coloured from the start.
    void followDocument();
    // While held, no idle steps run (the blocks on screen are still coloured when painted): a
    // page coming in slices is walked once it is whole rather than after every slice.
    void holdIdleSteps(bool hold);

    // The colour of each kind on the edit's paper.
    QColor colour(HtmlKind kind) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onContentsChange(int position, int removed, int added);
    // Marks block `number` as one whose start state may have changed.
    void markDirty(int number);
    void markDirty(int from, int to);
    // One step of bringing the states up to date; stops the timer when all is done.
    void idleStep();
    // Walks the dirty blocks until done or, with a deadline, until it has passed.
    void walk(const QElapsedTimer *clock, qint64 budgetNs);
    // Colours the blocks on screen (and a few below) whose colours are missing or stale.
    void colourVisible();
    // The block numbers from the first on screen to the last one coloured below it.
    std::pair<int, int> shownBlocks() const;
    // How many lines colourVisible colours: the screen's and a few more.
    int shownLines() const;
    // The state the block starts in, as far as it is known.
    HtmlState stateBefore(const QTextBlock &block) const;
    void makeFormats();

    QPlainTextEdit *m_edit;
    QTextDocument *m_doc;
    QTimer m_idle;
    bool m_held = false;
    // The blocks whose start state may be wrong lie in [m_dirtyFrom, m_dirtyTo]; after them the
    // walk goes on as long as end states change. -1: none.
    int m_dirtyFrom = -1;
    int m_dirtyTo = -1;
    int m_blockCount = 0;
    // The blocks whose end state the last walk changed (-1: none).
    int m_changedFrom = -1;
    int m_changedTo = -1;
    bool m_darkPaper = false;
    std::array<QTextCharFormat, 8> m_formats;
};

} // namespace zimo
