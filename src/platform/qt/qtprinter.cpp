#include "platform/qt/qtprinter.h"

#include <QPrinter>

namespace zimo {

QtPrinter::QtPrinter() : m_printer(std::make_unique<QPrinter>()) {}
QtPrinter::~QtPrinter() = default;

bool QtPrinter::printText(const QString &, QString *error)
{
    if (error)
        *error = QStringLiteral("not yet");
    return false;
}

} // namespace zimo
