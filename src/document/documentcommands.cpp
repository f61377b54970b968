#include "document/documentcommands.h"

namespace zimo {

// Placeholder bodies until the File menu lands.
bool DocumentCommands::changed() const { return m_s.Text1.text() != m_file_text; }
void DocumentCommands::read_text() {}
void DocumentCommands::save_text() {}
void DocumentCommands::over_text() {}
void DocumentCommands::mnuFileNew_Click() {}
void DocumentCommands::mnuFileOpen_Click() {}
void DocumentCommands::mnuFileSave_Click() {}
void DocumentCommands::mnuFileOverwrite_Click() {}
void DocumentCommands::mnuFilePrint_Click() {}
void DocumentCommands::mnuFileEnd_Click() { m_s.app.end(); }
void DocumentCommands::Form_Unload(bool &cancel) { cancel = false; }

} // namespace zimo
