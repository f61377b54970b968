#pragma once

#include "platform/services.h"

namespace zimo {

// The Option menu's "書式(&G)...", the bar's "エクスプローラ(&E)" and the Help menu's
// "トピック(&H)".
class SettingsCommands
{
public:
    explicit SettingsCommands(Services &services) : m_s(services) {}

    void mnuOptionForm_Click();
    void mnuExplorer_Click();
    void mnuHelpPlay_Click();

private:
    Services &m_s;
};

} // namespace zimo
