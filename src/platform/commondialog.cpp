#include "platform/commondialog.h"

#include <QList>

namespace zimo {

bool CommonDialog::showOpen()
{
    const auto chosen = chooseOpen();
    if (!chosen)
        return false;
    fileName = *chosen;
    return true;
}

bool CommonDialog::showSave()
{
    const auto chosen = chooseSave(fileName);
    if (!chosen)
        return false;
    fileName = *chosen;
    return true;
}

std::optional<QString> CommonDialog::chooseOpen()
{
    auto chosen = askOpenFileName(filter, fileName);
    if (chosen && chosen->isEmpty())
        chosen.reset();
    return chosen;
}

std::optional<QString> CommonDialog::chooseSave(const QString &offered)
{
    auto chosen = askSaveFileName(filter, offered);
    if (chosen && chosen->isEmpty())
        chosen.reset();
    return chosen;
}

bool CommonDialog::showFont()
{
    const auto chosen = askFont(font);
    if (!chosen)
        return false;
    font = *chosen;
    return true;
}

QList<FilterEntry> parseFilter(const QString &filter)
{
    QList<FilterEntry> entries;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries.append({parts[i], parts[i + 1]});
    return entries;
}

} // namespace zimo
