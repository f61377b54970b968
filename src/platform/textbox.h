#pragma once

#include <QString>
#include <functional>

namespace zimo {

// One change of a text box's text, in the text's positions (CR LF = 2): `removed` characters at
// `position` were replaced by `added` characters, which `addedText` gives while the report is
// being handled (the text box changes on afterwards).
struct TextEdit
{
    qsizetype position = 0;
    qsizetype removed = 0;
    qsizetype added = 0;
    std::function<QString()> addedText;
};

// A text box as the commands see it. The text uses CR LF for a line break; a lone CR or LF is an
// ordinary character. Positions and lengths count UTF-16 code units of that text (CR LF = 2).
class TextBox
{
public:
    virtual ~TextBox() = default;

    // The whole text. Assigning it replaces everything and leaves the caret at 0, nothing selected.
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
    // The text as it is now, as a function that gives it when called, on any thread and however
    // the text box has changed meanwhile. Taking it costs less than text() where the text box
    // can hand over its own form of the text and leave the conversion to the call.
    virtual std::function<QString()> textSnapshot() const
    {
        return [text = text()] { return text; };
    }

    // The text box holds exactly `text` now (it was just read whole, or put in whole): until the
    // next change, textSnapshot() may give this string instead of copying the text again.
    virtual void holdText(const QString &text) { (void)text; }

    // From now on every change of the text, however it came (typing, undo and redo, drops,
    // commands), is reported to `listener` as it happens; an empty listener ends the reports.
    // False when this text box cannot report its changes: the caller has to read the text.
    virtual bool reportEdits(std::function<void(const TextEdit &)> listener)
    {
        (void)listener;
        return false;
    }

    // Characters before the caret or the selection's start.
    virtual qsizetype selStart() const = 0;
    // Moves the caret there and clears the selection.
    virtual void setSelStart(qsizetype start) = 0;
    virtual qsizetype selLength() const = 0;
    // Selects this many characters from selStart().
    virtual void setSelLength(qsizetype length) = 0;
    virtual QString selText() const = 0;
    // Replaces the selection (or inserts at the caret); the caret ends after the inserted text
    // with nothing selected.
    virtual void setSelText(const QString &text) = 0;

    // Moves the keyboard focus here, activating the window.
    virtual void setFocus() = 0;

    virtual QString fontName() const = 0;
    virtual void setFontName(const QString &name) = 0;
    // Points; reads back the size actually applied.
    virtual double fontSize() const = 0;
    virtual void setFontSize(double points) = 0;
    virtual bool fontBold() const = 0;
    virtual void setFontBold(bool bold) = 0;
    virtual bool fontItalic() const = 0;
    virtual void setFontItalic(bool italic) = 0;
};

} // namespace zimo
