#include "document/draftkeeper.h"

#include "document/encoding.h"
#include "document/loadtext.h"
#include "platform/filenames.h"
#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zimo {

namespace {

const QString askRestore = QStringLiteral("前回保存されなかった編集内容があります。復元しますか？");
constexpr int styleRestore = MsgStyle::YesNo + MsgStyle::Question; // 36
constexpr int styleFailure = MsgStyle::Exclamation;                // 48
constexpr int styleNotLoaded = MsgStyle::Exclamation;              // 48

// The start-up question: the old question first, then the file the text belongs to.
QString restorePrompt(const Draft &draft)
{
    const QString file = draft.field("file").value_or(QString());
    const bool ownFile = !file.isEmpty() && draft.field("overwrite") == QStringLiteral("1");
    return askRestore + QStringLiteral("\n\n") +
           (ownFile ? QStringLiteral("ファイル：%1").arg(displayFileName(file))
                    : QStringLiteral("ファイル：なし（まだ保存していない文書）"));
}

QString notLoadedPrompt(const QString &path)
{
    return QStringLiteral("前回の文書を復元したので、起動時に指定されたファイル「%1」は"
                          "読み込んでいません。")
        .arg(displayFileName(path));
}

// The stamp of the file the document was read from or last written to, in three fields of their
// own. A draft without them (written before they existed) is restored without the comparison.
const char *const sizeField = "size";
const char *const modifiedField = "modified";
const char *const hashField = "hash";

void addStamp(Draft &draft, const std::optional<FileStamp> &stamp)
{
    if (!stamp)
        return;
    draft.fields.append({sizeField, QString::number(stamp->size)});
    draft.fields.append(
        {modifiedField, QString::number(stamp->modified.toMSecsSinceEpoch())});
    draft.fields.append({hashField, QString::fromLatin1(stamp->hash)});
}

std::optional<FileStamp> stampIn(const Draft &draft)
{
    const auto size = draft.field(sizeField);
    const auto modified = draft.field(modifiedField);
    const auto hash = draft.field(hashField);
    if (!size || !modified || !hash)
        return std::nullopt;
    FileStamp stamp;
    bool sizeOk = false;
    bool timeOk = false;
    stamp.size = size->toLongLong(&sizeOk);
    const qint64 ms = modified->toLongLong(&timeOk);
    stamp.modified = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    stamp.hash = hash->toLatin1();
    if (!sizeOk || stamp.size < 0 || !timeOk || !stamp.hash.contains(':'))
        return std::nullopt;
    return stamp;
}

QString failurePrompt(const QString &path, const QString &reason)
{
    return QStringLiteral("自動保存ファイルを書き込めません。\n\n%1\n%2\n\n"
                          "ZIMO が異常終了すると、上書きまたは保存していない編集内容は失われます。"
                          "このメッセージは次回の起動まで表示しません。")
        .arg(path, reason.isEmpty() ? QStringLiteral("原因は不明です。") : reason);
}

// The document state a draft holds besides the text, one row a field: its name in the file,
// how it is read from the program and how it is put back. Fields are put back in this order,
// before the text.
struct FieldRow
{
    const char *name;
    QString (*get)(Services &, DocumentCommands &);
    void (*set)(Services &, DocumentCommands &, const QString &);
};

const FieldRow fieldRows[] = {
    {"file", [](Services &s, DocumentCommands &) { return s.CommonDialog1.fileName; },
     [](Services &s, DocumentCommands &, const QString &v) { s.CommonDialog1.fileName = v; }},
    {"overwrite",
     [](Services &s, DocumentCommands &) {
         return s.mnuFileOverwrite.isEnabled() ? QStringLiteral("1") : QStringLiteral("0");
     },
     [](Services &s, DocumentCommands &, const QString &v) {
         s.mnuFileOverwrite.setEnabled(v == QLatin1String("1"));
     }},
    // The encoding the document is written in, with its byte-order mark and how it was come to.
    {"encoding",
     [](Services &, DocumentCommands &d) { return encoding::displayName(d.encoding().encoding); },
     [](Services &, DocumentCommands &d, const QString &v) {
         for (const Encoding e : DocumentCommands::reopenChoices())
             if (encoding::displayName(e) == v)
                 d.setEncoding({e, d.encoding().bom}, d.encodingOrigin());
     }},
    {"bom",
     [](Services &, DocumentCommands &d) {
         return d.encoding().bom ? QStringLiteral("1") : QStringLiteral("0");
     },
     [](Services &, DocumentCommands &d, const QString &v) {
         d.setEncoding({d.encoding().encoding, v == QLatin1String("1")}, d.encodingOrigin());
     }},
    // How an EUC-JP page writes the characters beyond JIS X 0208 (0 standard, 1 Windows, 2 eucJP-ms).
    {"form",
     [](Services &, DocumentCommands &d) { return QString::number(int(d.encoding().form)); },
     [](Services &, DocumentCommands &d, const QString &v) {
         const int form = v.toInt();
         if (form >= int(EncodingForm::Standard) && form <= int(EncodingForm::Ms))
             d.setEncoding({d.encoding().encoding, d.encoding().bom, EncodingForm(form)},
                           d.encodingOrigin());
     }},
    {"origin",
     [](Services &, DocumentCommands &d) { return QString::number(int(d.encodingOrigin())); },
     [](Services &, DocumentCommands &d, const QString &v) {
         const int origin = v.toInt();
         if (origin >= int(EncodingOrigin::Default) && origin <= int(EncodingOrigin::Chosen))
             d.setEncoding(d.encoding(), EncodingOrigin(origin));
     }},
};

using Fields = QList<std::pair<QByteArray, QString>>;

// An edit larger than this is not copied on the key's thread: the next draft takes the text's
// snapshot instead, which costs less than reading so many characters out of the text area.
constexpr qsizetype largestEdit = qsizetype(1) << 22;
// Nor are more characters than this kept between two drafts (a page being loaded in chunks,
// pastes without end): the draft takes the snapshot.
constexpr qsizetype mostPending = qsizetype(1) << 20;
// The journal starts again on the text as it is once the text is made of this many pieces, so
// that an edit (which walks the pieces) stays cheap and a recovery quick.
constexpr qsizetype mostPieces = 16384;
// The journal starts again on the text as it is once it is larger than the text in UTF-16 and
// than this (small pages are not written anew for every few edits).
constexpr qint64 smallestJournalRestart = 64 * 1024;

QByteArray newBaseId()
{
    const quint64 n = QRandomGenerator::system()->generate64();
    return QByteArray::number(n, 36);
}

} // namespace

// The worker's side. Only jobs touch it, one after another.
struct DraftKeeper::Store
{
    QString folder;
    QString path;
    // The text the journal is at: its base and the edits since.
    EditedText text;
    QByteArray baseId;     // the base's file; empty for an empty base (no file)
    qint64 draftSize = -1; // bytes of the journal written over this base; -1: no draft
    bool stale = false;    // the draft on disk lacks edits (a write failed): write it anew

    // The text as the main thread took it: a draft when it differs from file_text, and in any
    // case the base of the edits to come. `keep` false (start-up): the base only; the draft
    // folder's draft is left as it is until the first edit's draft replaces it.
    Result whole(const QString &now, const QString &fileText, const Fields &fields, bool keep)
    {
        if (!keep)
            return startOn(now, nullptr, false);
        if (now == fileText) {
            if (Result r = removeDraft(); !r.ok)
                return r;
            return startOn(fileText, nullptr);
        }
        return startOn(now, &fields);
    }

    // The edits since the last draft.
    Result append(const QList<DraftEdit> &edits, const QString &fileText, const Fields &fields)
    {
        for (const DraftEdit &e : edits)
            if (!text.apply(e))
                return {true, {}, true};
        if (text.equals(fileText)) {
            // Typed back to the file: nothing to keep.
            if (Result r = removeDraft(); !r.ok)
                return r;
            if (text.base().constData() == fileText.constData() && !stale) {
                text = EditedText(text.base());
                return {};
            }
            return startOn(fileText, nullptr);
        }
        if (stale)
            return startOn(text.text(), &fields);
        const QByteArray record = encodeJournalRecord(fields, edits);
        if (draftSize < 0) {
            // The first draft over this base: the text was the base before these edits.
            return writeDraft(encodeJournalStart(baseId, text.base().size()) + record);
        }
        // Grown larger than the text: start again on the text as it is.
        if (draftSize + record.size() > std::max(2 * qint64(text.size()), smallestJournalRestart) ||
            text.pieceCount() > mostPieces)
            return startOn(text.text(), &fields);
        return appendRecord(record, fields);
    }

    // The end of the program: no draft and no base stays.
    void removeAll()
    {
        QFile::remove(path);
        dropBasesExcept({});
        draftSize = -1;
    }

    Result removeDraft()
    {
        draftSize = -1;
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
            if (!QFile::remove(path)) {
                stale = true;
                return {false, QStringLiteral("古い控えを消せません。")};
            }
        }
        return {};
    }

    // `base` becomes the text the journal is at: written to a base file of its own (a new name,
    // so that a draft written earlier keeps its base until the new draft is in place), then,
    // with `fields`, a draft of it without edits; then the other bases go.
    Result startOn(const QString &base, const Fields *fields, bool removeOld = true)
    {
        text = EditedText(base);
        draftSize = -1;
        stale = true;
        const QByteArray id = base.isEmpty() ? QByteArray() : newBaseId();
        if (!id.isEmpty()) {
            if (Result r = makeFolder(); !r.ok)
                return r;
            QString error;
            if (!writeFileAtomically(folder + QLatin1Char('/') + baseFileName(id),
                                     baseFileBytes(base), &error, PrivateFile))
                return {false, error};
        }
        baseId = id;
        if (fields) {
            if (Result r = writeDraft(encodeJournalStart(id, base.size()) +
                                      encodeJournalRecord(*fields, {}));
                !r.ok)
                return r;
        } else if (removeOld && QFileInfo::exists(path)) {
            // A draft of an older base is no draft of this one.
            if (Result r = removeDraft(); !r.ok)
                return r;
        }
        stale = false;
        dropBasesExcept(id);
        return {};
    }

    Result writeDraft(const QByteArray &bytes)
    {
        if (Result r = makeFolder(); !r.ok)
            return r;
        QString error;
        if (!writeFileAtomically(path, bytes, &error, PrivateFile)) {
            stale = true;
            return {false, error};
        }
        draftSize = bytes.size();
        return {};
    }

    // Appends a record to the draft. The draft has to be the file this program wrote, as long as
    // it was left: a regular file of the user's own, readable by the user alone, not a link
    // (never written through), with one name; otherwise it is written anew beside it. A failed
    // write is cut off again, so the journal ends with a whole record.
    Result appendRecord(const QByteArray &record, const Fields &fields)
    {
        const QByteArray name = QFile::encodeName(path);
        // O_NONBLOCK: a FIFO planted at the name would otherwise hold the worker until read.
        const int fd =
            ::open(name.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            st.st_nlink != 1 || (st.st_mode & 077) != 0 || st.st_size != draftSize) {
            if (fd >= 0)
                ::close(fd);
            return startOn(text.text(), &fields);
        }
        qsizetype done = 0;
        int err = 0;
        while (done < record.size()) {
            const ssize_t n = ::write(fd, record.constData() + done, size_t(record.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                err = n < 0 ? errno : ENOSPC;
                break;
            }
            done += n;
        }
        if (err == 0 && ::fdatasync(fd) != 0)
            err = errno;
        if (err != 0) {
            if (::ftruncate(fd, draftSize) != 0)
                stale = true;
            ::close(fd);
            stale = true;
            return {false, describeWriteFailure(path, err)};
        }
        ::close(fd);
        draftSize += record.size();
        return {};
    }

    // The folder is the user's alone: drafts may hold private text.
    Result makeFolder()
    {
        if (QFileInfo::exists(folder))
            return {};
        const QFileInfo info(folder);
        if (!QDir().mkpath(info.path()) ||
            !QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner))
            return {false, QStringLiteral("フォルダ「%1」を作れません。").arg(folder)};
        return {};
    }

    void dropBasesExcept(const QByteArray &id)
    {
        const QString keep = id.isEmpty() ? QString() : baseFileName(id);
        const QStringList bases =
            QDir(folder).entryList({QStringLiteral("base-*")}, QDir::Files | QDir::System | QDir::Hidden);
        for (const QString &name : bases)
            if (name != keep)
                QFile::remove(folder + QLatin1Char('/') + name);
    }
};

DraftKeeper::DraftKeeper(Services &services, DocumentCommands &document, const QString &folder,
                         DraftTiming timing)
    : m_s(services), m_doc(document), m_folder(folder),
      m_path(folder + QStringLiteral("/draft")), m_timing(timing)
{
    m_elapsed.start();
    m_clock = [this] { return m_elapsed.elapsed(); };
    m_worker.setMaxThreadCount(1);
    m_timer.setInterval(m_timing.pollMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    m_store = std::make_shared<Store>();
    m_store->folder = m_folder;
    m_store->path = m_path;
    m_journaled = m_s.Text1.reportEdits([this](const TextEdit &edit) { takeEdit(edit); });
}

DraftKeeper::~DraftKeeper()
{
    m_s.Text1.reportEdits({});
    // A job still running reports back to this object; it has to end first.
    m_worker.waitForDone();
}

void DraftKeeper::startUp(const QString &commandLinePath)
{
    bool restored = false;
    bool draftUsed = false;
    if (QFileInfo::exists(m_path)) {
        // A file that is no whole draft is not offered; the next draft replaces it.
        if (const auto draft = readDraft(m_path)) {
            if (m_s.messageBox.show(restorePrompt(*draft), styleRestore) == MsgAnswer::Yes) {
                restored = true;
                draftUsed = restore(*draft);
            }
            // Answered No, or the file as it is now chosen instead: the draft is not wanted.
            if (!draftUsed)
                QFile::remove(m_path);
        }
    }
    m_active = true;
    // The text as it is now is what the edits to come are kept against; a restored document is
    // written again at once as a draft of this run (its old base is removed after that).
    takeWholeText();
    if (draftUsed) {
        textEdited();
    } else {
        m_keepWhole = false;
        save();
    }
    if (commandLinePath.isEmpty())
        return;
    // The command line's file is inserted into an empty document only: the restored one is left
    // as it was, and the user is told.
    if (restored)
        m_s.messageBox.show(notLoadedPrompt(commandLinePath), styleNotLoaded);
    else
        load_text(m_s, commandLinePath, m_doc.encoding().encoding);
}

bool DraftKeeper::restore(const Draft &draft)
{
    for (const FieldRow &row : fieldRows)
        if (const auto value = draft.field(row.name))
            row.set(m_s, m_doc, *value);
    return m_doc.restoreDraft(draft.text, stampIn(draft));
}

void DraftKeeper::textEdited()
{
    if (!m_active)
        return;
    const qint64 now = m_clock();
    m_lastEdit = now;
    if (!m_dirty) {
        m_dirty = true;
        m_firstEdit = now;
    }
    if (!m_timer.isActive())
        m_timer.start();
}

void DraftKeeper::takeEdit(const TextEdit &edit)
{
    // A page coming in over time is not an edit: once it is in, the journal starts again from
    // it; cancelled, the earlier text is back unchanged.
    if (!m_active || m_whole || m_doc.isLoading())
        return;
    if (edit.position < 0 || edit.removed < 0 || edit.added > largestEdit ||
        m_pendingChars + edit.added > mostPending) {
        takeWholeText();
        return;
    }
    m_pendingChars += edit.added;
    QString added = edit.added > 0 ? edit.addedText() : QString();
    if (!m_edits.isEmpty()) {
        DraftEdit &last = m_edits.last();
        const qsizetype lastEnd = last.position + last.added.size();
        // Typing on after the last edit: one edit.
        if (edit.removed == 0 && edit.position == lastEnd) {
            last.added += added;
            return;
        }
        // Backspace over what was just typed.
        if (added.isEmpty() && edit.position + edit.removed == lastEnd &&
            edit.removed <= last.added.size()) {
            last.added.chop(edit.removed);
            if (last.added.isEmpty() && last.removed == 0)
                m_edits.removeLast();
            return;
        }
    }
    m_edits.append({edit.position, edit.removed, std::move(added)});
}

void DraftKeeper::takeWholeText()
{
    m_whole = true;
    m_edits.clear();
    m_pendingChars = 0;
}

void DraftKeeper::documentStateChanged()
{
    if (!m_active)
        return;
    // The text may have been replaced, file_text has changed: the journal starts again.
    m_keepWhole = true;
    takeWholeText();
    textEdited();
    m_urgent = true;
    poll();
}

void DraftKeeper::poll()
{
    if (!m_active || !m_dirty) {
        m_timer.stop();
        return;
    }
    // One job at a time: the worker's next look comes when this one has reported back. While a
    // page comes in, the text is half of it: the draft waits for the open to end.
    if (m_busy || m_doc.isLoading())
        return;
    const qint64 now = m_clock();
    if (m_urgent || now - m_lastEdit >= m_timing.pauseMs || now - m_firstEdit >= m_timing.longestMs)
        save();
}

void DraftKeeper::save()
{
    m_dirty = false;
    m_urgent = false;
    m_timer.stop();

    // What the draft holds, taken now on this thread; the O(n) work is the worker's.
    const QString fileText = m_doc.file_text();
    Draft state;
    for (const FieldRow &row : fieldRows)
        state.fields.append({QByteArray(row.name), row.get(m_s, m_doc)});
    addStamp(state, m_doc.fileStamp());

    std::function<QString()> snapshot;
    std::function<Result()> job;
    if (m_whole || !m_journaled) {
        // The whole text: the text box's snapshot, turned into the text on the worker.
        snapshot = m_s.Text1.textSnapshot();
        m_whole = !m_journaled;
        m_edits.clear();
        m_pendingChars = 0;
        job = [store = m_store, snapshot, fileText, fields = std::move(state.fields),
               keep = std::exchange(m_keepWhole, true)] {
            return store->whole(snapshot(), fileText, fields, keep);
        };
    } else {
        m_pendingChars = 0;
        job = [store = m_store, edits = std::exchange(m_edits, {}), fileText,
               fields = std::move(state.fields)] {
            return store->append(edits, fileText, fields);
        };
    }
    run(std::move(job), std::move(snapshot));
}

void DraftKeeper::run(std::function<Result()> job, std::function<QString()> snapshot)
{
    m_busy = true;
    if (!m_background) {
        finished(job());
        return;
    }
    m_worker.start([this, job = std::move(job), snapshot = std::move(snapshot)]() mutable {
        const Result result = job();
        // The snapshot's memory is given back on this thread, which took it: freed on the worker,
        // the allocator returns its pages to the system and the next snapshot has to fault them
        // in again, which doubled its cost (docs/performance/drafts.md).
        QMetaObject::invokeMethod(
            this, [this, result, snapshot = std::move(snapshot)] { finished(result); },
            Qt::QueuedConnection);
        m_jobsDone.release();
    });
}

void DraftKeeper::finished(const Result &result)
{
    m_busy = false;
    if (!m_active)
        return;
    if (result.lost) {
        // The edits did not fit the text the journal is at: the whole text is taken at once.
        takeWholeText();
        textEdited();
        m_urgent = true;
    }
    if (!result.ok && !m_warned) {
        // Not fatal: the user is told once a run and typing goes on. The next edit tries again.
        m_warned = true;
        m_s.messageBox.show(failurePrompt(m_path, result.error), styleFailure);
    }
    if (m_urgent)
        poll();
    else if (m_dirty && !m_timer.isActive())
        m_timer.start();
}

void DraftKeeper::programEnded()
{
    m_active = false;
    m_dirty = false;
    m_timer.stop();
    m_worker.waitForDone();
    m_store->removeAll();
}

void DraftKeeper::waitForWriting()
{
    // A report can hand over the next job (a removal asked for while a write ran). The worker
    // thread stays: QThreadPool::waitForDone() would end it, and the next draft would have to
    // start a thread again.
    while (m_busy) {
        m_jobsDone.acquire();
        // The worker's reports wait in the event queue.
        QCoreApplication::sendPostedEvents(this);
    }
}

} // namespace zimo
