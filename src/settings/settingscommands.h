#pragma once

#include "platform/services.h"

#include <QStringList>

namespace zimo {

// The Option menu's "書式(&G)...", the bar's "エクスプローラ(&E)" and the Help menu's
// "トピック(&H)".
class SettingsCommands
{
public:
    explicit SettingsCommands(Services &services) : m_s(services) {}

    // The font dialog: the choice goes to Text1 and into zimo_2.ini; Text1 never shows less
    // than 11 points afterwards.
    void mnuOptionForm_Click();
    // Opens the file manager on the folder kept in zimo.ini, or on the default folder.
    void mnuExplorer_Click();
    // The help page, at its contents and then at topic 9999.
    void mnuHelpPlay_Click();

private:
    Services &m_s;
};

// The help page's name, and the context number of the topic that help opens at.
inline const QString helpFileName = QStringLiteral("zimo.html");
constexpr int helpStartTopic = 9999;

// Where the help page is looked for, in order: beside the program (the build folder and a
// portable copy), then in the installed data folder ../share/zimo/ next to the program's folder.
QStringList helpFileCandidates(const QString &programFolder);

} // namespace zimo
