#include "platform/qt/qtappinfo.h"

#include <QCoreApplication>
#include <QDir>

namespace zimo {

QString QtAppInfo::path() const
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

} // namespace zimo
