#include "document/documentcommands.h"

#include "document/cp932.h"
#include "document/documentfile.h"
#include "platform/files.h"

#include <QFileInfo>

namespace zimo {

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

} // namespace

bool DocumentCommands::changed() const
{
    return m_s.Text1.text() != m_file_text;
}

void DocumentCommands::read_text()
{
    CommonDialog &dialog = m_s.CommonDialog1;
    dialog.filter = documentFilter;
    if (!dialog.showOpen())
        return;
    const QString path = dialog.fileName;

    QString error;
    {
        BusyScope busy(m_s.app);
        std::optional<QByteArray> bytes = readWholeFile(path, &error);
        if (bytes) {
            QString text = cp932::decode(*bytes);
            // Lines whose bytes the codec would not write back are remembered with their bytes.
            m_keptLines.remember(*bytes, text, cp932LineCodec());
            bytes.reset();
            m_s.Text1.setText(text);
            text = QString();
            // The text box's own form of the text is the baseline of the questions.
            m_file_text = m_s.Text1.text();
            m_s.mnuFileOverwrite.setEnabled(true);
            return;
        }
    }
    // A name typed in the dialog that names no file stays silent; a file that is there but
    // cannot be read is reported.
    if (QFileInfo::exists(path))
        m_s.messageBox.show(readFailurePrompt(path, error), styleFailure);
}

bool DocumentCommands::writeDocument(const QString &path, const QString &text)
{
    std::optional<DocumentBytes> document;
    {
        BusyScope busy(m_s.app);
        // Unchanged lines of file_text keep the bytes they were read from.
        m_writtenKept = m_keptLines.spansFor(text, m_file_text);
        document = encodeDocument(text, m_writtenKept);
    }
    if (!document->unencodable.isEmpty()) {
        if (m_s.messageBox.show(unencodablePrompt(text, document->unencodable), styleUnencodable) !=
            MsgAnswer::Ok)
            return false;
        BusyScope busy(m_s.app);
        document->bytes = encodeDocumentWithReferences(text, document->unencodable, m_writtenKept);
    }
    const bool existed = QFileInfo::exists(path);
    QString error;
    bool written;
    {
        BusyScope busy(m_s.app);
        written = writeFileAtomically(path, document->bytes, &error);
    }
    if (!written)
        m_s.messageBox.show(writeFailurePrompt(path, existed, error), styleFailure);
    return written;
}

bool DocumentCommands::saveThroughDialog(QString &text)
{
    CommonDialog &dialog = m_s.CommonDialog1;
    dialog.filter = documentFilter;
    if (!dialog.showSave())
        return false;
    text = m_s.Text1.text();
    if (!writeDocument(dialog.fileName, text))
        return false;
    m_s.mnuFileOverwrite.setEnabled(true);
    return true;
}

void DocumentCommands::save_text()
{
    // file_text keeps its earlier value: the questions still see the document as changed.
    QString text;
    saveThroughDialog(text);
}

void DocumentCommands::over_text()
{
    const QString path = m_s.CommonDialog1.fileName;
    if (path.isEmpty())
        return;
    const QString text = m_s.Text1.text();
    if (writeDocument(path, text))
        takeWrittenAsBaseline(text);
}

void DocumentCommands::takeWrittenAsBaseline(const QString &text)
{
    // The kept lines are still on disk with their own bytes; every other line was written by the
    // codec and reads back as written.
    m_keptLines.rebase(m_writtenKept, text);
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
                                .arg(error.isEmpty() ? QStringLiteral("原因は分かりません。") : error),
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
            if (saveThroughDialog(text))
                takeWrittenAsBaseline(text);
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

} // namespace zimo
