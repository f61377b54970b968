#pragma once

#include "document/documentcommands.h"
#include "document/draft.h"
#include "platform/services.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <memory>

namespace zimo {

// When drafts are written.
struct DraftTiming
{
    // A draft is written once no edit came for this long...
    qint64 pauseMs = 1000;
    // ...or, during long typing, once the oldest edit it lacks is this old.
    qint64 longestMs = 5000;
    // How often the timer looks while the draft is out of date.
    int pollMs = 250;
};

// Keeps a draft of the document while it differs from file_text, so that nothing typed is lost
// when the program is killed, and offers it back at the next start (docs/drafts.md).
//
// Typing only marks the draft out of date and notes the edit the text box reports. A timer then
// writes it a short pause after the last edit, and during long typing at least every few
// seconds: as a record of the edits since the last draft, appended to a journal over the text
// the document was opened or last written with (its base, written once by the worker). The text
// is taken whole (the text box's snapshot) only when the document state changed (Open, New,
// Overwrite, Save, start-up) or the edits could not be followed; the worker alone writes bases,
// appends records, compares with file_text and starts the journal again when it has grown
// larger than the text. A draft equal to file_text is removed rather than written.
class DraftKeeper : public QObject
{
public:
    DraftKeeper(Services &services, DocumentCommands &document,
                const QString &folder = defaultDraftFolder(), DraftTiming timing = DraftTiming());
    ~DraftKeeper() override;

    // The draft file.
    QString path() const { return m_path; }

    // Milliseconds from any fixed point; the default is a monotonic clock. Tests set their own.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // Whether the file work runs on the worker thread (the default) or at once, in the caller's
    // thread (tests).
    void setBackground(bool background) { m_background = background; }

    // Start-up: a draft left behind by a run that did not end normally leads to the question
    // "前回保存されなかった編集内容があります。復元しますか？" (naming its file); Yes restores it
    // (DocumentCommands::restoreDraft), No removes it. From then on drafts are kept; edits before
    // are not the user's. Then the command line's document (`commandLinePath`, may be empty) is
    // inserted with load_text, unless a document was restored: the user is told instead.
    void startUp(const QString &commandLinePath = QString());
    // The text changed. Constant time: it runs on every keystroke.
    void textEdited();
    // A command changed the document state (file_text, the current file name, "上書き(&S)"):
    // the draft is brought up to date at once.
    void documentStateChanged();
    // The timer's look: writes, replaces or removes the draft when it is due.
    void poll();
    // The program ends normally: nothing more is written and the draft is removed.
    void programEnded();
    // Waits until the file work handed to the worker is done.
    void waitForWriting();

    // Whether a draft is out of date and waits for the timer.
    bool isPending() const { return m_dirty; }

    // The worker's side: the draft folder's files and the text the journal is at (public for the
    // implementation's helpers only).
    struct Store;
    struct Result
    {
        bool ok = true;
        QString error;
        // The edits did not fit the text the journal is at: the next draft takes the whole text.
        bool lost = false;
    };

private:
    // An edit the text box reported.
    void takeEdit(const TextEdit &edit);
    // Takes the whole text at the next draft (the edits since are not enough).
    void takeWholeText();
    void save();
    void run(std::function<Result()> job, std::function<QString()> snapshot);
    void finished(const Result &result);
    // Whether the draft's text was taken (not the file as it is now).
    bool restore(const Draft &draft);

    Services &m_s;
    DocumentCommands &m_doc;
    const QString m_folder;
    const QString m_path;
    const DraftTiming m_timing;
    QElapsedTimer m_elapsed;
    std::function<qint64()> m_clock;
    bool m_background = true;

    bool m_active = false;  // between startUp() and programEnded()
    bool m_dirty = false;   // the draft lacks edits
    bool m_urgent = false;  // ... and is to be written without waiting for a pause
    bool m_busy = false;    // a job is with the worker
    bool m_warned = false;  // the failure message was shown in this run
    bool m_journaled = false; // the text box reports its edits
    bool m_whole = true;    // the next draft takes the whole text, not the edits
    bool m_keepWhole = true; // ... and keeps it as a draft even before an edit (not at start-up)
    // The edits since the last draft, neighbouring typing joined into one.
    QList<DraftEdit> m_edits;
    qsizetype m_pendingChars = 0; // characters added by them
    std::shared_ptr<Store> m_store;
    qint64 m_firstEdit = 0; // the oldest edit the draft lacks
    qint64 m_lastEdit = 0;

    QTimer m_timer;
    // One thread: jobs run one after another in the order given, so a removal never comes
    // before a write handed over earlier.
    QThreadPool m_worker;
    // Released by every job when it has handed in its report.
    QSemaphore m_jobsDone;
};

} // namespace zimo
