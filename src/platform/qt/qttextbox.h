#pragma once

#include "platform/textbox.h"

class QPlainTextEdit;
class QLineEdit;

namespace zimo {

// The text box adapter over a QPlainTextEdit. The widget keeps paragraphs, not CR and LF, so the
// adapter converts at its boundary: a model CR LF is a paragraph break; a lone CR or LF is kept
// inside its paragraph as the stand-in U+DC0D or U+DC0A; a model position is the widget position
// plus the number of paragraph breaks before it.
class PlainTextBox : public TextBox
{
public:
    explicit PlainTextBox(QPlainTextEdit *edit);

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

    // Model text <-> the widget's form (paragraph breaks as '\n', lone CR/LF as stand-ins).
    static QString toWidgetText(const QString &model);
    static QString toModelText(QString widgetText);

private:
    QPlainTextEdit *m_edit;
};

// A single-line text box (the search field) over a QLineEdit.
class LineTextBox : public TextBox
{
public:
    explicit LineTextBox(QLineEdit *edit);

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
    QLineEdit *m_edit;
};

} // namespace zimo
