#pragma once

#include "platform/textloader.h"

#include <QObject>
#include <QPointer>
#include <QTextCursor>
#include <QTimer>

class QPlainTextEdit;
class QTextDocument;

namespace zimo {

// Loads a page into a QPlainTextEdit over time. The text goes into a fresh document, a slice at
// a time from the event loop; the edit shows that document, read-only, from the first slice on,
// while its earlier document is kept aside untouched. Completed: the fresh document stays (the
// earlier one is deleted). Cancelled: the earlier document is put back with its caret, selection,
// scroll position and undo history, and the fresh one is deleted.
//
// Each slice goes in through PlainTextBox::insertModelText, as setText puts a whole text in, so
// the line ends' kinds (and whatever else that insertion does) are the same either way.
class PageLoader : public QObject, public TextLoader
{
    Q_OBJECT
public:
    explicit PageLoader(QPlainTextEdit *edit, QObject *parent = nullptr);
    ~PageLoader() override;

    void showHead(QString head) override;
    void start(QString text, std::function<void(bool completed)> finished) override;
    void cancel() override;
    bool isLoading() const override { return m_doc != nullptr; }

    // Characters of the model text inserted so far, and the whole (0 when not loading).
    qsizetype loaded() const { return m_doc ? m_at : 0; }
    qsizetype total() const { return m_doc ? m_text.size() : 0; }

    // How long one step may insert before it gives the event loop back, in milliseconds, and the
    // size of the first slice (model characters; a slice ends at a line end when one is near).
    // The first slice is the first screen; each later one is sized from the speed of the one
    // before, to take about the budget (one call into the document costs far less than several).
    void setStepBudget(int milliseconds) { m_budgetMs = milliseconds; }
    void setSliceSize(qsizetype characters) { m_firstSlice = characters; }

signals:
    // The edit shows another document (the fresh one, or the earlier one again).
    void documentReplaced();
    // The whole text is in: the edit's document holds exactly `text` (just before the load's
    // `finished` runs).
    void loadedWhole(const QString &text);
    // After each step: `loaded` of `total` model characters are in.
    void progressed(qsizetype loaded, qsizetype total);

private:
    // Puts the earlier document aside and shows a fresh one holding the first slice of m_text.
    void begin();
    void step();
    // Inserts the next slice; returns false when all is in.
    bool insertSlice();
    // Where the slice starting at `from` ends.
    qsizetype sliceEnd(qsizetype from) const;
    // Characters from `at` to the end of its line (the next CR or LF, or the text's end), counted
    // up to `most`.
    qsizetype lineRest(qsizetype at, qsizetype most) const;
    void complete();
    void finish(bool completed);

    QPointer<QPlainTextEdit> m_edit;
    QString m_text;
    qsizetype m_at = 0;
    // Where the line holding m_at begins.
    qsizetype m_lineStart = 0;
    std::function<void(bool)> m_finished;
    QTimer m_timer;
    // Only the head is in so far; start() brings the whole text.
    bool m_headOnly = false;
    int m_budgetMs = 25;
    qsizetype m_firstSlice = 32 * 1024;
    qsizetype m_slice = 0;

    // The fresh document while loading; null otherwise.
    QTextDocument *m_doc = nullptr;
    QTextCursor m_end;
    // The earlier document and what the edit showed of it.
    QPointer<QTextDocument> m_old;
    QObject *m_oldParent = nullptr;
    QTextCursor m_oldCursor;
    bool m_oldReadOnly = false;
    int m_oldScrollX = 0;
    int m_oldScrollY = 0;
};

} // namespace zimo
