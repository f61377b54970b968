#include "platform/qt/textarea.h"

#include "platform/qt/qttextbox.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>

namespace zimo {

TextArea::TextArea(QWidget *parent) : QPlainTextEdit(parent)
{
    // Drops must reach dropEvent(), which decides what to take.
    setAcceptDrops(true);
    keepSelectionVisible();
}

void TextArea::setMenuShortcuts(const QList<QKeySequence> &keys)
{
    m_menuKeys = keys;
}

void TextArea::setFileDropEnabled(bool enabled)
{
    m_fileDropEnabled = enabled;
}

// ---------------------------------------------------------------------------------------------
// Keys

bool TextArea::isMenuShortcut(const QKeyEvent *e) const
{
    // The keypad flag is no part of a menu's key (Ctrl with a keypad key is not a menu key here,
    // but the flag must not hide one that is).
    const QKeyCombination pressed(e->modifiers() & ~Qt::KeypadModifier, Qt::Key(e->key()));
    return std::any_of(m_menuKeys.cbegin(), m_menuKeys.cend(), [&](const QKeySequence &key) {
        return key.count() == 1 && key[0] == pressed;
    });
}

bool TextArea::event(QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride && isMenuShortcut(static_cast<QKeyEvent *>(e))) {
        // Not accepting the override lets the shortcut map give the key to the menu's action.
        e->ignore();
        return true;
    }
    return QPlainTextEdit::event(e);
}

void TextArea::keyPressEvent(QKeyEvent *e)
{
    if (isMenuShortcut(e)) {
        // The key reaches us only when its menu item is disabled: it then does nothing at all
        // (the text area's own Ctrl+U, Ctrl+D, Ctrl+K, Ctrl+C... must not run instead).
        e->accept();
        return;
    }
    const bool returnKey = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (returnKey && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
        // Shift+Return would put a line separator (U+2028) inside the paragraph; the document
        // knows only one line break, so it does what Return does.
        QKeyEvent plain(e->type(), e->key(), e->modifiers() & ~Qt::ShiftModifier,
                        e->nativeScanCode(), e->nativeVirtualKey(), e->nativeModifiers(), e->text(),
                        e->isAutoRepeat(), e->count());
        QPlainTextEdit::keyPressEvent(&plain);
        e->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Drops: files only, reported and never inserted

QStringList TextArea::localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    // A "# comment" line of a uri-list or a web address comes as a non-local URL: not a file.
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return paths;
}

bool TextArea::acceptsDrag(const QMimeData *mime) const
{
    return m_fileDropEnabled && !localFiles(mime).isEmpty();
}

void TextArea::dragEnterEvent(QDragEnterEvent *e)
{
    // The base class would take text (our own drag-and-drop included) and move the caret after
    // the pointer; nothing of that may happen, so it is never called.
    if (acceptsDrag(e->mimeData()))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TextArea::dragMoveEvent(QDragMoveEvent *e)
{
    if (acceptsDrag(e->mimeData()))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TextArea::dropEvent(QDropEvent *e)
{
    const QStringList paths = m_fileDropEnabled ? localFiles(e->mimeData()) : QStringList();
    if (paths.isEmpty()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    emit filesDropped(paths);
}

QMimeData *TextArea::createMimeDataFromSelection() const
{
    // Copying and dragging out give plain text with the characters as the document holds them
    // (the base class would also offer HTML and turn U+00A0 into a space): a paragraph break is
    // a line end, the stand-ins their CR and LF.
    QString text = textCursor().selectedText();
    for (QChar &c : text) {
        if (c == QChar::ParagraphSeparator)
            c = u'\n';
        else if (c == PlainTextBox::loneCR)
            c = u'\r';
        else if (c == PlainTextBox::loneLF)
            c = u'\n';
    }
    auto *mime = new QMimeData;
    mime->setText(text);
    return mime;
}

// ---------------------------------------------------------------------------------------------
// Look

void TextArea::keepSelectionVisible()
{
    // While the search dialog has the focus, its matches must still be seen: the selection keeps
    // the colours it has while the text area has the focus.
    QPalette pal = palette();
    bool changed = false;
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        const QBrush active = pal.brush(QPalette::Active, role);
        if (pal.brush(QPalette::Inactive, role) != active) {
            pal.setBrush(QPalette::Inactive, role, active);
            changed = true;
        }
    }
    if (changed)
        setPalette(pal);
}

void TextArea::changeEvent(QEvent *e)
{
    QPlainTextEdit::changeEvent(e);
    // A new application palette or style brings its own inactive colours.
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange)
        keepSelectionVisible();
}

void TextArea::paintEvent(QPaintEvent *e)
{
    QPlainTextEdit::paintEvent(e);
    paintLineEndMarks(e->rect());
}

// A lone CR or LF is held as a stand-in character that no font has; the text layout gives it
// the room of a replacement glyph. That room is painted over with a small two-letter mark
// (C over R, L over F, as the control pictures look), in the colours of the selection when it
// is selected.
void TextArea::paintLineEndMarks(const QRect &area)
{
    QPainter painter(viewport());
    const QPalette pal = palette();
    const QBrush background = viewport()->palette().brush(viewport()->backgroundRole());
    // Half way between the text and the paper: seen, but not taken for text.
    const QColor text = pal.color(QPalette::Text);
    const QColor paper = background.color();
    const QColor markColor((text.red() + paper.red()) / 2, (text.green() + paper.green()) / 2,
                           (text.blue() + paper.blue()) / 2);
    const QTextCursor cursor = textCursor();
    const int selStart = cursor.selectionStart();
    const int selEnd = cursor.selectionEnd();
    const QPointF offset = contentOffset();

    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF geometry = blockBoundingGeometry(block).translated(offset);
        if (geometry.top() > area.bottom())
            break;
        if (!block.isVisible() || geometry.bottom() < area.top())
            continue;
        const QString text = block.text();
        const QTextLayout *layout = block.layout();
        if (!layout || layout->lineCount() == 0)
            continue;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c != PlainTextBox::loneCR && c != PlainTextBox::loneLF)
                continue;
            const QTextLine line = layout->lineForTextPosition(int(i));
            if (!line.isValid())
                continue;
            const qreal x0 = line.cursorToX(int(i));
            const qreal x1 = line.cursorToX(int(i) + 1);
            const QPointF origin = geometry.topLeft() + layout->position();
            const QRectF cell(origin.x() + std::min(x0, x1), origin.y() + line.y(),
                              std::abs(x1 - x0), line.height());
            if (!cell.intersects(area) || cell.width() < 3)
                continue;
            const int pos = block.position() + int(i);
            const bool selected = pos >= selStart && pos < selEnd;
            // A caret in front of the stand-in is drawn inside its room: leave it standing.
            const qreal caretRoom = cursor.position() == pos ? cursorWidth() : 0;
            painter.fillRect(cell.adjusted(caretRoom, 0, 0, 0),
                             selected ? pal.brush(QPalette::Highlight) : background);
            QFont small = font();
            small.setBold(false);
            small.setItalic(false);
            small.setPixelSize(std::max(6, int(cell.height() * 0.5)));
            painter.setFont(small);
            painter.setPen(selected ? pal.color(QPalette::HighlightedText) : markColor);
            const QString letters =
                c == PlainTextBox::loneCR ? QStringLiteral("CR") : QStringLiteral("LF");
            const QSizeF half(cell.width() * 0.6, cell.height() * 0.55);
            painter.drawText(QRectF(cell.topLeft(), half), Qt::AlignCenter, letters.left(1));
            painter.drawText(
                QRectF(cell.bottomRight() - QPointF(half.width(), half.height()), half),
                Qt::AlignCenter, letters.right(1));
        }
    }
}

} // namespace zimo
