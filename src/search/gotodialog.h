#pragma once

#include <QDialog>

class QSpinBox;

namespace zimo {

// The modal dialog "指定行へ移動": a line number from 1 to the document's number of lines, the
// caret's line to begin with. Enter ("移動") accepts, Esc ("キャンセル") cancels.
class GoToDialog : public QDialog
{
    Q_OBJECT
public:
    GoToDialog(qsizetype lineCount, qsizetype currentLine, QWidget *parent);

    qsizetype line() const;
    QSpinBox *field() const { return m_field; }

private:
    QSpinBox *m_field;
};

} // namespace zimo
