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

private:
    void fillMenu();

    DocumentCommands &m_document;
    QMenu *m_menu;
};

} // namespace zimo
