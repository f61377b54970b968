#include "settings/settingscommands.h"

#include "platform/files.h"
#include "settings/exploresettings.h"
#include "settings/fontsettings.h"
#include "settings/settingsfile.h"

#include <QFileInfo>

namespace zimo {

namespace {

// The minimum size Text1 shows after the font dialog, in points.
constexpr double minimumShownSize = 11;

QString joinPath(const QString &folder, const QString &name)
{
    // The root folder already ends with its separator.
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

} // namespace

QStringList helpFileCandidates(const QString &programFolder)
{
    // The folder above the program's (bin/ in an installed tree); the root is its own parent.
    const qsizetype slash = programFolder.lastIndexOf(u'/');
    const QString parent = slash <= 0 ? QStringLiteral("/") : programFolder.left(slash);
    return {joinPath(programFolder, helpFileName),
            joinPath(parent, QStringLiteral("share/zimo/") + helpFileName)};
}

void SettingsCommands::mnuOptionForm_Click()
{
    CommonDialog &dialog = m_s.CommonDialog1;
    TextBox &text = m_s.Text1;

    dialog.flags = 3; // screen fonts and printer fonts
    if (dialog.showFont() && dialog.font) {
        const FontChoice chosen = *dialog.font;
        text.setFontSize(double(float(chosen.size)));
        text.setFontName(chosen.name);
        text.setFontBold(chosen.bold);
        text.setFontItalic(chosen.italic);
        writeSettingsFile(m_s.messageBox, zimo2IniName, zimo2IniBytes(chosen));
    }
    if (text.fontSize() < minimumShownSize)
        text.setFontSize(minimumShownSize);
}

void SettingsCommands::mnuExplorer_Click()
{
    // The folder is passed on as it is read: an empty first line asks for an empty path, and a
    // path in another system's form is not rewritten. Whether the file manager starts is not
    // reported.
    m_s.shell.openFolder(readExploreFolderFile().value_or(defaultExploreFolder));
}

void SettingsCommands::mnuHelpPlay_Click()
{
    m_s.messageBox.show(QStringLiteral("まだ作ってません"), MsgStyle::OkOnly);

    const QStringList candidates = helpFileCandidates(m_s.app.path());
    QString helpFile;
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            helpFile = candidate;
            break;
        }
    }
    if (helpFile.isEmpty()) {
        m_s.messageBox.show(QStringLiteral("ヘルプファイル「%1」が見つかりません。\n%2")
                                .arg(helpFileName, candidates.join(u'\n')),
                            MsgStyle::Exclamation);
        return;
    }
    if (!m_s.shell.showHelp(helpFile, Shell::HelpCommand::Contents, 0)) {
        m_s.messageBox.show(QStringLiteral("ヘルプファイルを表示できません。\n%1").arg(helpFile),
                            MsgStyle::Exclamation);
        return;
    }
    m_s.shell.showHelp(helpFile, Shell::HelpCommand::Topic, helpStartTopic);
}

} // namespace zimo
