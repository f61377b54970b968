#pragma once

#include <QWidget>

namespace zimo {

class TextArea;

// The line-number gutter inside the text area's frame, left of its viewport: one number per
// line (every line end of the document ends one, as the status bar counts lines; a paragraph
// after a join goes on with the line before and has none), at the
// first row of the paragraph (wrapped rows get none), in the text area's font, right-aligned, the
// caret's line in the text colour and the others fainter. Its width follows the number of digits
// of the last line. It repaints only what the text area repaints, and follows scrolling.
class LineNumberArea : public QWidget
{
    Q_OBJECT
public:
    explicit LineNumberArea(TextArea *edit);

    // The gutter's width for the text area's present font and line count.
    int areaWidth() const;
    // Places the gutter in the text area's frame (after the text area was resized).
    void place();

protected:
    void paintEvent(QPaintEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void updateWidth();
    void followUpdate(const QRect &rect, int dy);
    void followCaret();
    int caretLine() const;

    TextArea *m_edit;
    int m_width = 0;
    int m_caretLine = -1;
};

} // namespace zimo
