#include "platform/qt/qttextbox.h"

#include "platform/qt/lineends.h"

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

PlainTextBox::PlainTextBox(QPlainTextEdit *edit)
    : m_edit(edit), m_lineEnds(LineEnds::of(edit->document()))
{
}

PlainTextBox::WidgetText PlainTextBox::toWidgetText(const QString &model)
{
    // The widget form is never longer than the model text: CR LF shrinks to one character.
    WidgetText w;
    w.text = QString(model.size(), Qt::Uninitialized);
    const char16_t *in = reinterpret_cast<const char16_t *>(model.constData());
    const char16_t *const end = in + model.size();
    char16_t *o = reinterpret_cast<char16_t *>(w.text.data());
    char16_t *const begin = o;
    while (in != end) {
        const char16_t c = *in++;
        if (c == CR) {
            const bool pair = in != end && *in == LF;
            in += pair;
            *o++ = LF;
            w.kinds.push_back(std::uint8_t(pair ? LineEnd::CrLf : LineEnd::Cr));
        } else if (c == LF) {
            *o++ = LF;
            w.kinds.push_back(std::uint8_t(LineEnd::Lf));
        } else if (const char16_t standIn = standInFor(c)) {
            *o++ = standIn;
        } else {
            *o++ = c;
        }
    }
    w.text.truncate(o - begin);
    return w;
}

QString PlainTextBox::modelCharacters(const QString &widgetText)
{
    const char16_t *const begin = reinterpret_cast<const char16_t *>(widgetText.constData());
    const char16_t *const end = begin + widgetText.size();
    const char16_t *first = std::find_if(begin, end, [](char16_t c) { return modelCharacter(c) != c; });
    if (first == end)
        return widgetText;
    QString out = widgetText;
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = first - begin; i < out.size(); ++i)
        o[i] = modelCharacter(o[i]);
    return out;
}

namespace {

// Inserts the widget form at the cursor: each run of breaks of one kind (with the text around
// them) in one insertText(), whose format the breaks take. Text of one kind only is one call.
void insertRuns(QTextCursor &cursor, const PlainTextBox::WidgetText &w)
{
    const QString &t = w.text;
    const std::vector<std::uint8_t> &kinds = w.kinds;
    qsizetype start = 0;
    qsizetype afterLastBreak = 0;
    std::size_t k = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t.at(i) != QChar(LF))
            continue;
        if (k > 0 && kinds[k] != kinds[k - 1]) {
            cursor.insertText(t.mid(start, afterLastBreak - start),
                              LineEnds::format(LineEnd(kinds[k - 1])));
            start = afterLastBreak;
        }
        afterLastBreak = i + 1;
        ++k;
    }
    if (start < t.size())
        cursor.insertText(start == 0 ? t : t.mid(start),
                          LineEnds::format(k > 0 ? LineEnd(kinds[k - 1]) : LineEnd::CrLf));
}

// Widget text (U+2029 at each break, as toRawText() and selectedText() give it) -> model text,
// the kinds of its breaks starting at break `firstBreak` of the document.
// Stand-ins are turned back into their characters on the way.
QString expandBreaks(const QString &widgetText, const LineEndKinds &kinds, qsizetype firstBreak,
                     qsizetype breaks)
{
    breaks = std::clamp<qsizetype>(breaks, 0, kinds.size() - firstBreak);
    if (breaks == 0)
        return PlainTextBox::modelCharacters(widgetText);
    std::vector<std::uint8_t> k(static_cast<std::size_t>(breaks));
    kinds.read(firstBreak, breaks, k.data());
    const qsizetype pairs = kinds.crlfBefore(firstBreak + breaks) - kinds.crlfBefore(firstBreak);

    const char16_t *in = reinterpret_cast<const char16_t *>(widgetText.constData());
    const char16_t *const end = in + widgetText.size();
    // Breaks past the kinds read (none are expected) count as CR LF, with room made for them.
    QString out(widgetText.size() + pairs, Qt::Uninitialized);
    char16_t *begin = reinterpret_cast<char16_t *>(out.data());
    char16_t *o = begin;
    std::size_t next = 0;
    while (in != end) {
        const char16_t c = *in++;
        if (c != paragraphBreak) {
            *o++ = PlainTextBox::modelCharacter(c);
            continue;
        }
        const bool known = next < k.size();
        const LineEnd kind = known ? LineEnd(k[next++]) : LineEnd::CrLf;
        if (kind == LineEnd::Lf) {
            *o++ = LF;
        } else if (kind == LineEnd::Cr) {
            *o++ = CR;
        } else {
            if (!known) {
                const qsizetype done = o - begin;
                out.resize(out.size() + 1);
                begin = reinterpret_cast<char16_t *>(out.data());
                o = begin + done;
            }
            *o++ = CR;
            *o++ = LF;
        }
    }
    out.truncate(o - begin);
    return out;
}

} // namespace

void PlainTextBox::insertModelText(QTextCursor &cursor, const QString &model)
{
    const WidgetText w = toWidgetText(model);
    LineEnds *ends = LineEnds::of(cursor.document());
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    ends->expectInserted(w.kinds);
    insertRuns(cursor, w);
    cursor.endEditBlock();
    ends->expectInserted({});
}

QString PlainTextBox::selectedModelText(const QTextCursor &cursor)
{
    const QTextDocument *doc = cursor.document();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const int firstBlock = doc->findBlock(start).blockNumber();
    const int lastBlock = doc->findBlock(end).blockNumber();
    // selectedText() gives U+2029 at each paragraph break.
    return expandBreaks(cursor.selectedText(), LineEnds::of(cursor.document())->kinds(), firstBlock,
                        lastBlock - firstBlock);
}

void PlainTextBox::documentReplaced()
{
    m_lineEnds = LineEnds::of(m_edit->document());
}

qsizetype PlainTextBox::modelLength() const
{
    const QTextDocument *doc = m_edit->document();
    // characterCount() includes the separator after the last paragraph.
    return qsizetype(doc->characterCount()) - 1 + m_lineEnds->kinds().count(LineEnd::CrLf);
}

qsizetype PlainTextBox::modelPosition(int widgetPosition) const
{
    const QTextDocument *doc = m_edit->document();
    widgetPosition = std::clamp(widgetPosition, 0, doc->characterCount() - 1);
    // Every CR LF break before the position is one character in the widget and two in the
    // model; a lone LF or CR is one in both.
    const LineEndKinds &kinds = m_lineEnds->kinds();
    if (kinds.count(LineEnd::CrLf) == 0)
        return widgetPosition;
    return qsizetype(widgetPosition) + kinds.crlfBefore(doc->findBlock(widgetPosition).blockNumber());
}

int PlainTextBox::widgetPosition(qsizetype modelPosition) const
{
    const QTextDocument *doc = m_edit->document();
    const LineEndKinds &kinds = m_lineEnds->kinds();
    if (modelPosition <= 0)
        return 0;
    if (kinds.count(LineEnd::CrLf) == 0)
        return int(std::min<qsizetype>(modelPosition, doc->characterCount() - 1));
    // Paragraph b starts at model position position(b) + crlfBefore(b), which grows with b: find
    // the last paragraph starting at or before the model position.
    int lo = 0;
    int hi = doc->blockCount() - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (qsizetype(doc->findBlockByNumber(mid).position()) + kinds.crlfBefore(mid) <= modelPosition)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(lo);
    // Past the paragraph's text lies its line end (or the end of the text): past a CR LF's CR,
    // the end of the paragraph is the nearest widget position.
    const qsizetype paragraphEnd = qsizetype(block.position()) + block.length() - 1;
    return int(std::min(modelPosition - kinds.crlfBefore(lo), paragraphEnd));
}


QString PlainTextBox::text() const
{
    // toRawText() is the document's characters as they are, U+2029 between paragraphs;
    // toPlainText() would also turn U+00A0 into a space and U+2028 into '\n'.
    const QTextDocument *doc = m_edit->document();
    return expandBreaks(doc->toRawText(), m_lineEnds->kinds(), 0, doc->blockCount() - 1);
}

std::function<QString()> PlainTextBox::textSnapshot() const
{
    // Only the raw characters and the breaks' kinds are copied here; the model text is made
    // from them by whoever calls the snapshot (the draft writer, on its own thread).
    const QTextDocument *doc = m_edit->document();
    return [raw = doc->toRawText(), kinds = m_lineEnds->kinds(),
            breaks = qsizetype(doc->blockCount() - 1)] {
        return expandBreaks(raw, kinds, 0, breaks);
    };
}

void PlainTextBox::setText(const QString &text)
{
    // setPlainText() alone would make a CR LF break of every CR, LF and CR LF. It empties the
    // widget and its undo history here; the text then goes in with its breaks' kinds, outside
    // the undo history as setPlainText() would put it.
    const WidgetText w = toWidgetText(text);
    m_edit->setPlainText(QString());
    QTextDocument *doc = m_edit->document();
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    m_lineEnds->expectInserted(w.kinds);
    insertRuns(cursor, w);
    cursor.endEditBlock();
    m_lineEnds->expectInserted({});
    doc->setUndoRedoEnabled(undo);
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
    return selectedModelText(m_edit->textCursor());
}

void PlainTextBox::setSelText(const QString &text)
{
    // One edit for the widget's own undo; the selection is replaced and the cursor left after
    // the inserted text with nothing selected.
    QTextCursor cursor = m_edit->textCursor();
    insertModelText(cursor, text);
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
