#pragma once

#include "document/keptlines.h"
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

    // The open dialog, then the chosen file becomes the whole text.
    void read_text();
    // The save dialog, then the text is written to the chosen file.
    void save_text();
    // Writes the text to the current file name; nothing without one.
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
    // Shows the save dialog and writes the text to the chosen file. Returns whether it was
    // written; `text` receives what was written.
    bool saveThroughDialog(QString &text);
    // Writes `text` as a document file to `path`, asking first when some characters cannot be
    // written and reporting a failure. Returns whether the file now holds the text.
    bool writeDocument(const QString &path, const QString &text);
    // The questions of Exit and of closing the window; true when the program is to end.
    bool confirmEnd();
    // The text just written becomes file_text.
    void takeWrittenAsBaseline(const QString &text);

    Services &m_s;
    QString m_file_text;
    // Lines of file_text written back with the bytes they were read from, and those of them the
    // last write used. They apply only to a write in the encoding the document was read in.
    KeptLines m_keptLines;
    QList<KeptSpan> m_writtenKept;
};

} // namespace zimo
