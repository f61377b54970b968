#include "platform/qt/qttextbox.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace zimo {

// Placeholder bodies until the adapter lands.
PlainTextBox::PlainTextBox(QPlainTextEdit *edit) : m_edit(edit) {}
QString PlainTextBox::text() const { return m_edit->toPlainText(); }
void PlainTextBox::setText(const QString &text) { m_edit->setPlainText(text); }
qsizetype PlainTextBox::selStart() const { return 0; }
void PlainTextBox::setSelStart(qsizetype) {}
qsizetype PlainTextBox::selLength() const { return 0; }
void PlainTextBox::setSelLength(qsizetype) {}
QString PlainTextBox::selText() const { return {}; }
void PlainTextBox::setSelText(const QString &text) { m_edit->insertPlainText(text); }
void PlainTextBox::setFocus() { m_edit->setFocus(); }
QString PlainTextBox::fontName() const { return m_edit->font().family(); }
void PlainTextBox::setFontName(const QString &) {}
double PlainTextBox::fontSize() const { return m_edit->font().pointSizeF(); }
void PlainTextBox::setFontSize(double) {}
bool PlainTextBox::fontBold() const { return false; }
void PlainTextBox::setFontBold(bool) {}
bool PlainTextBox::fontItalic() const { return false; }
void PlainTextBox::setFontItalic(bool) {}
QString PlainTextBox::toWidgetText(const QString &model) { return model; }
QString PlainTextBox::toModelText(QString widgetText) { return widgetText; }

LineTextBox::LineTextBox(QLineEdit *edit) : m_edit(edit) {}
QString LineTextBox::text() const { return m_edit->text(); }
void LineTextBox::setText(const QString &text) { m_edit->setText(text); }
qsizetype LineTextBox::selStart() const { return 0; }
void LineTextBox::setSelStart(qsizetype) {}
qsizetype LineTextBox::selLength() const { return 0; }
void LineTextBox::setSelLength(qsizetype) {}
QString LineTextBox::selText() const { return {}; }
void LineTextBox::setSelText(const QString &) {}
void LineTextBox::setFocus() { m_edit->setFocus(); }
QString LineTextBox::fontName() const { return {}; }
void LineTextBox::setFontName(const QString &) {}
double LineTextBox::fontSize() const { return 0; }
void LineTextBox::setFontSize(double) {}
bool LineTextBox::fontBold() const { return false; }
void LineTextBox::setFontBold(bool) {}
bool LineTextBox::fontItalic() const { return false; }
void LineTextBox::setFontItalic(bool) {}

} // namespace zimo
