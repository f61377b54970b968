#pragma once

#include "platform/printer.h"

#include <memory>

class QPrinter;

namespace zimo {

class QtPrinter : public Printer
{
public:
    QtPrinter();
    ~QtPrinter() override;
    bool printText(const QString &text, QString *error) override;
    // The printer the printer dialog sets up.
    QPrinter *qprinter() const { return m_printer.get(); }

private:
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace zimo
