#pragma once

#include "platform/messagebox.h"
#include "platform/textbox.h"

#include <functional>

namespace zimo {

// What the search dialog's buttons do. Each click reads the document, the search text and the main
// text area's selection afresh: the selection is the only search position there is.
class SearchCommands
{
public:
    // `mainText`: the main window's text area; `searchField`: the dialog's field; `showDialog`
    // brings the dialog back to the front with the focus after every search.
    SearchCommands(TextBox &mainText, TextBox &searchField, MessageBox &messageBox,
                   std::function<void()> showDialog);

    void Command1_Click(); // "検索開始": from the start of the document
    void Command2_Click(); // "次を検索": from the end of the selection or the caret
    void Command3_Click(); // "前を検索": unfinished notice, then as "次を検索"

private:
    enum class From { DocumentStart, SelectionEnd };
    void search(From from);

    TextBox &m_mainText;
    TextBox &m_searchField;
    MessageBox &m_messageBox;
    std::function<void()> m_showDialog;
};

} // namespace zimo
