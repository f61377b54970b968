#include "platform/qt/qttextbox.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zimo {

namespace {

constexpr char16_t CR = u'\r';
constexpr char16_t LF = u'\n';
constexpr char16_t paragraphBreak = 0x2029; // QChar::ParagraphSeparator
constexpr char16_t standInCR = 0xDC0D;
constexpr char16_t standInLF = 0xDC0A;

// The largest display size accepted; larger requests are cut to it.
constexpr double maxPointSize = 1000.0;

// The font of the whole widget, changed one attribute at a time.
template <typename Change> void changeFont(QWidget *widget, Change change)
{
    QFont font = widget->font();
    change(font);
    widget->setFont(font);
}

void applyPointSize(QWidget *widget, double points)
{
    // A size that is not a positive number leaves the font as it is (QFont would only warn).
    if (!std::isfinite(points) || points <= 0)
        return;
    changeFont(widget, [&](QFont &f) { f.setPointSizeF(std::min(points, maxPointSize)); });
}

// The size the font engine actually uses: the request rounded to whole pixels on this screen
// (11 points at 96 dpi are 15 pixels, read back as 11.25).
double appliedPointSize(const QWidget *widget)
{
    return QFontInfo(widget->font()).pointSizeF();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// PlainTextBox

PlainTextBox::PlainTextBox(QPlainTextEdit *edit) : m_edit(edit) {}

QString PlainTextBox::toWidgetText(const QString &model)
{
    // The widget form is never longer than the model text: CR LF shrinks to one character.
    QString out(model.size(), Qt::Uninitialized);
    const char16_t *in = reinterpret_cast<const char16_t *>(model.constData());
    const char16_t *const end = in + model.size();
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    char16_t *const begin = o;
    while (in != end) {
        const char16_t c = *in++;
        if (c == CR) {
            if (in != end && *in == LF) {
                ++in;
                *o++ = LF;
            } else {
                *o++ = standInCR;
            }
        } else if (c == LF) {
            *o++ = standInLF;
        } else {
            *o++ = c;
        }
    }
    out.truncate(o - begin);
    return out;
}

namespace {

// Widget text -> model text when the number of paragraph breaks in it is known (or at least
// expected): one pass. Returns a null string when the text holds more breaks than that.
QString expandBreaks(const QString &widgetText, qsizetype breaks)
{
    const char16_t *in = reinterpret_cast<const char16_t *>(widgetText.constData());
    const char16_t *const end = in + widgetText.size();
    QString out(widgetText.size() + breaks, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    char16_t *const begin = o;
    while (in != end) {
        const char16_t c = *in++;
        if (c == paragraphBreak || c == LF) {
            if (breaks-- == 0)
                return QString();
            *o++ = CR;
            *o++ = LF;
        } else if (c == standInCR) {
            *o++ = CR;
        } else if (c == standInLF) {
            *o++ = LF;
        } else {
            *o++ = c;
        }
    }
    out.truncate(o - begin);
    return out;
}

} // namespace

QString PlainTextBox::toModelText(QString widgetText)
{
    const char16_t *const in = reinterpret_cast<const char16_t *>(widgetText.constData());
    const qsizetype n = widgetText.size();
    qsizetype breaks = 0;
    bool standIns = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c == paragraphBreak || c == LF)
            ++breaks;
        else if (c == standInCR || c == standInLF)
            standIns = true;
    }
    if (breaks == 0 && !standIns)
        return widgetText;
    return expandBreaks(widgetText, breaks);
}

qsizetype PlainTextBox::modelLength() const
{
    const QTextDocument *doc = m_edit->document();
    // characterCount() includes the separator after the last paragraph.
    return qsizetype(doc->characterCount()) - 1 + (doc->blockCount() - 1);
}

qsizetype PlainTextBox::modelPosition(int widgetPosition) const
{
    const QTextDocument *doc = m_edit->document();
    widgetPosition = std::clamp(widgetPosition, 0, doc->characterCount() - 1);
    // Every paragraph break before the position is one character in the widget, two (CR LF) in
    // the model.
    return qsizetype(widgetPosition) + doc->findBlock(widgetPosition).blockNumber();
}

int PlainTextBox::widgetPosition(qsizetype modelPosition) const
{
    const QTextDocument *doc = m_edit->document();
    if (modelPosition <= 0)
        return 0;
    // Paragraph b starts at model position position(b) + b, which grows with b: find the last
    // paragraph starting at or before the model position.
    int lo = 0;
    int hi = doc->blockCount() - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (qsizetype(doc->findBlockByNumber(mid).position()) + mid <= modelPosition)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(lo);
    // Past the paragraph's text lies its CR LF (or the end of the text): the end of the
    // paragraph is the nearest widget position.
    const qsizetype paragraphEnd = qsizetype(block.position()) + block.length() - 1;
    return int(std::min(modelPosition - lo, paragraphEnd));
}

namespace {

// The model text of the widget's raw characters holding `breaks` paragraph breaks.
QString modelOfRaw(const QString &raw, qsizetype breaks)
{
    QString model = expandBreaks(raw, breaks);
    return model.isNull() ? PlainTextBox::toModelText(raw) : model;
}

} // namespace

QString PlainTextBox::text() const
{
    // toRawText() is the document's characters as they are, U+2029 between paragraphs;
    // toPlainText() would also turn U+00A0 into a space and U+2028 into '\n'.
    // The document knows how many paragraph breaks it holds: one pass over the characters.
    const QTextDocument *doc = m_edit->document();
    return modelOfRaw(doc->toRawText(), doc->blockCount() - 1);
}

std::function<QString()> PlainTextBox::textSnapshot() const
{
    const QTextDocument *doc = m_edit->document();
    return [raw = doc->toRawText(), breaks = qsizetype(doc->blockCount() - 1)] {
        return modelOfRaw(raw, breaks);
    };
}

void PlainTextBox::setText(const QString &text)
{
    // setPlainText() alone would make a paragraph break of every CR, LF and CR LF.
    m_edit->setPlainText(toWidgetText(text));
    QTextCursor cursor = m_edit->textCursor();
    cursor.setPosition(0);
    m_edit->setTextCursor(cursor);
}

qsizetype PlainTextBox::selStart() const
{
    return modelPosition(m_edit->textCursor().selectionStart());
}

void PlainTextBox::setSelStart(qsizetype start)
{
    QTextCursor cursor = m_edit->textCursor();
    cursor.setPosition(widgetPosition(start));
    m_edit->setTextCursor(cursor);
}

qsizetype PlainTextBox::selLength() const
{
    const QTextCursor cursor = m_edit->textCursor();
    return modelPosition(cursor.selectionEnd()) - modelPosition(cursor.selectionStart());
}

void PlainTextBox::setSelLength(qsizetype length)
{
    QTextCursor cursor = m_edit->textCursor();
    const int start = cursor.selectionStart();
    const qsizetype modelStart = modelPosition(start);
    length = std::clamp<qsizetype>(length, 0, modelLength() - modelStart);
    cursor.setPosition(start);
    cursor.setPosition(widgetPosition(modelStart + length), QTextCursor::KeepAnchor);
    m_edit->setTextCursor(cursor);
}

QString PlainTextBox::selText() const
{
    // selectedText() gives U+2029 at paragraph breaks and the stand-ins unchanged.
    return toModelText(m_edit->textCursor().selectedText());
}

void PlainTextBox::setSelText(const QString &text)
{
    QTextCursor cursor = m_edit->textCursor();
    // One edit for the widget's own undo; insertText() replaces the selection and leaves the
    // cursor after the inserted text with nothing selected.
    cursor.beginEditBlock();
    cursor.insertText(toWidgetText(text));
    cursor.endEditBlock();
    m_edit->setTextCursor(cursor);
}

void PlainTextBox::setFocus()
{
    m_edit->activateWindow();
    m_edit->setFocus(Qt::OtherFocusReason);
}

QString PlainTextBox::fontName() const
{
    return m_edit->font().family();
}

void PlainTextBox::setFontName(const QString &name)
{
    changeFont(m_edit, [&](QFont &f) { f.setFamily(name); });
}

double PlainTextBox::fontSize() const
{
    return appliedPointSize(m_edit);
}

void PlainTextBox::setFontSize(double points)
{
    applyPointSize(m_edit, points);
}

bool PlainTextBox::fontBold() const
{
    return m_edit->font().bold();
}

void PlainTextBox::setFontBold(bool bold)
{
    changeFont(m_edit, [&](QFont &f) { f.setBold(bold); });
}

bool PlainTextBox::fontItalic() const
{
    return m_edit->font().italic();
}

void PlainTextBox::setFontItalic(bool italic)
{
    changeFont(m_edit, [&](QFont &f) { f.setItalic(italic); });
}

// ---------------------------------------------------------------------------------------------
// LineTextBox

LineTextBox::LineTextBox(QLineEdit *edit) : m_edit(edit)
{
    // A text box has no maximum length; QLineEdit would cut a text at 32767 characters.
    m_edit->setMaxLength(std::numeric_limits<int>::max());
}

QString LineTextBox::toFieldText(QStringView model)
{
    QString out;
    out.reserve(model.size());
    for (qsizetype i = 0; i < model.size(); ++i) {
        const QChar c = model[i];
        if (c == u'\r' && i + 1 < model.size() && model[i + 1] == u'\n') {
            out += lineBreak;
            ++i;
        } else if (c == u'\r') {
            out += loneCR;
        } else if (c == u'\n') {
            out += loneLF;
        } else {
            out += c;
        }
    }
    return out;
}

QString LineTextBox::toModelText(QStringView field)
{
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        if (c == lineBreak)
            out += QLatin1String("\r\n");
        else if (c == loneCR)
            out += u'\r';
        else if (c == loneLF)
            out += u'\n';
        else
            out += c;
    }
    return out;
}

QString LineTextBox::pastedToFieldText(QStringView pasted)
{
    QString out;
    out.reserve(pasted.size());
    for (qsizetype i = 0; i < pasted.size(); ++i) {
        const QChar c = pasted[i];
        if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator ||
            c == QChar::LineSeparator) {
            if (c == u'\r' && i + 1 < pasted.size() && pasted[i + 1] == u'\n')
                ++i;
            out += lineBreak;
        } else {
            out += c;
        }
    }
    return out;
}

qsizetype LineTextBox::modelPosition(int fieldPosition) const
{
    const QString field = m_edit->text();
    fieldPosition = std::clamp(fieldPosition, 0, int(field.size()));
    // Each line break is one character in the field and two in the model.
    return fieldPosition + QStringView(field).first(fieldPosition).count(lineBreak);
}

int LineTextBox::fieldPosition(qsizetype modelPosition) const
{
    const QString field = m_edit->text();
    qsizetype model = 0;
    int i = 0;
    for (; i < field.size(); ++i) {
        const qsizetype width = field[i] == lineBreak ? 2 : 1;
        // A position inside a CR LF falls back to the line break's start.
        if (model + width > modelPosition)
            break;
        model += width;
    }
    return i;
}

QString LineTextBox::text() const
{
    return toModelText(m_edit->text());
}

void LineTextBox::setText(const QString &text)
{
    m_edit->setText(toFieldText(text));
    // QLineEdit leaves the cursor at the end of a new text.
    m_edit->setCursorPosition(0);
}

qsizetype LineTextBox::selStart() const
{
    return modelPosition(m_edit->hasSelectedText() ? m_edit->selectionStart()
                                                   : m_edit->cursorPosition());
}

void LineTextBox::setSelStart(qsizetype start)
{
    m_edit->setCursorPosition(fieldPosition(std::max<qsizetype>(start, 0)));
}

qsizetype LineTextBox::selLength() const
{
    if (!m_edit->hasSelectedText())
        return 0;
    const int start = m_edit->selectionStart();
    return modelPosition(start + m_edit->selectionLength()) - modelPosition(start);
}

void LineTextBox::setSelLength(qsizetype length)
{
    const int start = m_edit->hasSelectedText() ? m_edit->selectionStart() : m_edit->cursorPosition();
    const int end = fieldPosition(modelPosition(start) + std::max<qsizetype>(length, 0));
    if (end <= start)
        m_edit->setCursorPosition(start);
    else
        m_edit->setSelection(start, end - start);
}

QString LineTextBox::selText() const
{
    return toModelText(m_edit->selectedText());
}

void LineTextBox::setSelText(const QString &text)
{
    // insert() replaces the selection as one undo step and leaves the cursor after the text.
    m_edit->insert(toFieldText(text));
}

void LineTextBox::setFocus()
{
    m_edit->activateWindow();
    m_edit->setFocus(Qt::OtherFocusReason);
}

QString LineTextBox::fontName() const
{
    return m_edit->font().family();
}

void LineTextBox::setFontName(const QString &name)
{
    changeFont(m_edit, [&](QFont &f) { f.setFamily(name); });
}

double LineTextBox::fontSize() const
{
    return appliedPointSize(m_edit);
}

void LineTextBox::setFontSize(double points)
{
    applyPointSize(m_edit, points);
}

bool LineTextBox::fontBold() const
{
    return m_edit->font().bold();
}

void LineTextBox::setFontBold(bool bold)
{
    changeFont(m_edit, [&](QFont &f) { f.setBold(bold); });
}

bool LineTextBox::fontItalic() const
{
    return m_edit->font().italic();
}

void LineTextBox::setFontItalic(bool italic)
{
    changeFont(m_edit, [&](QFont &f) { f.setItalic(italic); });
}

} // namespace zimo
