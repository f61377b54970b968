#pragma once

#include <QLineEdit>

class QMimeData;

namespace zimo {

// The search dialog's field. It can hold line breaks, which a QLineEdit would show as blanks and
// a pasted text would bring as bare LF: every text that comes in (paste by keys, context menu or
// middle button, drop) has its line breaks turned into the stand-ins LineTextBox maps to CR LF,
// text that goes out (copy, cut) has them back as CR LF, and the stand-ins are drawn as marks:
// "↵" for a line break, C over R and L over F for a lone CR and LF.
class SearchField : public QLineEdit
{
    Q_OBJECT
public:
    explicit SearchField(QWidget *parent = nullptr);

    // Inserts pasted text at the cursor (replacing the selection) in the field's form.
    void insertPasted(const QMimeData *mime);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    void pasteFrom(int clipboardMode);
    void copySelection(bool cut);
    void paintLineBreakMarks();
};

} // namespace zimo
