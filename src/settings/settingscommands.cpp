#include "settings/settingscommands.h"

namespace zimo {

// Placeholder bodies until the settings commands land.
void SettingsCommands::mnuOptionForm_Click() {}
void SettingsCommands::mnuExplorer_Click() {}
void SettingsCommands::mnuHelpPlay_Click() {}

} // namespace zimo
