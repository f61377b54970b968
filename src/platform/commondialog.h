#pragma once

#include <QString>
#include <optional>

namespace zimo {

// The display font as the font dialog and the text box exchange it.
struct FontChoice
{
    QString name;
    double size = 0;
    bool bold = false;
    bool italic = false;
    bool operator==(const FontChoice &) const = default;
};

// CommonDialog1: one object for the open, save, font and printer dialogs. Its values (the file
// name, the font) last for the run; a cancelled dialog changes none of them. The toolkit supplies
// the modal dialogs through the ask*() functions.
class CommonDialog
{
public:
    virtual ~CommonDialog() = default;

    // "description|pattern|description|pattern|..."
    QString filter;
    // The chosen path; kept between uses and shown filled in by the next file dialog.
    QString fileName;
    // 1 = screen fonts, 2 = printer fonts (both listed by every font dialog here).
    int flags = 0;
    // The font dialog's values: its last confirmed choice; empty until the first one.
    std::optional<FontChoice> font;

    // Each returns true when the user confirmed.
    bool showOpen();
    bool showSave();
    // The open and save dialogs without taking the chosen path as fileName: for a caller that
    // adopts it only once the file has been read or written. The open dialog starts with fileName
    // filled in, the save dialog with `offered` (a path, a folder ending in "/", or nothing).
    // Nothing when cancelled.
    std::optional<QString> chooseOpen();
    std::optional<QString> chooseSave(const QString &offered);
    bool showFont();
    // The printer dialog's choice applies to the next print job; nothing is read back.
    bool showPrinter() { return askPrinter(); }

protected:
    virtual std::optional<QString> askOpenFileName(const QString &filter,
                                                   const QString &current) = 0;
    virtual std::optional<QString> askSaveFileName(const QString &filter,
                                                   const QString &current) = 0;
    // `initial` is empty on the first use in a run: the dialog then starts from its own defaults.
    virtual std::optional<FontChoice> askFont(const std::optional<FontChoice> &initial) = 0;
    virtual bool askPrinter() = 0;
};

// One entry of a "|" filter.
struct FilterEntry
{
    QString description;
    QString pattern;
};
QList<FilterEntry> parseFilter(const QString &filter);

} // namespace zimo
