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
    // The printer the printer dialog sets up, made on first use: Qt's printer loads the system's
    // print plugin (CUPS with its network libraries, a few MiB), which nobody who does not print
    // should pay for.
    QPrinter *qprinter();
    // Whether the printer has been made yet.
    bool hasQPrinter() const { return m_printer != nullptr; }

private:
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace zimo
