#pragma once

#include "document/documentfile.h"
#include "document/encoding.h"
#include "document/keptlines.h"
#include "platform/services.h"
#include "platform/textloader.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>

namespace zimo {

// The document state and the File menu: the current file name (CommonDialog1's fileName),
// file_text, the enabled state of "上書き(&S)", and the procedures that read and write documents.
class DocumentCommands
{
public:
    explicit DocumentCommands(Services &services) : m_s(services) {}
    // Waits for a page still being read on the worker thread.
    ~DocumentCommands();
    DocumentCommands(const DocumentCommands &) = delete;
    DocumentCommands &operator=(const DocumentCommands &) = delete;

    // Pages of at least `threshold` bytes are opened over time through `loader` (read and
    // decoded on a worker thread, then put into the text box in steps) instead of at once.
    // Without a loader every page is opened at once.
    void setTextLoader(TextLoader *loader, qint64 threshold);
    // Whether an open is under way: the document is still the one before it until the open
    // completes, and only cancelLoad() may change it meanwhile.
    bool isLoading() const { return bool(m_load); }
    // The file being opened; empty when none is.
    QString loadingPath() const;
    // Stops the open under way; the document stays exactly as it was before it.
    void cancelLoad();
    // Runs when an open over time starts and when it ends (completed, cancelled or failed).
    std::function<void()> onLoadingChanged;
    // Makes Open take file_text back from the text box after putting the text in, as it did
    // before it used the decoded text: the benchmark's baseline, measured in the same run.
    void setBaselineFromTextBox(bool on) { m_baselineFromTextBox = on; }

    // The text as of the last Open, Overwrite or New.
    const QString &file_text() const { return m_file_text; }
    // Whether the text differs from file_text.
    bool changed() const;

    // The encoding the document is written in (with its byte-order mark or not), and how it came
    // to it. Open sets it from the file, New back to code page 932.
    TextEncoding encoding() const { return m_encoding; }
    EncodingOrigin encodingOrigin() const { return m_encodingOrigin; }
    // Sets both, e.g. when a document is restored; tells the listener.
    void setEncoding(TextEncoding encoding, EncodingOrigin origin);
    // Called whenever the encoding or its origin changes (the status bar shows them).
    void setEncodingListener(std::function<void()> listener) { m_encodingListener = std::move(listener); }

    // The choices of the status bar's encoding menu.
    static QList<Encoding> reopenChoices();
    static QList<TextEncoding> writeChoices();
    // Whether the document has a file to read again (as for "上書き(&S)").
    bool canReopen() const;
    // Reads the current file again in `encoding`, after the Open question when the text was
    // changed. Refused with a message when that reading would not give back the file's bytes.
    void reopenIn(Encoding encoding);
    // Writes the document in `encoding` from now on; asks first when the page's own charset
    // declaration names another encoding (the declaration is not rewritten).
    void writeFromNowOn(TextEncoding encoding);

    // The open dialog, then the chosen file becomes the whole text (openDocument).
    void read_text();
    // The file at `path` becomes the whole text, the current file name and file_text, as after
    // the open dialog. A file that cannot be read is reported; one that is not there only when
    // `reportMissing` (a name typed in the dialog stays silent). Returns whether it was read.
    bool openDocument(const QString &path, bool reportMissing);
    // An open request from the desktop: the question of Open when the text was changed, then
    // openDocument, reporting a missing file too.
    void openFromDesktop(const QString &path);
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

    // The file at the current file name as this program last read or wrote it; nothing before
    // the first file (a draft records it).
    const std::optional<FileStamp> &fileStamp() const { return m_fileStamp; }

    // Puts a recovered draft's text in place. file_text becomes the file at the current file name
    // as Open reads it now (empty without a file or when it cannot be read), so the draft counts
    // as changed and the questions protect it. When the draft belongs to its file and `recorded`
    // (the file as it was known when the draft was written) no longer matches the file, the user
    // is told and chooses: the draft anyway, or the file as it is now, opened as by Open. Returns
    // false when the file was chosen (the draft's text is not used).
    bool restoreDraft(const QString &text, const std::optional<FileStamp> &recorded = {});
    // Runs after a command changed the document state: file_text, the current file name or the
    // enabled state of "上書き(&S)" (the draft keeper follows it).
    std::function<void()> onStateChanged;

private:
    // Shows the save dialog and writes the text to the chosen file. Returns whether it was
    // written; `text` receives what was written.
    bool saveThroughDialog(QString &text);
    // Writes `text` as a document file to `path`, asking first when some characters cannot be
    // written and reporting a failure. Returns whether the file now holds the text; `stamp` then
    // describes it.
    bool writeDocument(const QString &path, const QString &text, FileStamp &stamp);
    // Asks before the save dialog's choice replaces an existing file; true to go on.
    bool confirmReplace(const QString &path);
    // The file `bytes`, just read from `path`, becomes the document, as Open makes it: the text,
    // file_text, the current file name, "上書き(&S)", the recognised encoding, the kept lines.
    // A big page goes through the text loader and is the document only once it is in.
    // Returns whether the page is the document now (false: it is being loaded).
    bool takeFile(const QString &path, QByteArray bytes);

    // What Open learns from a file besides its text: the stamp and the lines that keep their
    // bytes. Made on any thread.
    struct FileFacts
    {
        FileStamp stamp;
        KeptLines keptLines;
        Encoding keptEncoding = Encoding::Cp932;
    };
    static FileFacts factsOf(const QString &path, QByteArrayView bytes, QStringView text,
                             TextEncoding e);
    // The file read from `path` as `file`, whose text the text box now holds, becomes the document.
    void adoptFile(const QString &path, encoding::DecodedFile file, FileFacts facts);

    // An open over time: the worker reads and decodes, the loader fills the text box.
    struct Load;
    // Starts opening `path` over time; `bytes` when they are already read.
    void startLoad(const QString &path, bool reportMissing, std::optional<QByteArray> bytes);
    // The worker's reports and the loader's end, on the main thread.
    void loadReadFailed(const std::shared_ptr<Load> &load, const QString &error);
    void loadHead(const std::shared_ptr<Load> &load, const QString &head);
    void loadDecoded(const std::shared_ptr<Load> &load, const encoding::DecodedFile &file);
    void loadShown(const std::shared_ptr<Load> &load, bool completed);
    void endLoad();
    // Whether a page of this many bytes goes through the loader.
    bool loadsOverTime(qint64 size) const { return m_loader && size >= m_loadThreshold; }
    // The questions of Exit and of closing the window; true when the program is to end.
    bool confirmEnd();
    void stateChanged()
    {
        if (onStateChanged)
            onStateChanged();
    }
    // The text just written becomes file_text.
    void takeWrittenAsBaseline(const QString &text);
    // After `bytes` (the whole file, byte-order mark and all) were read as `text` in `e`.
    void rememberKeptLines(QByteArrayView bytes, QStringView text, TextEncoding e);

    Services &m_s;
    QString m_file_text;
    TextEncoding m_encoding;
    EncodingOrigin m_encodingOrigin = EncodingOrigin::Default;
    std::function<void()> m_encodingListener;
    // Lines of file_text written back with the bytes they were read from, the encoding they were
    // read in, and those of them the last write used. They apply only to a write in that encoding.
    KeptLines m_keptLines;
    Encoding m_keptEncoding = Encoding::Cp932;
    QList<KeptSpan> m_writtenKept;
    std::optional<FileStamp> m_fileStamp;

    bool m_baselineFromTextBox = false;
    TextLoader *m_loader = nullptr;
    qint64 m_loadThreshold = 0;
    std::shared_ptr<Load> m_load;
    // The worker's reports are delivered through this object, on the main thread.
    std::unique_ptr<QObject> m_receiver = std::make_unique<QObject>();
    QThreadPool m_reader;
};

} // namespace zimo
