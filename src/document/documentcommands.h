#pragma once

#include "platform/services.h"

#include <QString>

namespace zimo {

// The document state and the File menu: the current file name (CommonDialog1's fileName),
// file_text, the enabled state of "上書き(&S)", and the procedures that read and write documents.
class DocumentCommands
{
public:
    explicit DocumentCommands(Services &services) : m_s(services) {}

    // The text as of the last Open, Overwrite or New.
    const QString &file_text() const { return m_file_text; }
    // Whether the text differs from file_text.
    bool changed() const;

    void read_text();
    void save_text();
    void over_text();

    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuFileSave_Click();
    void mnuFileOverwrite_Click();
    void mnuFilePrint_Click();
    void mnuFileEnd_Click();
    // Closing the main window; sets `cancel` to keep it open.
    void Form_Unload(bool &cancel);

private:
    Services &m_s;
    QString m_file_text;
};

} // namespace zimo
