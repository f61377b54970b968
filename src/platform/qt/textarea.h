#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStringList>

class QMimeData;

namespace zimo {

class LineNumberArea;

// The main window's text area (Form1's Text1): a QPlainTextEdit that
// - lets the menu's shortcut keys through to the menu, enabled or not, and never uses them itself
//   (Ctrl+C runs the CENTER command instead of copying);
// - makes Shift+Return a plain line break, as Enter;
// - takes dropped files only (reported by filesDropped) and ignores dropped text and pictures;
// - deletes and moves over the joins of a long line (qttextbox.h) as over nothing, and cuts the
//   caret's paragraph again when typing has made it too long;
// - inserts a CR LF line end for Return, and shows each lone LF and lone CR line end as a small
//   mark after its line, and each character held as a stand-in as a box with its code;
// - copies with the document's own characters, and pastes its own copies back exactly;
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

    // The line-number gutter (linenumberarea.h) at the left, inside the frame; off by default.
    void setLineNumbersVisible(bool visible);
    bool lineNumbersVisible() const { return m_lineNumbers != nullptr; }
    LineNumberArea *lineNumberArea() const { return m_lineNumbers; }

    // The local files a drag or drop carries, in the order of its list.
    static QStringList localFiles(const QMimeData *mime);

    // The clipboard format that carries the model text of a copy (UTF-16, the machine's byte
    // order), lone CR and LF included, beside the plain text other programs take.
    static const QString modelTextMimeType;
    // The model text a paste of this data inserts: the program's own copy as it was; plain text
    // from other programs with each CR, LF and CR LF as a CR LF line end. Null when the data
    // holds no text.
    static QString pastedModelText(const QMimeData *mime);
    // What a copy of this model text puts on the clipboard: plain text for other programs (a
    // CR LF line end as LF, a lone CR or LF as itself) and the model text as it is.
    static QMimeData *mimeDataOfModelText(const QString &model);

signals:
    // Local files dropped onto the text area, in the order of the drop's list.
    void filesDropped(const QStringList &paths);

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void changeEvent(QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    friend class LineNumberArea; // reads the visible paragraphs' places and sets the margin
    bool isMenuShortcut(const QKeyEvent *e) const;
    void stepOverJoins(const QKeyEvent *e);
    void fitCaretParagraph();
    bool acceptsDrag(const QMimeData *mime) const;
    void keepSelectionVisible();
    void paintLineEndMarks(const QRect &area);
    void paintStandInMarks(const QRect &area);
    // Drops the marks drawn so far when the font, the colours or the pixel ratio have changed.
    void forgetOutdatedMarks();
    // A small mark of two rows of letters in a cell, in the selection's colours when selected.
    const QPixmap &mark(const QString &top, const QString &bottom, bool selected, QSize cell);

    QList<QKeySequence> m_menuKeys;
    bool m_fileDropEnabled = false;
    // The marks drawn so far, and the font and colours they were drawn in: drawn once, then
    // copied, since text drawing costs far more than a copy on every repaint.
    QHash<QString, QPixmap> m_marks;
    QString m_marksKey;
    LineNumberArea *m_lineNumbers = nullptr;
};

} // namespace zimo
