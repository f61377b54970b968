#pragma once

#include "platform/textbox.h"

#include <QMetaObject>

#include <cstdint>
#include <vector>

class QPlainTextEdit;
class QLineEdit;
class QFont;
class QTextCursor;
class QTextBlock;

namespace zimo {

class LineEnds;

// A piece of a longer text put in piece by piece (a page loaded over time): how much of the
// first line came before it, and how much of the last line follows it. A line that is long
// as a whole is cut where it would be were the text put in at once, when every piece that
// ends inside a long line ends where that line is cut (a join then ends the piece).
struct LineContext
{
    qsizetype before = -1; // -1: the column
    qsizetype after = 0;
};

// The text box adapter over a QPlainTextEdit. The widget keeps paragraphs, not CR and LF: every
// line end of the model (CR LF, a lone LF, a lone CR) is a paragraph break, and each break keeps
// its kind (see LineEnds). A model position is the widget position plus the number of CR LF
// breaks before it. docs/textmodel.md explains the mapping.
class PlainTextBox : public TextBox
{
public:
    explicit PlainTextBox(QPlainTextEdit *edit);
    ~PlainTextBox() override;

    QString text() const override;
    void setText(const QString &text) override;
    // Takes only the document's raw characters (one copy); the conversion to the model text
    // runs when the snapshot is called, on whichever thread calls it. Until the first change
    // after setText(), the text given there (shared, no copy at all).
    std::function<QString()> textSnapshot() const override;
    // Follows the document's contentsChange, after the line ends' kinds have followed it.
    bool reportEdits(std::function<void(const TextEdit &)> listener) override;
    qsizetype selStart() const override;
    void setSelStart(qsizetype start) override;
    qsizetype selLength() const override;
    void setSelLength(qsizetype length) override;
    QString selText() const override;
    void setSelText(const QString &text) override;
    void setFocus() override;
    QString fontName() const override;
    void setFontName(const QString &name) override;
    double fontSize() const override;
    void setFontSize(double points) override;
    bool fontBold() const override;
    void setFontBold(bool bold) override;
    bool fontItalic() const override;
    void setFontItalic(bool italic) override;

    // Characters the widget cannot keep as themselves are held in it as stand-ins from
    // U+DC00..U+DC7F, a range no document brings (no decoder makes it). QTextDocument makes a
    // paragraph break of U+2029 and of its frame marks U+FDD0 and U+FDD1, breaks the line at
    // U+2028 and draws nothing for U+FFFC (object replacement). The text area draws each
    // stand-in as a box with the character's code. Positions are the same in both forms.
    struct StandIn
    {
        char16_t character;
        char16_t standIn;
    };
    static constexpr StandIn standIns[] = {
        {0x2028, 0xDC28}, {0x2029, 0xDC29}, {0xFDD0, 0xDC10}, {0xFDD1, 0xDC11}, {0xFFFC, 0xDC1C}};
    // The stand-in of a model character, or 0 when it is held as itself.
    static constexpr char16_t standInFor(char16_t c)
    {
        if (c < 0x2028 || (c > 0x2029 && c < 0xFDD0))
            return 0;
        for (const StandIn &s : standIns)
            if (s.character == c)
                return s.standIn;
        return 0;
    }
    // The model character a widget character stands for (itself when it is no stand-in).
    static constexpr char16_t modelCharacter(char16_t c)
    {
        if ((c & 0xFF80) != 0xDC00)
            return c;
        for (const StandIn &s : standIns)
            if (s.standIn == c)
                return s.character;
        return c;
    }
    // The widget's characters (without line ends, as QTextBlock::text() gives them) with each
    // stand-in turned back into its character; the same string when there is none.
    static QString modelCharacters(const QString &widgetText);

    // A line longer than paragraphLimit is held as paragraphs of at most paragraphTarget
    // characters joined by joins (breaks without a character, LineEnd::Join): the widget lays a
    // paragraph out whole on every change and every repaint, which costs far more than linear
    // time for a paragraph of a million characters. Typing lets a paragraph grow up to the limit
    // before it is cut again (fitParagraph). Measured in performance/textbox.md.
    static constexpr qsizetype paragraphTarget = 200;
    static constexpr qsizetype paragraphLimit = 400;
    // Where to cut a paragraph's text of `length` characters so that the first piece holds about
    // `target` (0 < target < length): after the last '>' in the second half of the piece, else
    // after its last space or tab, else before its last '<' or '&', else at the target; never inside a
    // surrogate pair nor in front of a combining mark when that can be helped. At least 1 when
    // target is.
    static qsizetype cutPoint(const char16_t *text, qsizetype length, qsizetype target);

    // A model text in the widget's form: each line end a '\n' (a paragraph break for
    // QTextCursor::insertText), and the line ends' kinds in order; characters with a stand-in
    // as their stand-ins. A line longer than paragraphLimit is cut by joins into paragraphs of
    // paragraphTarget; `column` is the length of the paragraph the text's first line continues
    // (the characters before the cursor it is inserted at).
    struct WidgetText
    {
        QString text;
        std::vector<std::uint8_t> kinds;
    };
    static WidgetText toWidgetText(const QString &model, qsizetype column = 0,
                                   LineContext line = {});
    // Cuts paragraph `block`, when it is longer than paragraphLimit, by joins into paragraphs of
    // about paragraphTarget; returns the number of joins inserted (each its own edit unless the
    // caller holds an edit block).
    static int fitParagraph(const QTextBlock &block);
    // Replaces the cursor's selection (or inserts at it) by a model text, each line end a break
    // of its kind, as one edit; the cursor ends after the text.
    static void insertModelText(QTextCursor &cursor, const QString &model, LineContext line = {});
    // The model text of the cursor's selection.
    static QString selectedModelText(const QTextCursor &cursor);

    // Position conversions, in both directions O(log^2 n) in the number of paragraphs (O(log n)
    // when all line ends are of one kind). A model position between the CR and the LF of a
    // break maps to the end of its paragraph; out-of-range positions are clamped to the text.
    qsizetype modelPosition(int widgetPosition) const;
    int widgetPosition(qsizetype modelPosition) const;
    // Length of the model text without building it.
    qsizetype modelLength() const;

    // The widget shows another document now (a page loaded over time, or the one before it):
    // the line ends, the edit reports and the held text follow it.
    void documentReplaced();
    // After setText(), a page loaded over time, a text just written: the snapshot gives the
    // string until the next change.
    void holdText(const QString &text) override;

private:
    // Watches the document the widget shows now, for the held text and the edit reports.
    void followDocument();

    QPlainTextEdit *m_edit;
    LineEnds *m_lineEnds;
    std::function<void(const TextEdit &)> m_editListener;
    QMetaObject::Connection m_editReports;
    // The text last given to setText(), held until the document changes.
    QString m_heldText;
    bool m_holdsText = false;
    QMetaObject::Connection m_heldWatch;
    // The model length as of the last change reported.
    qsizetype m_reportedLength = 0;
};

// A single-line text box (the search field) over a QLineEdit. A line break of the model text has
// no place in one line, so the field holds a stand-in for each (which the field draws as a mark):
// U+DC0C for CR LF, U+DC0D for a lone CR, U+DC0A for a lone LF. Positions count model characters.
class LineTextBox : public TextBox
{
public:
    explicit LineTextBox(QLineEdit *edit);

    static constexpr QChar lineBreak{char16_t(0xDC0C)};
    static constexpr QChar loneCR{char16_t(0xDC0D)};
    static constexpr QChar loneLF{char16_t(0xDC0A)};

    // Model text -> the field's form, and back.
    static QString toFieldText(QStringView model);
    static QString toModelText(QStringView field);
    // Text from elsewhere (a paste) -> the field's form: every CR LF, lone CR and lone LF is a
    // line break of the document (CR LF), as pasting into the text area makes it.
    static QString pastedToFieldText(QStringView pasted);

    QString text() const override;
    void setText(const QString &text) override;
    qsizetype selStart() const override;
    void setSelStart(qsizetype start) override;
    qsizetype selLength() const override;
    void setSelLength(qsizetype length) override;
    QString selText() const override;
    void setSelText(const QString &text) override;
    void setFocus() override;
    QString fontName() const override;
    void setFontName(const QString &name) override;
    double fontSize() const override;
    void setFontSize(double points) override;
    bool fontBold() const override;
    void setFontBold(bool bold) override;
    bool fontItalic() const override;
    void setFontItalic(bool italic) override;

private:
    // Model position of a field position, and back (clamped to the text).
    qsizetype modelPosition(int fieldPosition) const;
    int fieldPosition(qsizetype modelPosition) const;

    QLineEdit *m_edit;
};

} // namespace zimo
