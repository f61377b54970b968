#include "markup/markupcommands.h"

namespace zimo {

// Placeholder bodies until the markup commands land.
void MarkupCommands::mnuEditConversion_Click() {}
void MarkupCommands::mnuEditDelete_Click() {}
void MarkupCommands::mnuEditCenter_Click() {}
void MarkupCommands::mnuEditPlug_1_Click() {}
void MarkupCommands::mnuEditPlug_2_Click() {}
void MarkupCommands::mnuEditBack_Click() {}
void MarkupCommands::mnuOptionline_Click() {}

} // namespace zimo
