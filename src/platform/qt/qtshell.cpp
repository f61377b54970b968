#include "platform/qt/qtshell.h"

#include "platform/filenames.h"
#include "platform/qt/qtcommondialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>

namespace zimo {

QtShell::~QtShell()
{
    delete m_help.data();
}

bool QtShell::openFolder(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    // The desktop's opener (xdg-open) gets the folder as a file URL, one argument of its own: no
    // command line is ever built from the path.
    return QDesktopServices::openUrl(fileUrl(folder));
}

bool QtShell::openInBrowser(const QString &file)
{
    if (file.isEmpty())
        return false;
    // As for a folder: xdg-open gets the file URL as its one argument, and the desktop's handler
    // for HTML (the default browser) shows it.
    // The URL is made from the name's bytes, so a name that is not UTF-8 reaches the browser whole.
    return QDesktopServices::openUrl(fileUrl(file));
}

std::optional<QString> QtShell::browseForFolder()
{
    QWidget *owner = m_dialogParent ? m_dialogParent.data() : m_parent;
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(QDir::homePath());
    return chosenPath(dialog);
}

bool QtShell::showHelp(const QString &helpFile, HelpCommand command, int topic)
{
    const QFileInfo info(helpFile);
    QFile file(helpFile);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    const QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());

    if (!m_help) {
        // A window of its own, like a help viewer: not owned by the main window, closed by the user
        // and made again when asked for.
        m_help = new QTextBrowser;
        m_help->setAttribute(Qt::WA_DeleteOnClose);
        m_help->setWindowTitle(QStringLiteral("ZIMO ヘルプ"));
        m_help->setOpenExternalLinks(true);
        m_help->resize(720, 560);
    }
    if (m_help->source().adjusted(QUrl::RemoveFragment) != url)
        m_help->setSource(url);

    if (m_help->isMinimized())
        m_help->showNormal();
    m_help->show();
    m_help->raise();
    m_help->activateWindow();

    if (command == HelpCommand::Topic) {
        m_help->scrollToAnchor(QStringLiteral("topic-%1").arg(topic));
    } else {
        m_help->horizontalScrollBar()->setValue(0);
        m_help->verticalScrollBar()->setValue(0);
    }
    return true;
}

} // namespace zimo
