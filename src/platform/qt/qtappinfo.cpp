#include "platform/qt/qtappinfo.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>

namespace zimo {

QString QtAppInfo::path() const
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

void QtAppInfo::setBusy(bool busy)
{
    // The override cursors stack, so nested calls restore the right one.
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

} // namespace zimo
