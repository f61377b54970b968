#pragma once

#include <QString>

namespace zimo {

// Prints one text followed by a line end as one job, in the printer's default font, on the printer
// last chosen in the printer dialog.
class Printer
{
public:
    virtual ~Printer() = default;
    // Returns false and sets `error` when there is no printer or the job failed.
    virtual bool printText(const QString &text, QString *error) = 0;
};

} // namespace zimo
