#include "platform/qt/pageloader.h"

#include "platform/qt/lineends.h"
#include "platform/qt/qttextbox.h"

#include <QElapsedTimer>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>

namespace zimo {

PageLoader::PageLoader(QPlainTextEdit *edit, QObject *parent) : QObject(parent), m_edit(edit)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &PageLoader::step);
}

PageLoader::~PageLoader()
{
    // The edit must not be left showing a document this object owns; nobody is told any more.
    m_finished = nullptr;
    if (isLoading() && m_edit)
        cancel();
}

void PageLoader::showHead(QString head)
{
    if (isLoading())
        cancel();
    m_text = std::move(head);
    m_at = 0;
    m_lineStart = 0;
    m_slice = m_firstSlice;
    begin();
    // The rest comes with start(); the head's remainder goes in then.
    m_headOnly = isLoading();
}

void PageLoader::start(QString text, std::function<void(bool completed)> finished)
{
    const bool headShown = isLoading() && m_headOnly;
    // A whole load under way is given up first.
    if (isLoading() && !headShown)
        cancel();
    m_headOnly = false;
    m_finished = std::move(finished);
    if (headShown && QStringView(text).startsWith(QStringView(m_text).first(m_at))) {
        // The head is on screen and the whole text begins with it: go on after it.
        m_text = std::move(text);
        if (m_at >= m_text.size()) {
            complete();
            return;
        }
        emit progressed(m_at, m_text.size());
        m_timer.start();
        return;
    }
    if (headShown) {
        // A head that is not the text's beginning (never expected): start over in the same
        // document.
        QTextCursor all(m_doc);
        all.select(QTextCursor::Document);
        all.removeSelectedText();
        m_text = std::move(text);
        m_at = 0;
    m_lineStart = 0;
        m_slice = m_firstSlice;
        m_timer.start();
        return;
    }
    m_text = std::move(text);
    m_at = 0;
    m_lineStart = 0;
    m_slice = m_firstSlice;
    begin();
    if (!isLoading())
        return;
    emit progressed(m_at, m_text.size());
    m_timer.start();
}

void PageLoader::begin()
{
    // The earlier document is kept as it is; the edit would delete the one it made itself when
    // another is set, so it is held by this object meanwhile.
    m_old = m_edit->document();
    m_oldParent = m_old->parent();
    m_old->setParent(this);
    m_oldCursor = m_edit->textCursor();
    m_oldReadOnly = m_edit->isReadOnly();
    m_oldScrollX = m_edit->horizontalScrollBar()->value();
    m_oldScrollY = m_edit->verticalScrollBar()->value();

    // A document set up as the edit's own: plain layout, the same font, margin and options, no
    // undo history for the loading (setText leaves none either).
    m_doc = new QTextDocument(this);
    m_doc->setDocumentLayout(new QPlainTextDocumentLayout(m_doc));
    m_doc->setDefaultFont(m_edit->font());
    m_doc->setDocumentMargin(m_old->documentMargin());
    m_doc->setDefaultTextOption(m_old->defaultTextOption());
    m_doc->setUndoRedoEnabled(false);
    LineEnds::of(m_doc);
    m_end = QTextCursor(m_doc);

    // The first slice goes in before the document is shown: the first screen is there at once.
    const bool more = insertSlice();
    m_edit->setDocument(m_doc);
    m_edit->setReadOnly(true);
    emit documentReplaced();
    if (!more && m_finished)
        complete();
}

namespace {

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

qsizetype PageLoader::lineRest(qsizetype at, qsizetype most) const
{
    const qsizetype stop = std::min(m_text.size(), at + most);
    qsizetype i = at;
    while (i < stop && !isLineEnd(m_text.at(i)))
        ++i;
    return i - at;
}

qsizetype PageLoader::sliceEnd(qsizetype from) const
{
    const qsizetype size = m_text.size();
    const qsizetype end = std::min(size, from + std::max<qsizetype>(m_slice, 1));
    if (end == size)
        return end;
    // Preferably after a line end not far on, so that lines go in whole (never between the CR
    // and the LF of a pair).
    const qsizetype near = lineRest(end, m_slice);
    if (near < m_slice) {
        const qsizetype at = end + near;
        if (at == size)
            return size;
        return at + 1 + (m_text.at(at) == u'\r' && at + 1 < size && m_text.at(at + 1) == u'\n');
    }
    // A long line is cut where the text box cuts it into paragraphs when it is put in at once:
    // the pieces then make the same paragraphs. `from` is the line's start or such a cut (the
    // slice before ended there); the line's length matters only up to the limit.
    qsizetype lineStart = m_lineStart;
    for (qsizetype i = end; i > from; --i)
        if (isLineEnd(m_text.at(i - 1))) {
            lineStart = i;
            break;
        }
    const qsizetype limit = PlainTextBox::paragraphLimit;
    const qsizetype target = PlainTextBox::paragraphTarget;
    if ((end - lineStart) + lineRest(end, limit + 1) <= limit)
        return end; // not long: any place will do
    const auto *text = reinterpret_cast<const char16_t *>(m_text.constData());
    qsizetype p = std::max(from, lineStart);
    for (;;) {
        const qsizetype rest = lineRest(p, limit + 1);
        if (rest <= target)
            return p + rest; // the line's last piece: the slice ends at the line's end
        p += PlainTextBox::cutPoint(text + p, rest, target);
        if (p >= end)
            return p;
    }
}

bool PageLoader::insertSlice()
{
    const qsizetype end = sliceEnd(m_at);
    if (end > m_at) {
        QElapsedTimer clock;
        clock.start();
        LineContext line;
        line.before = m_at - m_lineStart;
        line.after = end < m_text.size() ? lineRest(end, PlainTextBox::paragraphLimit + 1) : 0;
        PlainTextBox::insertModelText(m_end, m_text.mid(m_at, end - m_at), line);
        for (qsizetype i = end; i > m_at; --i)
            if (isLineEnd(m_text.at(i - 1))) {
                m_lineStart = i;
                break;
            }
        // The next slice takes about the budget at this speed, growing at most fourfold a time
        // (the first measurements are of small slices), never below the first slice's size.
        const double ms = std::max<double>(clock.nsecsElapsed() / 1e6, 0.05);
        const double perMs = double(end - m_at) / ms;
        m_slice = std::clamp<qsizetype>(qsizetype(perMs * m_budgetMs), m_firstSlice, m_slice * 4);
        m_at = end;
    }
    return m_at < m_text.size();
}

void PageLoader::step()
{
    // One slice a step: it is sized to take about the budget.
    if (!insertSlice()) {
        complete();
        return;
    }
    emit progressed(m_at, m_text.size());
}

void PageLoader::complete()
{
    m_timer.stop();
    QTextDocument *doc = m_doc;
    doc->setUndoRedoEnabled(m_old ? m_old->isUndoRedoEnabled() : true);
    doc->setModified(false);
    // The loaded document now belongs where the earlier one did.
    doc->setParent(m_oldParent);
    m_doc = nullptr;
    m_end = QTextCursor();
    m_edit->setReadOnly(m_oldReadOnly);
    // The caret at the start, nothing selected, as after setText; the view stays where the user
    // scrolled to meanwhile.
    const int x = m_edit->horizontalScrollBar()->value();
    const int y = m_edit->verticalScrollBar()->value();
    m_edit->setTextCursor(QTextCursor(doc));
    m_edit->horizontalScrollBar()->setValue(x);
    m_edit->verticalScrollBar()->setValue(y);
    m_oldCursor = QTextCursor();
    delete m_old.data();
    emit loadedWhole(m_text);
    m_text = QString();
    emit progressed(m_at, m_at);
    finish(true);
}

void PageLoader::cancel()
{
    if (!isLoading())
        return;
    m_headOnly = false;
    m_timer.stop();
    QTextDocument *fresh = m_doc;
    m_doc = nullptr;
    m_end = QTextCursor();
    if (m_old) {
        m_old->setParent(m_oldParent);
        // A font chosen meanwhile went to the fresh document only.
        m_old->setDefaultFont(m_edit->font());
        m_edit->setDocument(m_old);
        m_edit->setReadOnly(m_oldReadOnly);
        m_edit->setTextCursor(m_oldCursor);
        m_edit->horizontalScrollBar()->setValue(m_oldScrollX);
        m_edit->verticalScrollBar()->setValue(m_oldScrollY);
    }
    m_oldCursor = QTextCursor();
    emit documentReplaced();
    delete fresh;
    m_text = QString();
    finish(false);
}

void PageLoader::finish(bool completed)
{
    // The callback may start another load.
    std::function<void(bool)> finished = std::move(m_finished);
    m_finished = nullptr;
    if (finished)
        finished(completed);
}

} // namespace zimo
