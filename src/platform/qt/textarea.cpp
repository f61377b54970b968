#include "platform/qt/textarea.h"

#include <QKeyEvent>

namespace zimo {

// Placeholder until the text area lands.
TextArea::TextArea(QWidget *parent) : QPlainTextEdit(parent) {}
void TextArea::setMenuShortcuts(const QList<QKeySequence> &keys) { m_menuKeys = keys; }
void TextArea::setFileDropEnabled(bool enabled) { m_fileDropEnabled = enabled; }
bool TextArea::event(QEvent *e) { return QPlainTextEdit::event(e); }
void TextArea::keyPressEvent(QKeyEvent *e) { QPlainTextEdit::keyPressEvent(e); }
void TextArea::dragEnterEvent(QDragEnterEvent *e) { QPlainTextEdit::dragEnterEvent(e); }
void TextArea::dragMoveEvent(QDragMoveEvent *e) { QPlainTextEdit::dragMoveEvent(e); }
void TextArea::dropEvent(QDropEvent *e) { QPlainTextEdit::dropEvent(e); }
void TextArea::paintEvent(QPaintEvent *e) { QPlainTextEdit::paintEvent(e); }
bool TextArea::isMenuShortcut(const QKeyEvent *) const { return false; }

} // namespace zimo
