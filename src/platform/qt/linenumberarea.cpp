#include "platform/qt/linenumberarea.h"

#include "platform/qt/lineends.h"
#include "platform/qt/textarea.h"

#include <QPainter>
#include <QPaintEvent>
#include <QTextBlock>

namespace zimo {

namespace {

// Room left and right of the numbers, in pixels.
constexpr int padding = 4;

int digits(int number)
{
    int n = 1;
    while (number >= 10) {
        number /= 10;
        ++n;
    }
    return n;
}

} // namespace

LineNumberArea::LineNumberArea(TextArea *edit) : QWidget(edit), m_edit(edit)
{
    setObjectName(QStringLiteral("lineNumbers"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(edit, &QPlainTextEdit::blockCountChanged, this, &LineNumberArea::updateWidth);
    connect(edit, &QPlainTextEdit::updateRequest, this, &LineNumberArea::followUpdate);
    connect(edit, &QPlainTextEdit::cursorPositionChanged, this, &LineNumberArea::followCaret);
    // Joins (a long line held as several paragraphs) change the paragraphs but not the lines.
    connect(LineEnds::of(edit->document()), &LineEnds::countsChanged, this,
            &LineNumberArea::updateWidth);
    m_caretLine = caretLine();
    // A new font of the text area changes the width of the digits.
    edit->installEventFilter(this);
    updateWidth();
    show();
}

int LineNumberArea::caretLine() const
{
    return int(LineEnds::of(m_edit->document())->lineOf(m_edit->textCursor().blockNumber()));
}

int LineNumberArea::areaWidth() const
{
    // At least two digits, so that the text does not move at line 10.
    const qsizetype lines =
        m_edit->blockCount() - LineEnds::of(m_edit->document())->kinds().count(LineEnd::Join);
    const int shown = std::max(2, digits(int(std::max<qsizetype>(1, lines))));
    return padding * 2 + shown * m_edit->fontMetrics().horizontalAdvance(u'9');
}

void LineNumberArea::updateWidth()
{
    const int width = areaWidth();
    if (width == m_width)
        return;
    m_width = width;
    m_edit->setViewportMargins(width, 0, 0, 0);
    place();
}

void LineNumberArea::place()
{
    const QRect inside = m_edit->contentsRect();
    // The font may have changed since the width was taken.
    if (areaWidth() != m_width) {
        m_width = areaWidth();
        m_edit->setViewportMargins(m_width, 0, 0, 0);
    }
    const QRect viewport = m_edit->viewport()->geometry();
    setGeometry(inside.left(), viewport.top(), m_width, viewport.height());
}

bool LineNumberArea::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_edit && e->type() == QEvent::FontChange) {
        place();
        update();
    }
    return QWidget::eventFilter(watched, e);
}

void LineNumberArea::followUpdate(const QRect &rect, int dy)
{
    if (dy != 0)
        scroll(0, dy);
    else
        update(0, rect.y(), width(), rect.height());
}

void LineNumberArea::followCaret()
{
    const int line = caretLine();
    if (line == m_caretLine)
        return;
    m_caretLine = line;
    update();
}

void LineNumberArea::paintEvent(QPaintEvent *e)
{
    QPainter painter(this);
    const QPalette pal = m_edit->palette();
    const QColor paper = pal.color(QPalette::Base);
    const QColor ink = pal.color(QPalette::Text);
    // A shade darker than the paper, and numbers half way between ink and paper.
    painter.fillRect(e->rect(), paper.darker(106));
    const QColor faint((ink.red() + paper.red()) / 2, (ink.green() + paper.green()) / 2,
                       (ink.blue() + paper.blue()) / 2);
    QFont face = m_edit->font();
    face.setBold(false);
    face.setItalic(false);
    painter.setFont(face);
    const int rowHeight = QFontMetrics(face).height();

    const LineEnds *ends = LineEnds::of(m_edit->document());
    const bool joins = ends->kinds().count(LineEnd::Join) > 0;
    QTextBlock block = m_edit->firstVisibleBlock();
    const QPointF offset = m_edit->contentOffset();
    for (; block.isValid(); block = block.next()) {
        const QRectF geometry = m_edit->blockBoundingGeometry(block).translated(offset);
        if (geometry.top() > e->rect().bottom())
            break;
        if (!block.isVisible() || geometry.bottom() < e->rect().top())
            continue;
        // A paragraph after a join goes on with its line: it has no number of its own.
        if (joins && ends->isJoined(block.blockNumber()))
            continue;
        const int number = joins ? int(ends->lineOf(block.blockNumber())) : block.blockNumber();
        const QTextLayout *layout = block.layout();
        const int lineHeight = layout && layout->lineCount() > 0
                                   ? qRound(layout->lineAt(0).height())
                                   : rowHeight;
        painter.setPen(number == m_caretLine ? ink : faint);
        painter.drawText(QRect(0, qRound(geometry.top() + (layout ? layout->position().y() : 0)),
                               width() - padding, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(number + 1));
    }
}

} // namespace zimo
