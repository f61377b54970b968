#pragma once

#include "platform/textbox.h"

#include <QChar>

class QPlainTextEdit;
class QLineEdit;
class QFont;

namespace zimo {

// The text box adapter over a QPlainTextEdit. The widget keeps paragraphs, not CR and LF, so the
// adapter converts at its boundary: a model CR LF is a paragraph break; a lone CR or LF is kept
// inside its paragraph as the stand-in U+DC0D or U+DC0A; a model position is the widget position
// plus the number of paragraph breaks before it. docs/textmodel.md explains the mapping.
class PlainTextBox : public TextBox
{
public:
    explicit PlainTextBox(QPlainTextEdit *edit);

    QString text() const override;
    void setText(const QString &text) override;
    // Takes only the document's raw characters (one copy); the conversion to the model text
    // runs when the snapshot is called, on whichever thread calls it.
    std::function<QString()> textSnapshot() const override;
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

    // The stand-ins of a lone CR and a lone LF inside a paragraph. Nobody can type them and the
    // code page 932 decoder never makes them (its own stand-ins are U+DC80..U+DCFF).
    static constexpr QChar loneCR{char16_t(0xDC0D)};
    static constexpr QChar loneLF{char16_t(0xDC0A)};

    // Model text -> the widget's form: CR LF becomes '\n' (a paragraph break for setPlainText and
    // QTextCursor::insertText), a lone CR or LF its stand-in.
    static QString toWidgetText(const QString &model);
    // The widget's form -> model text: a paragraph break (U+2029 as toRawText() and
    // selectedText() give it, or '\n') becomes CR LF, a stand-in its CR or LF.
    static QString toModelText(QString widgetText);

    // Position conversions, in both directions O(log^2 n) in the number of paragraphs.
    // A model position between the CR and the LF of a break maps to the end of its paragraph;
    // out-of-range positions are clamped to the text.
    qsizetype modelPosition(int widgetPosition) const;
    int widgetPosition(qsizetype modelPosition) const;
    // Length of the model text without building it.
    qsizetype modelLength() const;

private:
    QPlainTextEdit *m_edit;
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
