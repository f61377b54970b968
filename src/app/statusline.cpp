#include "app/statusline.h"

#include "platform/qt/lineends.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>

namespace zimo {

StatusLine::StatusLine(QStatusBar *bar, QPlainTextEdit *edit)
    : QObject(bar), m_edit(edit), m_position(new QLabel(bar)), m_lineEnds(new QLabel(bar))
{
    m_position->setObjectName(QStringLiteral("statusPosition"));
    m_lineEnds->setObjectName(QStringLiteral("statusLineEnds"));
    // Room for large line numbers without the bar's items jumping while the caret moves.
    m_position->setMinimumWidth(m_position->fontMetrics().horizontalAdvance(
        QStringLiteral("行 0000000、列 00000")));
    // Filled before they join the bar, which takes its height from them then.
    updatePosition();
    updateLineEnds();
    m_position->setToolTip(QStringLiteral("クリックすると指定行へ移動できます"));
    m_position->installEventFilter(this);
    bar->addWidget(m_position);
    bar->addWidget(m_lineEnds);
    connect(edit, &QPlainTextEdit::cursorPositionChanged, this, &StatusLine::updatePosition);
    m_lineEndsChanged = connect(LineEnds::of(edit->document()), &LineEnds::countsChanged, this,
                                &StatusLine::updateLineEnds);
}

void StatusLine::followDocument()
{
    disconnect(m_lineEndsChanged);
    m_lineEndsChanged = connect(LineEnds::of(m_edit->document()), &LineEnds::countsChanged, this,
                                &StatusLine::updateLineEnds);
    updateLineEnds();
    updatePosition();
}

QString StatusLine::positionText() const
{
    // A long line may be held as several paragraphs joined by joins, which hold no character
    // and end no line: the line is the paragraph's less the joins before it, and the column
    // counts from the line's first paragraph.
    const QTextCursor cursor = m_edit->textCursor();
    const LineEnds *ends = LineEnds::of(m_edit->document());
    const int block = cursor.blockNumber();
    qsizetype line = block;
    qsizetype column = cursor.positionInBlock();
    if (ends->kinds().count(LineEnd::Join) > 0) {
        line = ends->lineOf(block);
        const int first = ends->firstBlockOfLine(line);
        // Every break between the line's first paragraph and the caret's is a join.
        column = cursor.position() - m_edit->document()->findBlockByNumber(first).position() -
                 (block - first);
    }
    return QStringLiteral("行 %1、列 %2").arg(line + 1).arg(column + 1);
}

QString StatusLine::lineEndText(const LineEndKinds &kinds)
{
    const qsizetype crlf = kinds.count(LineEnd::CrLf);
    const qsizetype lf = kinds.count(LineEnd::Lf);
    const qsizetype cr = kinds.count(LineEnd::Cr);
    if (int(crlf > 0) + int(lf > 0) + int(cr > 0) > 1)
        return QStringLiteral("改行: 混在");
    if (lf > 0)
        return QStringLiteral("改行: LF");
    if (cr > 0)
        return QStringLiteral("改行: CR");
    if (crlf > 0)
        return QStringLiteral("改行: CR LF");
    return QStringLiteral("改行: なし");
}

QString StatusLine::lineEndText() const
{
    return lineEndText(LineEnds::of(m_edit->document())->kinds());
}

bool StatusLine::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_position && e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton &&
        m_position->rect().contains(static_cast<QMouseEvent *>(e)->position().toPoint())) {
        emit positionClicked();
        return true;
    }
    return QObject::eventFilter(watched, e);
}

void StatusLine::updatePosition()
{
    const QString text = positionText();
    if (m_position->text() != text)
        m_position->setText(text);
}

void StatusLine::updateLineEnds()
{
    const QString text = lineEndText();
    if (m_lineEnds->text() != text)
        m_lineEnds->setText(text);
}

} // namespace zimo
