#pragma once

#include "platform/shell.h"

#include <QPointer>
#include <QTextBrowser>

class QWidget;

namespace zimo {

// Folders open in the desktop's file manager and pages in its browser (xdg-open on a file URL); the folder chooser is Qt's
// dialog; help is shown in a help window of the program's own.
class QtShell : public Shell
{
public:
    explicit QtShell(QWidget *parent = nullptr) : m_parent(parent) {}
    ~QtShell() override;
    bool openFolder(const QString &folder) override;
    std::optional<QString> browseForFolder() override;
    bool showHelp(const QString &helpFile, HelpCommand command, int topic) override;
    bool openInBrowser(const QString &file) override;
    // The owner of the folder chooser (Form2 while it is open).
    void setDialogParent(QWidget *parent) { m_dialogParent = parent; }
    // The help window while it is open.
    QTextBrowser *helpWindow() const { return m_help; }

private:
    QWidget *m_parent;
    QPointer<QWidget> m_dialogParent;
    QPointer<QTextBrowser> m_help;
};

} // namespace zimo
