#pragma once

#include <QObject>

class QLabel;
class QPlainTextEdit;
class QStatusBar;

namespace zimo {

class LineEndKinds;

// The main window's status bar items for the text area: the caret's line and column, and the
// kind of the document's line ends. Both are updated from signals (the caret moved, the number of
// line ends of some kind changed) with no work over the text; nothing runs while the program is
// idle. Other items may be added to the same bar beside them.
class StatusLine : public QObject
{
    Q_OBJECT
public:
    StatusLine(QStatusBar *bar, QPlainTextEdit *edit);

    // "行 3、列 7": lines counted from 1, every line end (CR LF, LF, CR) ending one; columns
    // from 1 in characters of the line (UTF-16 units, as the program counts positions).
    QString positionText() const;
    // "改行: CR LF", "改行: LF", "改行: CR", "改行: 混在" for more than one kind, "改行: なし"
    // when the text has no line end.
    QString lineEndText() const;
    static QString lineEndText(const LineEndKinds &kinds);
    // The edit shows another document now.
    void followDocument();

signals:
    // The line and column were clicked (the main window opens "指定行へ移動").
    void positionClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void updatePosition();
    void updateLineEnds();

    QPlainTextEdit *m_edit;
    QLabel *m_position;
    QLabel *m_lineEnds;
    QMetaObject::Connection m_lineEndsChanged;
};

} // namespace zimo
