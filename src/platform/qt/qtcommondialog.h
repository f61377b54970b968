#pragma once

#include "platform/commondialog.h"

class QWidget;
class QFileDialog;

namespace zimo {

class QtPrinter;

// CommonDialog1 over Qt's own (not the desktop's native) file, font and print dialogs, which speak
// Japanese with qtbase_ja.qm loaded.
class QtCommonDialog : public CommonDialog
{
public:
    // `printer` is the one the printer dialog sets up (none: the dialog is never shown).
    QtCommonDialog(QWidget *parent, QtPrinter *printer) : m_parent(parent), m_printer(printer) {}

protected:
    std::optional<QString> askOpenFileName(const QString &filter, const QString &current) override;
    std::optional<QString> askSaveFileName(const QString &filter, const QString &current) override;
    std::optional<FontChoice> askFont(const std::optional<FontChoice> &initial) override;
    bool askPrinter() override;

private:
    QWidget *m_parent;
    QtPrinter *m_printer;
};

// Qt's name-filter list for a "|" filter: each description with its patterns in Qt's form
// ("ﾃｷｽﾄﾌｧｲﾙ(*.txt) (*.txt)"; ";" between patterns becomes a blank, "*.*" becomes "*").
QStringList qtNameFilters(const QString &filter);

// Runs a file or folder dialog modally: the first chosen path, or nothing when cancelled.
std::optional<QString> chosenPath(QFileDialog &dialog);

} // namespace zimo
