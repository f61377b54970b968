#include "platform/qt/qtcommondialog.h"

#include <QStringList>

namespace zimo {

std::optional<QString> QtCommonDialog::askOpenFileName(const QString &, const QString &)
{
    return std::nullopt;
}

std::optional<QString> QtCommonDialog::askSaveFileName(const QString &, const QString &)
{
    return std::nullopt;
}

std::optional<FontChoice> QtCommonDialog::askFont(const std::optional<FontChoice> &)
{
    return std::nullopt;
}

bool QtCommonDialog::askPrinter()
{
    return false;
}

QStringList qtNameFilters(const QString &)
{
    return {};
}

} // namespace zimo
