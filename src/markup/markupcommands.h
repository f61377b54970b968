#pragma once

#include "document/encoding.h"
#include "document/undostore.h"
#include "platform/services.h"

#include <QString>

#include <functional>

namespace zimo {

// The snippet files, relative to the working folder at the time of the command.
inline const QString plug1FileName = QStringLiteral("item/plug_1.txt");
inline const QString plug2FileName = QStringLiteral("item/plug_2.txt");

// The Edit menu's markup commands and the character count. Each markup command takes an undo
// snapshot (keep_text) before it changes anything.
class MarkupCommands
{
public:
    MarkupCommands(Services &services, UndoStore &undo) : m_s(services), m_undo(undo) {}

    void mnuEditConversion_Click(); // <BR> in front of every line break
    void mnuEditDelete_Click();     // <BR> removed in front of every line break
    void mnuEditCenter_Click();     // the selection wrapped in a CENTER block
    void mnuEditPlug_1_Click();     // item/plug_1.txt appended
    void mnuEditPlug_2_Click();     // item/plug_2.txt appended
    void mnuEditBack_Click();       // "I'll be back"
    void mnuOptionline_Click();     // character count

    // The encoding of the document a snippet goes into (code page 932 when not set): bytes that
    // read completely in it as well as in another encoding are read in it.
    std::function<Encoding()> documentEncoding;

private:
    void appendSnippetFile(const QString &fileName);

    Services &m_s;
    UndoStore &m_undo;
};

} // namespace zimo
