#pragma once

#include "platform/commondialog.h"

class QWidget;
class QPrinter;
class QFileDialog;

namespace zimo {

// CommonDialog1 over Qt's own (not the desktop's native) file, font and print dialogs, which speak
// Japanese with qtbase_ja.qm loaded.
class QtCommonDialog : public CommonDialog
{
public:
    QtCommonDialog(QWidget *parent, QPrinter *printer) : m_parent(parent), m_printer(printer) {}

protected:
    std::optional<QString> askOpenFileName(const QString &filter, const QString &current) override;
    std::optional<QString> askSaveFileName(const QString &filter, const QString &current) override;
    std::optional<FontChoice> askFont(const std::optional<FontChoice> &initial) override;
    bool askPrinter() override;

private:
    QWidget *m_parent;
    QPrinter *m_printer;
};

// Qt's name-filter list for a "|" filter: each description with its patterns in Qt's form
// ("ﾃｷｽﾄﾌｧｲﾙ(*.txt) (*.txt)"; ";" between patterns becomes a blank, "*.*" becomes "*").
QStringList qtNameFilters(const QString &filter);

// Runs a file or folder dialog modally: the first chosen path, or nothing when cancelled.
std::optional<QString> chosenPath(QFileDialog &dialog);

} // namespace zimo
