#pragma once

#include <QToolButton>

class QMenu;

namespace zimo {

class DocumentCommands;

// The document's encoding in the status bar ("Shift_JIS（既定）", "UTF-8（BOM付き）", ...). A
// click opens its menu: read the file again in another encoding, or write in another one from
// now on. What is asked and done is DocumentCommands' business; this only shows and relays.
class EncodingButton : public QToolButton
{
    Q_OBJECT
public:
    EncodingButton(DocumentCommands &document, QWidget *parent = nullptr);

    // Shows the document's encoding as it is now.
    void refresh();

    // As tall as the tallest name it can show (a name with Japanese characters is drawn in a
    // taller font than "UTF-8"), so that the status bar, and the text area above it, keep their
    // height when the name changes.
    // (QToolButton's minimum size is its size hint.)
    QSize sizeHint() const override;

private:
    // How much taller than its current text the tallest name it can show is drawn.
    int extraHeight() const;

    void fillMenu();

    DocumentCommands &m_document;
    QMenu *m_menu;
};

} // namespace zimo
