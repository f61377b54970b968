#include "document/draftkeeper.h"

#include "document/encoding.h"
#include "document/loadtext.h"
#include "platform/filenames.h"
#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

} // namespace

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
}

DraftKeeper::~DraftKeeper()
{
    // A job still running reports back to this object; it has to end first.
    m_worker.waitForDone();
}

void DraftKeeper::startUp(const QString &commandLinePath)
{
    bool restored = false;
    bool draftUsed = false;
    if (const auto bytes = readWholeFile(m_path)) {
        // A file that is no whole draft is not offered; the next draft replaces it.
        if (const auto draft = decodeDraft(*bytes)) {
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
    if (draftUsed) {
        // The restored document is written again as a draft of this run.
        textEdited();
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

void DraftKeeper::documentStateChanged()
{
    if (!m_active)
        return;
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
    // One job at a time: the worker's next look comes when this one has reported back.
    if (m_busy)
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
    std::function<QString()> snapshot = m_s.Text1.textSnapshot();
    const QString fileText = m_doc.file_text();
    Draft state;
    for (const FieldRow &row : fieldRows)
        state.fields.append({QByteArray(row.name), row.get(m_s, m_doc)});
    addStamp(state, m_doc.fileStamp());

    auto job = [fileText, state = std::move(state), folder = m_folder,
                path = m_path](const std::function<QString()> &snapshot) mutable {
        Result result;
        state.text = snapshot();
        if (state.text == fileText) {
            // The document is as the file holds it: nothing to keep.
            if (QFileInfo::exists(path) && !QFile::remove(path))
                result = {false, QStringLiteral("古い控えを消せません。")};
            return result;
        }
        // The folder is the user's alone: drafts may hold private text.
        if (!QFileInfo::exists(folder)) {
            const QFileInfo info(folder);
            if (!QDir().mkpath(info.path()) ||
                !QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner))
                return Result{false, QStringLiteral("フォルダ「%1」を作れません。").arg(folder)};
        }
        QString error;
        if (!writeFileAtomically(path, encodeDraft(state), &error, PrivateFile))
            result = {false, error};
        return result;
    };

    m_busy = true;
    if (!m_background) {
        finished(job(snapshot));
        return;
    }
    m_worker.start([this, job = std::move(job), snapshot = std::move(snapshot)]() mutable {
        const Result result = job(snapshot);
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
    QFile::remove(m_path);
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
