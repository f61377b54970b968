#pragma once

#include <QKeySequence>
#include <QList>
#include <QPlainTextEdit>
#include <QStringList>

class QMimeData;

namespace zimo {

// The main window's text area (Form1's Text1): a QPlainTextEdit that
// - lets the menu's shortcut keys through to the menu, enabled or not, and never uses them itself
//   (Ctrl+C runs the CENTER command instead of copying);
// - makes Shift+Return a plain line break, as Enter;
// - takes dropped files only (reported by filesDropped) and ignores dropped text and pictures;
// - shows the lone CR and LF stand-ins of the text box adapter as visible marks;
// - keeps its selection visible while another window (the search dialog) has the focus.
class TextArea : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TextArea(QWidget *parent = nullptr);

    // The key sequences of the menu's shortcuts.
    void setMenuShortcuts(const QList<QKeySequence> &keys);
    // OLEDropMode: files reach filesDropped only while this is on.
    void setFileDropEnabled(bool enabled);
    bool isFileDropEnabled() const { return m_fileDropEnabled; }

    // The local files a drag or drop carries, in the order of its list.
    static QStringList localFiles(const QMimeData *mime);

signals:
    // Local files dropped onto the text area, in the order of the drop's list.
    void filesDropped(const QStringList &paths);

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void changeEvent(QEvent *e) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    bool isMenuShortcut(const QKeyEvent *e) const;
    bool acceptsDrag(const QMimeData *mime) const;
    void keepSelectionVisible();
    void paintLineEndMarks(const QRect &area);

    QList<QKeySequence> m_menuKeys;
    bool m_fileDropEnabled = false;
};

} // namespace zimo
