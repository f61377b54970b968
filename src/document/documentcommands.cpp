#include "document/documentcommands.h"

#include "document/documentfile.h"
#include "platform/filenames.h"
#include "platform/files.h"


namespace zimo {

struct DocumentCommands::Load
{
    QString path;
    bool reportMissing = false;
    // Set on the main thread; the worker stops at its next step.
    std::atomic<bool> cancelled{false};
    // The loader was given the text.
    bool started = false;
    encoding::DecodedFile file;
    // Written by the worker as its last step; read on the main thread after waiting for it.
    std::optional<FileFacts> facts;
};

namespace {

// The file types of the open and save dialogs; the first entry is selected at first.
const QString documentFilter =
    QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|HTML形式(*.html)|*.html|その他(*.*)|*.*");

const QString askNew = QStringLiteral("今作成中のデータを破棄し、新しいデータを作りますか？");
const QString askOpen = QStringLiteral("現在のテキストを破棄してもよろしいですか？");
const QString askPrint = QStringLiteral("印刷します。よろしいですか？");
const QString askPrintTitle = QStringLiteral("印刷します。");
const QString askOverwrite = QStringLiteral("上書き保存しますか？");
const QString askEnd = QStringLiteral("終了します");

constexpr int styleNew = MsgStyle::YesNo + MsgStyle::Exclamation;         // 52
constexpr int styleOpen = MsgStyle::OkCancel + MsgStyle::Exclamation;     // 49
constexpr int stylePrint = MsgStyle::YesNo + MsgStyle::Question;          // 36
constexpr int styleOverwrite = MsgStyle::OkCancel + MsgStyle::Question;   // 33
constexpr int styleEnd = MsgStyle::OkCancel;                              // 1
constexpr int styleUnencodable = MsgStyle::OkCancel + MsgStyle::Exclamation; // 49
constexpr int styleFailure = MsgStyle::Exclamation;                        // 48
constexpr int styleDeclaration = MsgStyle::OkCancel + MsgStyle::Exclamation; // 49
constexpr int styleReplace = MsgStyle::YesNo + MsgStyle::Exclamation;       // 52
constexpr int styleFileChanged = MsgStyle::YesNo + MsgStyle::Exclamation;   // 52

QString replacePrompt(const QString &path)
{
    return QStringLiteral("ファイル「%1」は既にあります。\n\n置き換えますか？").arg(displayFileName(path));
}

QString timeText(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString fileChangedPrompt(const QString &path, const FileStamp &recorded, const FileStamp &now)
{
    return QStringLiteral("ファイル「%1」は、編集内容が自動保存された後に、ほかのプログラムによって"
                          "書き換えられています。\n\n"
                          "自動保存したときのファイル：%2 バイト、更新日時 %3\n"
                          "今のファイル：%4 バイト、更新日時 %5\n\n"
                          "［はい］自動保存された編集内容を復元します（上書きすると、ファイルに加え"
                          "られた変更は失われます）。\n"
                          "［いいえ］自動保存された編集内容を捨てて、ファイルを今の内容で開きます。")
        .arg(displayFileName(path))
        .arg(recorded.size)
        .arg(timeText(recorded.modified))
        .arg(now.size)
        .arg(timeText(now.modified));
}

QString fileGonePrompt(const QString &path, const QString &reason)
{
    return QStringLiteral("ファイル「%1」は、編集内容が自動保存された後に、削除されたか読めなく"
                          "なっています。\n\n%2\n\n自動保存された編集内容を復元します。")
        .arg(displayFileName(path), reason);
}

QString reopenRefusedPrompt(const QString &path, Encoding encoding)
{
    const QString name = encoding::displayName(encoding);
    return QStringLiteral("ファイル「%1」を %2 として開き直すことはできません。\n\n"
                          "%2 として読んで保存すると、元の内容と一致しない部分ができます。")
        .arg(displayFileName(path), name);
}

// The names of a charset declaration that mean the encoding.
bool declarationMatches(Encoding declared, Encoding written)
{
    if (declared == written)
        return true;
    // "utf-16" names either byte order.
    const auto utf16 = [](Encoding e) { return e == Encoding::Utf16LE || e == Encoding::Utf16BE; };
    return utf16(declared) && utf16(written);
}

QString declarationPrompt(const QString &declared, TextEncoding written)
{
    const QString name = encoding::statusText(written, EncodingOrigin::Recognised);
    return QStringLiteral("この文書の文字コードの宣言（charset=%1）は、これから保存する文字コード"
                          "「%2」と一致しません。\n\n"
                          "宣言は書き換えません。ブラウザなどで正しく表示されないことがあります。"
                          "\n\n「%2」で保存するように切り替えますか？")
        .arg(declared, name);
}

} // namespace

bool DocumentCommands::changed() const
{
    return m_s.Text1.text() != m_file_text;
}

void DocumentCommands::setEncoding(TextEncoding encoding, EncodingOrigin origin)
{
    // A mark only where the encoding has one.
    if (encoding::byteOrderMark({encoding.encoding, true}).isEmpty())
        encoding.bom = false;
    m_encoding = encoding;
    m_encodingOrigin = origin;
    if (m_encodingListener)
        m_encodingListener();
}

QList<Encoding> DocumentCommands::reopenChoices()
{
    return {Encoding::Cp932,     Encoding::Utf8,    Encoding::EucJp,
            Encoding::Iso2022Jp, Encoding::Utf16LE, Encoding::Utf16BE};
}

QList<TextEncoding> DocumentCommands::writeChoices()
{
    return {{Encoding::Cp932, false},     {Encoding::Utf8, false},    {Encoding::Utf8, true},
            {Encoding::EucJp, false},     {Encoding::Iso2022Jp, false},
            {Encoding::Utf16LE, true},    {Encoding::Utf16BE, true}};
}

bool DocumentCommands::canReopen() const
{
    return m_s.mnuFileOverwrite.isEnabled() && !m_s.CommonDialog1.fileName.isEmpty();
}

void DocumentCommands::reopenIn(Encoding encoding)
{
    if (!canReopen())
        return;
    if (changed() && m_s.messageBox.show(askOpen, styleOpen) != MsgAnswer::Ok)
        return;
    const QString path = m_s.CommonDialog1.fileName;
    QString error;
    std::optional<encoding::ForcedDecode> decoded;
    std::optional<QByteArray> bytes;
    {
        BusyScope busy(m_s.app);
        bytes = readWholeFile(path, &error);
        if (bytes)
            decoded = encoding::decodeAs(encoding, *bytes);
    }
    if (!decoded) {
        m_s.messageBox.show(readFailurePrompt(path, error), styleFailure);
        return;
    }
    if (!decoded->lossless) {
        m_s.messageBox.show(reopenRefusedPrompt(path, encoding), styleFailure);
        return;
    }
    {
        BusyScope busy(m_s.app);
        const TextEncoding read{encoding, decoded->bom, decoded->form};
        m_fileStamp = stampOf(path, *bytes);
        // Read in the chosen encoding, lines it would not write back keep their bytes.
        rememberKeptLines(*bytes, decoded->text, read);
        bytes.reset();
        // The text box gives back exactly the text it was given.
        m_s.Text1.setText(decoded->text);
        m_file_text = std::move(decoded->text);
        decoded.reset();
        setEncoding(read, EncodingOrigin::Chosen);
    }
    stateChanged();
}

void DocumentCommands::writeFromNowOn(TextEncoding encoding)
{
    QString declared;
    Encoding named = Encoding::Cp932;
    const QString text = m_s.Text1.text();
    if (encoding::hasDeclaration(text, &declared)) {
        const bool known = encoding::declaredEncoding(text, &named, nullptr);
        if ((!known || !declarationMatches(named, encoding.encoding)) &&
            m_s.messageBox.show(declarationPrompt(declared, encoding), styleDeclaration) !=
                MsgAnswer::Ok)
            return;
    }
    setEncoding(encoding, EncodingOrigin::Chosen);
    // The draft keeps the encoding the document is to be written in.
    stateChanged();
}

void DocumentCommands::read_text()
{
    CommonDialog &dialog = m_s.CommonDialog1;
    dialog.filter = documentFilter;
    const std::optional<QString> chosen = dialog.chooseOpen();
    if (!chosen)
        return;
    // A name typed in the dialog that names no file stays silent.
    openDocument(*chosen, false);
}

bool DocumentCommands::openDocument(const QString &path, bool reportMissing)
{
    // Nothing else changes the document while a page is being opened.
    if (m_load)
        return false;
    if (m_loader) {
        const PathInfo info = pathInfo(path);
        if (info.isFile && loadsOverTime(info.size)) {
            startLoad(path, reportMissing, std::nullopt);
            return true;
        }
    }
    QString error;
    std::optional<QByteArray> bytes;
    {
        BusyScope busy(m_s.app);
        bytes = readWholeFile(path, &error);
    }
    if (!bytes) {
        // The document stays exactly as it was, its file name too: Overwrite must never write
        // this text to a file it was not read from. A file that is there but cannot be read is
        // reported, and so is a missing one when asked for.
        const PathInfo info = pathInfo(path);
        if (reportMissing || info.exists || info.isLink)
            m_s.messageBox.show(readFailurePrompt(path, error), styleFailure);
        return false;
    }
    if (takeFile(path, std::move(*bytes)))
        stateChanged();
    return true;
}

void DocumentCommands::openFromDesktop(const QString &path)
{
    if (changed() && m_s.messageBox.show(askOpen, styleOpen) != MsgAnswer::Ok)
        return;
    openDocument(path, true);
}

namespace {

// The first lines of a file, decoded as the whole file is, for the first screen: up to the last
// LF byte within `limit` bytes. Only where an LF byte always is a line end of its own and the
// decoder keeps no state across it (code page 932, UTF-8, EUC-JP): the whole text then begins
// with exactly these characters. Nothing otherwise.
std::optional<QString> headOf(QByteArrayView bytes, qsizetype limit)
{
    if (bytes.size() <= limit)
        return std::nullopt;
    const encoding::Recognition r = encoding::recognise(bytes);
    const Encoding e = r.encoding.encoding;
    if (e != Encoding::Cp932 && e != Encoding::Utf8 && e != Encoding::EucJp)
        return std::nullopt;
    const qsizetype skip = encoding::byteOrderMark(r.encoding).size();
    const qsizetype lf = bytes.first(limit).lastIndexOf('\n');
    if (lf < skip)
        return std::nullopt;
    return encoding::decode(e, bytes.sliced(skip, lf + 1 - skip));
}

// Bytes decoded for the first screen: a few screens full of lines.
constexpr qsizetype headBytes = 64 * 1024;

} // namespace

bool DocumentCommands::takeFile(const QString &path, QByteArray bytes)
{
    if (loadsOverTime(bytes.size())) {
        startLoad(path, true, std::move(bytes));
        return false;
    }
    BusyScope busy(m_s.app);
    encoding::DecodedFile file = encoding::decodeFile(bytes);
    FileFacts facts = factsOf(path, bytes, file.text, file.recognition.encoding);
    bytes = QByteArray();
    m_s.Text1.setText(file.text);
    adoptFile(path, std::move(file), std::move(facts));
    return true;
}

DocumentCommands::FileFacts DocumentCommands::factsOf(const QString &path, QByteArrayView bytes,
                                                      QStringView text, TextEncoding e)
{
    FileFacts facts;
    facts.stamp = stampOf(path, bytes);
    // Lines whose bytes the codec would not write back are remembered with their bytes; the
    // lines are in the bytes after the byte-order mark.
    const QByteArray mark = encoding::byteOrderMark({e.encoding, true});
    if (!mark.isEmpty() && bytes.startsWith(mark))
        bytes = bytes.sliced(mark.size());
    facts.keptLines.remember(bytes, text, lineCodec(e));
    facts.keptEncoding = e.encoding;
    return facts;
}

void DocumentCommands::adoptFile(const QString &path, encoding::DecodedFile file, FileFacts facts)
{
    m_fileStamp = std::move(facts.stamp);
    m_keptLines = std::move(facts.keptLines);
    m_keptEncoding = facts.keptEncoding;
    // The text box holds the decoded text as it is (its stand-ins and line-end kinds give back
    // every character), so the decoded text is the baseline of the questions without reading
    // the whole text back from the text box.
    m_file_text = std::move(file.text);
    if (m_baselineFromTextBox) {
        m_file_text = QString();
        m_file_text = m_s.Text1.text();
    }
    m_s.CommonDialog1.fileName = path;
    m_s.mnuFileOverwrite.setEnabled(true);
    setEncoding(file.recognition.encoding, file.recognition.origin);
}

DocumentCommands::~DocumentCommands()
{
    if (m_load)
        m_load->cancelled = true;
    m_reader.waitForDone();
}

void DocumentCommands::setTextLoader(TextLoader *loader, qint64 threshold)
{
    m_loader = loader;
    m_loadThreshold = threshold;
    // One page is read at a time; a cancelled one is given up at its next step.
    m_reader.setMaxThreadCount(1);
}

void DocumentCommands::startLoad(const QString &path, bool reportMissing,
                                 std::optional<QByteArray> bytes)
{
    auto load = std::make_shared<Load>();
    load->path = path;
    load->reportMissing = reportMissing;
    m_load = load;
    if (onLoadingChanged)
        onLoadingChanged();
    QObject *receiver = m_receiver.get();
    m_reader.start([this, load, receiver, bytes = std::move(bytes)]() mutable {
        QString error;
        if (!bytes)
            bytes = readWholeFile(load->path, &error);
        if (!bytes) {
            QMetaObject::invokeMethod(
                receiver, [this, load, error] { loadReadFailed(load, error); },
                Qt::QueuedConnection);
            return;
        }
        if (load->cancelled)
            return;
        // The first screen comes from the first lines alone, before the whole is decoded.
        if (std::optional<QString> head = headOf(*bytes, headBytes)) {
            QMetaObject::invokeMethod(
                receiver, [this, load, head = std::move(*head)] { loadHead(load, head); },
                Qt::QueuedConnection);
        }
        if (load->cancelled)
            return;
        encoding::DecodedFile file = encoding::decodeFile(*bytes);
        // The text goes to the main thread at once: the first screen does not wait for the
        // stamp and the kept lines, which are made here meanwhile.
        QMetaObject::invokeMethod(
            receiver, [this, load, file] { loadDecoded(load, file); }, Qt::QueuedConnection);
        if (load->cancelled)
            return;
        FileFacts facts = factsOf(load->path, *bytes, file.text, file.recognition.encoding);
        // The bytes are not needed any more: they go before the text box fills up.
        bytes.reset();
        file.text = QString();
        load->facts = std::move(facts);
    });
}

void DocumentCommands::loadReadFailed(const std::shared_ptr<Load> &load, const QString &error)
{
    if (load != m_load)
        return;
    endLoad();
    // As for an open at once: the document stays as it was; a file that is there but cannot be
    // read is reported, and so is a missing one when asked for.
    const PathInfo info = pathInfo(load->path);
    if (load->reportMissing || info.exists || info.isLink)
        m_s.messageBox.show(readFailurePrompt(load->path, error), styleFailure);
}

void DocumentCommands::loadHead(const std::shared_ptr<Load> &load, const QString &head)
{
    if (load != m_load || load->cancelled)
        return;
    load->started = true;
    m_loader->showHead(head);
}

void DocumentCommands::loadDecoded(const std::shared_ptr<Load> &load,
                                   const encoding::DecodedFile &file)
{
    if (load != m_load || load->cancelled)
        return;
    load->file = file;
    load->started = true;
    m_loader->start(file.text, [this, load](bool completed) { loadShown(load, completed); });
}

void DocumentCommands::loadShown(const std::shared_ptr<Load> &load, bool completed)
{
    if (load != m_load)
        return;
    if (!completed) {
        endLoad();
        return;
    }
    // The text is in: the page becomes the document now. The stamp and the kept lines take
    // much less than filling the text box, so this wait is short if there is one.
    m_reader.waitForDone();
    if (!load->facts) {
        // The worker gave up (it never does once the text is shown).
        endLoad();
        return;
    }
    FileFacts facts = std::move(*load->facts);
    encoding::DecodedFile file = std::move(load->file);
    // The commands come back first, then the page becomes the document with its state
    // ("上書き(&S)" among it).
    endLoad();
    adoptFile(load->path, std::move(file), std::move(facts));
    stateChanged();
}

QString DocumentCommands::loadingPath() const
{
    return m_load ? m_load->path : QString();
}

void DocumentCommands::cancelLoad()
{
    const std::shared_ptr<Load> load = m_load;
    if (!load)
        return;
    load->cancelled = true;
    if (load->started && m_loader->isLoading())
        m_loader->cancel(); // reports back through loadShown(false)
    if (m_load == load)
        endLoad();
}

void DocumentCommands::endLoad()
{
    m_load.reset();
    if (onLoadingChanged)
        onLoadingChanged();
}

bool DocumentCommands::writeDocument(const QString &path, const QString &text, FileStamp &stamp)
{
    std::optional<DocumentBytes> document;
    {
        BusyScope busy(m_s.app);
        // Unchanged lines of file_text keep the bytes they were read from, when written in the
        // encoding they were read in.
        m_writtenKept = m_encoding.encoding == m_keptEncoding
                            ? m_keptLines.spansFor(text, m_file_text)
                            : QList<KeptSpan>();
        document = encodeDocument(text, m_encoding, m_writtenKept);
    }
    if (!document->unencodable.isEmpty()) {
        if (m_s.messageBox.show(unencodablePrompt(text, document->unencodable, m_encoding.encoding),
                                styleUnencodable) != MsgAnswer::Ok)
            return false;
        BusyScope busy(m_s.app);
        document->bytes =
            encodeDocumentWithReferences(text, document->unencodable, m_encoding, m_writtenKept);
    }
    const bool existed = pathInfo(path).exists;
    QString error;
    bool written;
    {
        BusyScope busy(m_s.app);
        written = writeFileAtomically(path, document->bytes, &error);
    }
    if (!written) {
        m_s.messageBox.show(writeFailurePrompt(path, existed, error), styleFailure);
        return false;
    }
    BusyScope busy(m_s.app);
    stamp = stampOf(path, document->bytes);
    return true;
}

bool DocumentCommands::confirmReplace(const QString &path)
{
    // A folder cannot be replaced: the write reports it. A symbolic link counts as the file it
    // names, even when that is missing (the write would create it).
    const PathInfo info = pathInfo(path);
    if (info.isDir || !(info.exists || info.isLink))
        return true;
    // The text's own file (the one Overwrite writes to) holds nothing else to lose.
    const QString own = m_s.mnuFileOverwrite.isEnabled()
                            ? canonicalFileName(m_s.CommonDialog1.fileName)
                            : QString();
    if (!own.isEmpty() && canonicalFileName(path) == own)
        return true;
    return m_s.messageBox.show(replacePrompt(path), styleReplace) == MsgAnswer::Yes;
}

bool DocumentCommands::saveThroughDialog(QString &text)
{
    CommonDialog &dialog = m_s.CommonDialog1;
    dialog.filter = documentFilter;
    // The dialog starts with the current file filled in. After New the text has no file of its
    // own: the dialog then offers that file's folder without its name, so that one Return cannot
    // replace the earlier document with the new text.
    QString offered = dialog.fileName;
    if (!m_s.mnuFileOverwrite.isEnabled() && !offered.isEmpty())
        offered = folderOf(offered) + u'/';
    const std::optional<QString> chosen = dialog.chooseSave(offered);
    if (!chosen || !confirmReplace(*chosen))
        return false;
    text = m_s.Text1.text();
    FileStamp stamp;
    if (!writeDocument(*chosen, text, stamp))
        return false;
    // The draft that follows takes this text rather than a copy of the whole document.
    m_s.Text1.holdText(text);
    // Only a written file becomes the current file: a refused or failed Save changes nothing.
    dialog.fileName = *chosen;
    m_fileStamp = stamp;
    m_s.mnuFileOverwrite.setEnabled(true);
    return true;
}

void DocumentCommands::save_text()
{
    // file_text keeps its earlier value: the questions still see the document as changed.
    QString text;
    if (saveThroughDialog(text))
        stateChanged();
}

void DocumentCommands::over_text()
{
    const QString path = m_s.CommonDialog1.fileName;
    if (path.isEmpty())
        return;
    const QString text = m_s.Text1.text();
    FileStamp stamp;
    if (writeDocument(path, text, stamp)) {
        m_fileStamp = stamp;
        m_s.Text1.holdText(text);
        takeWrittenAsBaseline(text);
        stateChanged();
    }
}

void DocumentCommands::rememberKeptLines(QByteArrayView bytes, QStringView text, TextEncoding e)
{
    // The lines are in the bytes after the byte-order mark.
    const QByteArray mark = encoding::byteOrderMark({e.encoding, true});
    if (!mark.isEmpty() && bytes.startsWith(mark))
        bytes = bytes.sliced(mark.size());
    m_keptLines.remember(bytes, text, lineCodec(e));
    m_keptEncoding = e.encoding;
}

void DocumentCommands::takeWrittenAsBaseline(const QString &text)
{
    // The kept lines are still on disk with their own bytes; every other line was written by the
    // codec and reads back as written. In another encoding than they were read in, none are kept.
    if (m_encoding.encoding == m_keptEncoding)
        m_keptLines.rebase(m_writtenKept, text);
    else
        m_keptLines.clear();
    m_file_text = text;
}

void DocumentCommands::mnuFileNew_Click()
{
    if (changed() && m_s.messageBox.show(askNew, styleNew) != MsgAnswer::Yes)
        return;
    m_s.Text1.setText(QString());
    m_s.mnuFileOverwrite.setEnabled(false);
    m_file_text = m_s.Text1.text();
    m_keptLines.clear();
    setEncoding({}, EncodingOrigin::Default);
    stateChanged();
}

void DocumentCommands::mnuFileOpen_Click()
{
    if (changed() && m_s.messageBox.show(askOpen, styleOpen) != MsgAnswer::Ok)
        return;
    read_text();
}

void DocumentCommands::mnuFileSave_Click()
{
    save_text();
}

void DocumentCommands::mnuFileOverwrite_Click()
{
    over_text();
}

void DocumentCommands::mnuFilePrint_Click()
{
    // The printer dialog's choice applies to the job; cancelling it still leads to the question.
    m_s.CommonDialog1.showPrinter();
    if (m_s.messageBox.show(askPrint, stylePrint, askPrintTitle) != MsgAnswer::Yes)
        return;
    QString error;
    bool printed;
    {
        BusyScope busy(m_s.app);
        printed = m_s.printer.printText(m_s.Text1.text() + QStringLiteral("\r\n"), &error);
    }
    if (!printed) {
        m_s.messageBox.show(QStringLiteral("印刷できませんでした。\n\n%1")
                                .arg(error.isEmpty() ? QStringLiteral("原因は不明です。") : error),
                            styleFailure);
    }
}

bool DocumentCommands::confirmEnd()
{
    if (changed() && m_s.messageBox.show(askOverwrite, styleOverwrite) == MsgAnswer::Ok) {
        if (m_s.mnuFileOverwrite.isEnabled() && !m_s.CommonDialog1.fileName.isEmpty()) {
            over_text();
        } else {
            // No file belongs to this text (a fresh window, or after New): the save dialog asks
            // where to write it rather than writing nothing or over the file chosen before New.
            // Cancelling it skips the writing only. What was written is the new baseline, as
            // after Overwrite.
            QString text;
            if (saveThroughDialog(text)) {
                takeWrittenAsBaseline(text);
                stateChanged();
            }
        }
    }
    // A failed or skipped write does not keep the program from ending.
    return m_s.messageBox.show(askEnd, styleEnd) == MsgAnswer::Ok;
}

void DocumentCommands::mnuFileEnd_Click()
{
    if (confirmEnd())
        m_s.app.end();
}

void DocumentCommands::Form_Unload(bool &cancel)
{
    if (confirmEnd()) {
        cancel = false;
        m_s.app.end();
    } else {
        cancel = true;
    }
}

bool DocumentCommands::restoreDraft(const QString &text, const std::optional<FileStamp> &recorded)
{
    const QString path = m_s.CommonDialog1.fileName;
    std::optional<QByteArray> bytes;
    QString error;
    if (!path.isEmpty()) {
        BusyScope busy(m_s.app);
        bytes = readWholeFile(path, &error);
    }
    std::optional<FileStamp> now;
    if (bytes) {
        BusyScope busy(m_s.app);
        now = stampOf(path, *bytes);
    }
    // Only a draft of the text of its file is compared with it (after New the text has none).
    if (recorded && !path.isEmpty() && m_s.mnuFileOverwrite.isEnabled()) {
        if (!now) {
            m_s.messageBox.show(fileGonePrompt(path, error), styleFailure);
        } else if (!now->sameContent(*recorded) &&
                   m_s.messageBox.show(fileChangedPrompt(path, *recorded, *now), styleFileChanged) !=
                       MsgAnswer::Yes) {
            // The file as it is now, opened as Open does (over time when it is big).
            if (takeFile(path, std::move(*bytes)))
                stateChanged();
            return false;
        }
    }
    BusyScope busy(m_s.app);
    m_file_text.clear();
    m_keptLines.clear();
    m_fileStamp = now;
    if (bytes) {
        // The file as it is now, read in the document's (restored) encoding.
        m_file_text = encoding::decodeAs(m_encoding.encoding, *bytes).text;
        rememberKeptLines(*bytes, m_file_text, m_encoding);
    }
    m_s.Text1.setText(text);
    return true;
}

} // namespace zimo
