#include "platform/qt/textarea.h"

#include "platform/filenames.h"
#include "platform/qt/lineends.h"
#include "platform/qt/linenumberarea.h"
#include "platform/qt/qttextbox.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <optional>

namespace zimo {

TextArea::TextArea(QWidget *parent) : QPlainTextEdit(parent)
{
    // Drops must reach dropEvent(), which decides what to take.
    setAcceptDrops(true);
    keepSelectionVisible();
    // The line ends' kinds are followed from the first change on.
    LineEnds::of(document());
}

const QString TextArea::modelTextMimeType = QStringLiteral("application/x-zimo-text");

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
    const Qt::KeyboardModifiers modifiers = e->modifiers() & ~Qt::KeypadModifier;
    if (returnKey && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) &&
        !isReadOnly()) {
        // A line break is CR LF. The base class would give the new break the character format
        // at the caret, which may be that of a lone LF or CR; Shift+Return would put a line
        // separator (U+2028) inside the paragraph. Both insert a CR LF break instead.
        QTextCursor cursor = textCursor();
        cursor.insertBlock(cursor.blockFormat(), LineEnds::format(LineEnd::CrLf));
        setTextCursor(cursor);
        ensureCursorVisible();
        e->accept();
        return;
    }
    stepOverJoins(e);
    QPlainTextEdit::keyPressEvent(e);
    fitCaretParagraph();
}

void TextArea::inputMethodEvent(QInputMethodEvent *e)
{
    QPlainTextEdit::inputMethodEvent(e);
    fitCaretParagraph();
}

// A join (a long line cut into paragraphs) holds no character: the caret at its two sides is at
// one place of the text. A key that deletes or moves by one character (or word) over it would
// remove or pass only the join, with no effect on the text; the caret is first taken to the
// other side of the joins, so that the key deletes or passes the real character beyond them.
void TextArea::stepOverJoins(const QKeyEvent *e)
{
    const Qt::KeyboardModifiers modifiers = e->modifiers() & ~Qt::KeypadModifier;
    const bool backspace = e->key() == Qt::Key_Backspace && (modifiers & ~Qt::ShiftModifier) == 0;
    const bool backward = backspace || e->matches(QKeySequence::DeleteStartOfWord) ||
                          e->matches(QKeySequence::MoveToPreviousChar) ||
                          e->matches(QKeySequence::MoveToPreviousWord) ||
                          e->matches(QKeySequence::SelectPreviousChar) ||
                          e->matches(QKeySequence::SelectPreviousWord);
    const bool forward = !backward && (e->matches(QKeySequence::Delete) ||
                                       e->matches(QKeySequence::DeleteEndOfWord) ||
                                       e->matches(QKeySequence::MoveToNextChar) ||
                                       e->matches(QKeySequence::MoveToNextWord) ||
                                       e->matches(QKeySequence::SelectNextChar) ||
                                       e->matches(QKeySequence::SelectNextWord));
    if (!backward && !forward)
        return;
    const bool selecting = e->matches(QKeySequence::SelectPreviousChar) ||
                           e->matches(QKeySequence::SelectPreviousWord) ||
                           e->matches(QKeySequence::SelectNextChar) ||
                           e->matches(QKeySequence::SelectNextWord);
    QTextCursor cursor = textCursor();
    // With a selection, deleting takes the selection and moving collapses it: no join matters.
    if (cursor.hasSelection() && !selecting)
        return;
    const LineEnds *ends = LineEnds::of(document());
    if (ends->kinds().count(LineEnd::Join) == 0)
        return;
    const QTextCursor::MoveMode mode = selecting ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    bool moved = false;
    if (backward) {
        while (cursor.atBlockStart() && ends->isJoined(cursor.blockNumber())) {
            cursor.setPosition(cursor.position() - 1, mode);
            moved = true;
        }
    } else {
        while (cursor.atBlockEnd() && ends->after(cursor.blockNumber()) == LineEnd::Join) {
            cursor.setPosition(cursor.position() + 1, mode);
            moved = true;
        }
    }
    if (moved)
        setTextCursor(cursor);
}

// Typing lets the caret's paragraph grow; past the limit it is cut by a join again, in the same
// step of the widget's undo as the typing.
void TextArea::fitCaretParagraph()
{
    if (textCursor().block().length() - 1 <= PlainTextBox::paragraphLimit || isReadOnly())
        return;
    QTextCursor cursor = textCursor();
    cursor.joinPreviousEditBlock();
    PlainTextBox::fitParagraph(cursor.block());
    cursor.endEditBlock();
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
            paths.append(localFileName(url)); // keeps the bytes of a name that is not UTF-8
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
    // (the base class would also offer HTML and turn U+00A0 into a space): a CR LF line end as
    // LF (the desktop's convention), a lone CR or LF as itself. Beside it, the model text as it
    // is, which a paste into the text area takes back unchanged.
    return mimeDataOfModelText(PlainTextBox::selectedModelText(textCursor()));
}

QMimeData *TextArea::mimeDataOfModelText(const QString &model)
{
    QString plain = model;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto *mime = new QMimeData;
    mime->setText(plain);
    mime->setData(modelTextMimeType,
                  QByteArray(reinterpret_cast<const char *>(model.utf16()), model.size() * 2));
    return mime;
}

QString TextArea::pastedModelText(const QMimeData *mime)
{
    if (!mime)
        return QString();
    if (mime->hasFormat(modelTextMimeType)) {
        const QByteArray bytes = mime->data(modelTextMimeType);
        if (bytes.size() % 2 == 0)
            return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
    }
    if (!mime->hasText())
        return QString();
    // Another program's text: every CR, LF and CR LF is a line break, CR LF in the document, and
    // so are the paragraph and line separators (U+2029, U+2028) that some programs put there.
    const QString text = mime->text();
    QString model;
    model.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            model += QStringLiteral("\r\n");
        } else {
            model += c;
        }
    }
    return model;
}

bool TextArea::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasFormat(modelTextMimeType) || QPlainTextEdit::canInsertFromMimeData(source);
}

void TextArea::insertFromMimeData(const QMimeData *source)
{
    const QString model = pastedModelText(source);
    if (model.isEmpty())
        return;
    QTextCursor cursor = textCursor();
    PlainTextBox::insertModelText(cursor, model);
    setTextCursor(cursor);
    ensureCursorVisible();
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

void TextArea::setLineNumbersVisible(bool visible)
{
    if (visible == lineNumbersVisible())
        return;
    // Off, the gutter does not exist: no cost at all while typing.
    delete m_lineNumbers;
    m_lineNumbers = visible ? new LineNumberArea(this) : nullptr;
    if (!visible)
        setViewportMargins(0, 0, 0, 0);
}

void TextArea::resizeEvent(QResizeEvent *e)
{
    QPlainTextEdit::resizeEvent(e);
    if (m_lineNumbers)
        m_lineNumbers->place();
}

void TextArea::paintEvent(QPaintEvent *e)
{
    QPlainTextEdit::paintEvent(e);
    forgetOutdatedMarks();
    paintLineEndMarks(e->rect());
    paintStandInMarks(e->rect());
}

void TextArea::forgetOutdatedMarks()
{
    const QPalette pal = palette();
    const QBrush background = viewport()->palette().brush(viewport()->backgroundRole());
    const qreal ratio = viewport()->devicePixelRatioF();
    const QString key = QStringLiteral("%1 %2 %3 %4 %5 %6")
                            .arg(ratio)
                            .arg(font().toString())
                            .arg(pal.color(QPalette::Text).rgba())
                            .arg(background.color().rgba())
                            .arg(pal.color(QPalette::Highlight).rgba())
                            .arg(pal.color(QPalette::HighlightedText).rgba());
    if (key != m_marksKey) {
        m_marksKey = key;
        m_marks.clear();
    }
}

const QPixmap &TextArea::mark(const QString &top, const QString &bottom, bool selected, QSize cell)
{
    const QString name = QStringLiteral("%1 %2 %3 %4 %5")
                             .arg(top, bottom)
                             .arg(int(selected))
                             .arg(cell.width())
                             .arg(cell.height());
    auto found = m_marks.find(name);
    if (found != m_marks.end())
        return *found;

    const QPalette pal = palette();
    const QBrush background = viewport()->palette().brush(viewport()->backgroundRole());
    const qreal ratio = viewport()->devicePixelRatioF();
    // Half way between the text and the paper: seen, but not taken for text.
    const QColor text = pal.color(QPalette::Text);
    const QColor paper = background.color();
    const QColor markColor((text.red() + paper.red()) / 2, (text.green() + paper.green()) / 2,
                           (text.blue() + paper.blue()) / 2);
    QFont small = font();
    small.setBold(false);
    small.setItalic(false);
    small.setPixelSize(std::max(6, int(cell.height() * 0.5)));
    QPixmap pixmap(cell * ratio);
    pixmap.setDevicePixelRatio(ratio);
    // Opaque: copied without blending, and only where no text stands.
    pixmap.fill(selected ? pal.color(QPalette::Highlight) : paper);
    QPainter painter(&pixmap);
    painter.setFont(small);
    painter.setPen(selected ? pal.color(QPalette::HighlightedText) : markColor);
    const QSizeF half(cell.width() * 0.75, cell.height() * 0.55);
    painter.drawText(QRectF(QPointF(0, 0), half), Qt::AlignCenter, top);
    painter.drawText(QRectF(QPointF(cell.width() - half.width(), cell.height() - half.height()), half),
                     Qt::AlignCenter, bottom);
    painter.end();
    return *m_marks.insert(name, pixmap);
}

// A lone LF or CR line end is shown by a small two-letter mark after the end of its line (L over
// F, C over R, as the control pictures look; the installed fonts have no glyphs for U+240A and
// U+240D), in the colours of the selection when the line end is selected. A CR LF line end has
// none. Only the paragraphs in the painted area are looked at.
void TextArea::paintLineEndMarks(const QRect &area)
{
    const LineEndKinds &kinds = LineEnds::of(document())->kinds();
    if (kinds.count(LineEnd::Lf) == 0 && kinds.count(LineEnd::Cr) == 0)
        return;
    QPainter painter(viewport());
    const QTextCursor cursor = textCursor();
    const int selStart = cursor.selectionStart();
    const int selEnd = cursor.selectionEnd();
    const QPointF offset = contentOffset();
    const int cellWidth = std::max(6, qRound(QFontMetricsF(font()).horizontalAdvance(u'0')));

    QTextBlock block = firstVisibleBlock();
    for (qsizetype number = block.blockNumber(); block.isValid() && number < kinds.size();
         block = block.next(), ++number) {
        const QRectF geometry = blockBoundingGeometry(block).translated(offset);
        if (geometry.top() > area.bottom())
            break;
        if (!block.isVisible() || geometry.bottom() < area.top())
            continue;
        const LineEnd kind = kinds.at(number);
        // CR LF has no mark, and a join is no line end.
        if (kind == LineEnd::CrLf || kind == LineEnd::Join)
            continue;
        const QTextLayout *layout = block.layout();
        if (!layout || layout->lineCount() == 0)
            continue;
        const QTextLine line = layout->lineAt(layout->lineCount() - 1);
        const int end = block.length() - 1;
        const QPointF origin = geometry.topLeft() + layout->position();
        // The end of the line's text, spaces included (left to right, as the pages are).
        const QRect cell(qRound(origin.x() + line.x() + line.horizontalAdvance()) + cursorWidth() + 1,
                         qRound(origin.y() + line.y()), cellWidth, qRound(line.height()));
        if (!cell.intersects(area))
            continue;
        const int pos = block.position() + end;
        const bool selected = pos >= selStart && pos < selEnd;
        const bool cr = kind == LineEnd::Cr;
        painter.drawPixmap(cell.topLeft(), mark(QString(QLatin1Char(cr ? 'C' : 'L')),
                                                QString(QLatin1Char(cr ? 'R' : 'F')), selected,
                                                cell.size()));
    }
}

// A character the text area holds as a stand-in (PlainTextBox::standIns) is drawn as a box with
// its code in two rows (20 over 29 for U+2029), as characters without a glyph are shown, in the
// place of the glyph the stand-in would show. Only the paragraphs in the painted area are looked
// at.
void TextArea::paintStandInMarks(const QRect &area)
{
    std::optional<QPainter> painter;
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
        const QPointF origin = geometry.topLeft() + layout->position();
        // The layout also holds the text an input method is composing, in front of this spot.
        const int preeditLength = int(layout->preeditAreaText().size());
        const int preeditAt = preeditLength > 0 ? layout->preeditAreaPosition() : -1;
        for (int i = 0; i < text.size(); ++i) {
            const char16_t c = PlainTextBox::modelCharacter(text.at(i).unicode());
            if (c == text.at(i).unicode())
                continue;
            const int at = preeditAt >= 0 && i >= preeditAt ? i + preeditLength : i;
            const QTextLine line = layout->lineForTextPosition(at);
            if (!line.isValid())
                continue;
            const qreal left = line.cursorToX(at);
            const qreal right = line.cursorToX(at + 1);
            const QRect cell(qRound(origin.x() + std::min(left, right)), qRound(origin.y() + line.y()),
                             std::max(1, qRound(std::abs(right - left))), qRound(line.height()));
            if (!cell.intersects(area))
                continue;
            if (!painter)
                painter.emplace(viewport());
            const int pos = block.position() + i;
            const QString code = QStringLiteral("%1").arg(int(c), 4, 16, QLatin1Char('0')).toUpper();
            painter->drawPixmap(cell.topLeft(), mark(code.left(2), code.right(2),
                                                     pos >= selStart && pos < selEnd, cell.size()));
        }
    }
}

} // namespace zimo
