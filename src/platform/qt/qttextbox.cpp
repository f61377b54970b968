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
    followDocument();
}

PlainTextBox::~PlainTextBox()
{
    QObject::disconnect(m_editReports);
    QObject::disconnect(m_heldWatch);
}

bool PlainTextBox::reportEdits(std::function<void(const TextEdit &)> listener)
{
    m_editListener = std::move(listener);
    followDocument();
    return true;
}

void PlainTextBox::documentReplaced()
{
    m_lineEnds = LineEnds::of(m_edit->document());
    m_holdsText = false;
    m_heldText = QString();
    followDocument();
}

void PlainTextBox::holdText(const QString &text)
{
    m_heldText = text;
    m_holdsText = true;
}

void PlainTextBox::followDocument()
{
    QObject::disconnect(m_heldWatch);
    QObject::disconnect(m_editReports);
    QTextDocument *doc = m_edit->document();
    m_heldWatch = QObject::connect(doc, &QTextDocument::contentsChange, doc, [this] {
        m_holdsText = false;
        m_heldText = QString();
    });
    if (!m_editListener)
        return;
    m_reportedLength = modelLength();
    // Connected after the line ends (made with this adapter), so their kinds are up to date.
    m_editReports = QObject::connect(
        doc, &QTextDocument::contentsChange, doc, [this, doc](int position, int, int added) {
            // Only the change's start and the end of its new text are taken from Qt: its removed
            // count can overstate (replacing everything counts the last paragraph's separator
            // too). What was removed follows from the lengths: the text after the new part is
            // the text that followed the removed one.
            const int end = doc->characterCount() - 1;
            const int from = std::clamp(position, 0, end);
            const int to = std::clamp(position + std::max(added, 0), from, end);
            const qsizetype start = modelPosition(from);
            const qsizetype stop = to == end ? modelLength() : modelPosition(to);
            const qsizetype now = modelLength();
            TextEdit edit;
            edit.position = start;
            edit.removed = m_reportedLength - start - (now - stop);
            edit.added = stop - start;
            edit.addedText = [doc, from, to] {
                QTextCursor cursor(doc);
                cursor.setPosition(from);
                cursor.setPosition(to, QTextCursor::KeepAnchor);
                return selectedModelText(cursor);
            };
            m_reportedLength = now;
            m_editListener(edit);
        });
}

qsizetype PlainTextBox::cutPoint(const char16_t *text, qsizetype length, qsizetype target)
{
    if (target <= 0 || target >= length)
        return std::clamp<qsizetype>(target, 0, length);
    // After a tag's end or a space, the highlighter's state (which knows no half names or half
    // references) and the reader's eye both carry over best; the piece may shrink to half the
    // target for it.
    const qsizetype lowest = std::max<qsizetype>(1, target / 2);
    qsizetype at = 0;
    for (qsizetype p = target; p >= lowest && !at; --p)
        if (text[p - 1] == u'>')
            at = p;
    for (qsizetype p = target; p >= lowest && !at; --p)
        if (text[p - 1] == u' ' || text[p - 1] == u'\t')
            at = p;
    // Before a tag's start or a reference: the tag (an end tag that closes a script too) or the
    // reference stays whole.
    for (qsizetype p = target; p >= lowest && !at; --p)
        if (text[p] == u'<' || text[p] == u'&')
            at = p;
    if (at)
        return at;
    // Not between the halves of a surrogate pair, nor between a character and its marks.
    at = target;
    while (at > lowest && (QChar::isLowSurrogate(text[at]) || QChar::isMark(text[at])))
        --at;
    if (QChar::isLowSurrogate(text[at]) && QChar::isHighSurrogate(text[at - 1]))
        ++at;
    return at;
}

PlainTextBox::WidgetText PlainTextBox::toWidgetText(const QString &model, qsizetype column,
                                                    LineContext line)
{
    // CR LF shrinks to one character; a join adds one. Every piece but the first of a line holds
    // at least half the target, which bounds the joins (the one ending a piece fits the 2 spare).
    WidgetText w;
    w.text = QString(model.size() + model.size() / (paragraphTarget / 2) + 2, Qt::Uninitialized);
    const char16_t *in = reinterpret_cast<const char16_t *>(model.constData());
    const char16_t *const end = in + model.size();
    char16_t *o = reinterpret_cast<char16_t *>(w.text.data());
    char16_t *const begin = o;
    const auto copy = [&](const char16_t *to) {
        for (; in != to; ++in) {
            const char16_t c = *in;
            const char16_t standIn = standInFor(c);
            *o++ = standIn ? standIn : c;
        }
    };
    const auto join = [&] {
        *o++ = LF;
        w.kinds.push_back(std::uint8_t(LineEnd::Join));
    };
    qsizetype col = std::max<qsizetype>(column, 0);
    qsizetype before = line.before < 0 ? col : line.before;
    while (in != end) {
        const char16_t *lineEnd = in;
        while (lineEnd != end && *lineEnd != CR && *lineEnd != LF)
            ++lineEnd;
        const qsizetype after = lineEnd == end ? line.after : 0;
        const bool isLong = before + (lineEnd - in) + after > paragraphLimit;
        if (isLong) {
            while (col + (lineEnd - in) > paragraphTarget) {
                const qsizetype cut = cutPoint(in, lineEnd - in, std::max<qsizetype>(paragraphTarget - col, 0));
                copy(in + cut);
                join();
                col = 0;
            }
        }
        copy(lineEnd);
        if (in == end) {
            if (isLong && after > 0)
                join();
            break;
        }
        const char16_t c = *in++;
        const bool pair = c == CR && in != end && *in == LF;
        in += pair;
        *o++ = LF;
        w.kinds.push_back(std::uint8_t(pair ? LineEnd::CrLf : c == CR ? LineEnd::Cr : LineEnd::Lf));
        col = 0;
        before = 0;
    }
    w.text.truncate(o - begin);
    return w;
}

int PlainTextBox::fitParagraph(const QTextBlock &paragraph)
{
    int joins = 0;
    QTextBlock block = paragraph;
    while (block.isValid() && block.length() - 1 > paragraphLimit) {
        const QString t = block.text();
        const qsizetype cut = cutPoint(reinterpret_cast<const char16_t *>(t.constData()), t.size(),
                                       paragraphTarget);
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + int(cut));
        cursor.insertBlock(block.blockFormat(), LineEnds::format(LineEnd::Join));
        ++joins;
        block = cursor.block();
    }
    return joins;
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
        if (kind == LineEnd::Join) {
            // A join holds no character: the line goes on.
        } else if (kind == LineEnd::Lf) {
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

void PlainTextBox::insertModelText(QTextCursor &cursor, const QString &model, LineContext line)
{
    LineEnds *ends = LineEnds::of(cursor.document());
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    // The text's first line continues the paragraph before the cursor; what follows the cursor
    // ends up in the last paragraph, which is cut again should it have grown past the limit.
    WidgetText w = toWidgetText(model, cursor.positionInBlock(), line);
    insertRuns(cursor, w);
    const int joins = fitParagraph(cursor.block());
    // The document reports the whole edit block as one change, once it ends: its new breaks are
    // those inserted, then the joins of the last paragraph.
    w.kinds.insert(w.kinds.end(), std::size_t(joins), std::uint8_t(LineEnd::Join));
    ends->expectInserted(std::move(w.kinds));
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

qsizetype PlainTextBox::modelLength() const
{
    const QTextDocument *doc = m_edit->document();
    // characterCount() includes the separator after the last paragraph; a join holds no
    // character of the model.
    const LineEndKinds &kinds = m_lineEnds->kinds();
    return qsizetype(doc->characterCount()) - 1 + kinds.count(LineEnd::CrLf) -
           kinds.count(LineEnd::Join);
}

qsizetype PlainTextBox::modelPosition(int widgetPosition) const
{
    const QTextDocument *doc = m_edit->document();
    widgetPosition = std::clamp(widgetPosition, 0, doc->characterCount() - 1);
    // Every CR LF break before the position is one character in the widget and two in the
    // model; a lone LF or CR is one in both; a join is one in the widget and none in the model.
    const LineEndKinds &kinds = m_lineEnds->kinds();
    if (kinds.isOneToOne())
        return widgetPosition;
    return qsizetype(widgetPosition) +
           kinds.modelExtraBefore(doc->findBlock(widgetPosition).blockNumber());
}

int PlainTextBox::widgetPosition(qsizetype modelPosition) const
{
    const QTextDocument *doc = m_edit->document();
    const LineEndKinds &kinds = m_lineEnds->kinds();
    if (modelPosition <= 0)
        return 0;
    if (kinds.isOneToOne())
        return int(std::min<qsizetype>(modelPosition, doc->characterCount() - 1));
    // Paragraph b starts at model position position(b) + modelExtraBefore(b), which never falls
    // as b grows: find the last paragraph starting at or before the model position. A position
    // at a join is the start of the paragraph after it.
    int lo = 0;
    int hi = doc->blockCount() - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (qsizetype(doc->findBlockByNumber(mid).position()) + kinds.modelExtraBefore(mid) <= modelPosition)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(lo);
    // Past the paragraph's text lies its line end (or the end of the text): past a CR LF's CR,
    // the end of the paragraph is the nearest widget position.
    const qsizetype paragraphEnd = qsizetype(block.position()) + block.length() - 1;
    return int(std::min(modelPosition - kinds.modelExtraBefore(lo), paragraphEnd));
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
    // Nothing changed since setText(): the text given there (after Open, the document's
    // file_text itself).
    if (m_holdsText)
        return [text = m_heldText] { return text; };
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
    holdText(text);
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
