#include "search/searchfield.h"

#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTextLayout>

namespace zimo {

SearchField::SearchField(QWidget *parent) : QLineEdit(parent) {}

void SearchField::insertPasted(const QMimeData *mime)
{
    if (!mime)
        return;
    // insert() replaces the selection as one step of the field's undo. A copy from the text area
    // brings its exact text, lone CR and LF included; other programs' text has line breaks.
    if (mime->hasFormat(TextArea::modelTextMimeType))
        insert(LineTextBox::toFieldText(TextArea::pastedModelText(mime)));
    else if (mime->hasText())
        insert(LineTextBox::pastedToFieldText(mime->text()));
}

void SearchField::pasteFrom(int clipboardMode)
{
    if (isReadOnly())
        return;
    insertPasted(QApplication::clipboard()->mimeData(QClipboard::Mode(clipboardMode)));
}

void SearchField::copySelection(bool cut)
{
    if (!hasSelectedText() || echoMode() != Normal)
        return;
    QApplication::clipboard()->setMimeData(
        TextArea::mimeDataOfModelText(LineTextBox::toModelText(selectedText())));
    if (cut && !isReadOnly())
        del();
}

void SearchField::keyPressEvent(QKeyEvent *e)
{
    if (e == QKeySequence::Paste) {
        pasteFrom(QClipboard::Clipboard);
        e->accept();
    } else if (e == QKeySequence::Copy) {
        copySelection(false);
        e->accept();
    } else if (e == QKeySequence::Cut) {
        copySelection(true);
        e->accept();
    } else {
        QLineEdit::keyPressEvent(e);
    }
}

void SearchField::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The standard actions call QLineEdit's own slots, which know nothing of the stand-ins.
    const auto reroute = [&](const char *name, auto handler) {
        if (QAction *action = menu->findChild<QAction *>(QString::fromLatin1(name))) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, handler);
        }
    };
    reroute("edit-paste", [this] { pasteFrom(QClipboard::Clipboard); });
    reroute("edit-copy", [this] { copySelection(false); });
    reroute("edit-cut", [this] { copySelection(true); });
    menu->popup(e->globalPos());
}

void SearchField::mouseReleaseEvent(QMouseEvent *e)
{
    // The middle button pastes the primary selection on X11.
    if (e->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
        setCursorPosition(cursorPositionAt(e->position().toPoint()));
        pasteFrom(QClipboard::Selection);
        e->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(e);
}

void SearchField::dropEvent(QDropEvent *e)
{
    if (!e->mimeData()->hasText() || isReadOnly()) {
        QLineEdit::dropEvent(e);
        return;
    }
    QMimeData converted;
    converted.setText(LineTextBox::pastedToFieldText(e->mimeData()->text()));
    QDropEvent copy(e->position(), e->possibleActions(), &converted, e->buttons(), e->modifiers(),
                    e->type());
    QLineEdit::dropEvent(&copy);
    e->setDropAction(copy.dropAction());
    e->setAccepted(copy.isAccepted());
}

void SearchField::paintEvent(QPaintEvent *e)
{
    QLineEdit::paintEvent(e);
    paintLineBreakMarks();
}

// The field draws a stand-in as the room of a missing glyph. That room is painted over with a mark.
// QLineEdit does not tell where a character stands; its cursor rectangle does, for the cursor: a
// layout of the same text in the same font gives every other character's place relative to it.
void SearchField::paintLineBreakMarks()
{
    const QString shown = text();
    if (echoMode() != Normal ||
        (!shown.contains(LineTextBox::lineBreak) && !shown.contains(LineTextBox::loneCR) &&
         !shown.contains(LineTextBox::loneLF)))
        return;

    QTextLayout layout(shown, font());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return;
    // QLineEdit's cursor rectangle starts 5 pixels left of the cursor's x and spans the line.
    const QRect caret = cursorRect();
    const qreal shift = caret.x() + 5 - line.cursorToX(cursorPosition());
    const QRect inside = contentsRect();

    QPainter painter(this);
    painter.setClipRect(inside);
    const QPalette pal = palette();
    const QColor ink = pal.color(QPalette::Text);
    const QColor paper = pal.color(QPalette::Base);
    const QColor markColor((ink.red() + paper.red()) / 2, (ink.green() + paper.green()) / 2,
                           (ink.blue() + paper.blue()) / 2);
    const int selFrom = hasSelectedText() ? selectionStart() : -1;
    const int selTo = hasSelectedText() ? selectionStart() + selectionLength() : -1;

    for (int i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        if (c != LineTextBox::lineBreak && c != LineTextBox::loneCR && c != LineTextBox::loneLF)
            continue;
        const qreal x0 = line.cursorToX(i) + shift;
        const qreal x1 = line.cursorToX(i + 1) + shift;
        const QRectF cell(std::min(x0, x1), caret.y(), std::abs(x1 - x0), caret.height() - 1);
        if (cell.right() < inside.left() || cell.left() > inside.right() || cell.width() < 3)
            continue;
        const bool selected = i >= selFrom && i < selTo;
        // A caret in front of the stand-in stands inside its room: leave it visible.
        const qreal caretRoom = hasFocus() && cursorPosition() == i ? 1 : 0;
        painter.fillRect(cell.adjusted(caretRoom, 0, 0, 0),
                         selected ? pal.brush(QPalette::Highlight) : pal.brush(QPalette::Base));
        painter.setPen(selected ? pal.color(QPalette::HighlightedText) : markColor);
        if (c == LineTextBox::lineBreak) {
            painter.setFont(font());
            painter.drawText(cell, Qt::AlignCenter, QStringLiteral("↵"));
            continue;
        }
        QFont small = font();
        small.setPixelSize(std::max(6, int(cell.height() * 0.5)));
        painter.setFont(small);
        const QString letters = c == LineTextBox::loneCR ? QStringLiteral("CR") : QStringLiteral("LF");
        const QSizeF half(cell.width() * 0.6, cell.height() * 0.55);
        painter.drawText(QRectF(cell.topLeft(), half), Qt::AlignCenter, letters.left(1));
        painter.drawText(QRectF(cell.bottomRight() - QPointF(half.width(), half.height()), half),
                         Qt::AlignCenter, letters.right(1));
    }
}

} // namespace zimo
