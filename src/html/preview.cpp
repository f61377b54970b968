#include "html/preview.h"

#include "document/documentfile.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace zimo {

namespace {

constexpr int styleFailure = MsgStyle::Exclamation; // 48

const QString noBrowser = QStringLiteral(
    "ブラウザを起動できませんでした。\n\n既定のブラウザが設定されているか確かめてください。");

QString writeFailure(const QString &path, const QString &reason)
{
    return QStringLiteral("表示用のファイル「%1」を書き込めませんでした。\n\n%2")
        .arg(QDir::toNativeSeparators(path),
             reason.isEmpty() ? QStringLiteral("原因は不明です。") : reason);
}

} // namespace

QByteArray previewBytes(QStringView text, TextEncoding encoding)
{
    // The preview is no document: what the encoding cannot hold is written as a character
    // reference without asking (a browser shows the character itself).
    DocumentBytes document = encodeDocument(text, encoding);
    if (!document.unencodable.isEmpty())
        return encodeDocumentWithReferences(text, document.unencodable, encoding);
    return std::move(document.bytes);
}

BrowserPreview::BrowserPreview(Services &services, const DocumentCommands &document)
    : m_s(services), m_document(document)
{
}

BrowserPreview::~BrowserPreview()
{
    removeCopy();
}

QString BrowserPreview::copyBeside(const QString &documentPath)
{
    const QFileInfo info(documentPath);
    return info.absoluteDir().filePath(QLatin1Char('.') + info.fileName() +
                                       QStringLiteral(".zimo-preview.html"));
}

bool BrowserPreview::isHtmlName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"html" || suffix == u"htm" || suffix == u"xhtml" || suffix == u"shtml";
}

QString BrowserPreview::copyPlace()
{
    const QString document = m_s.CommonDialog1.fileName;
    if (m_s.mnuFileOverwrite.isEnabled() && !document.isEmpty())
        return copyBeside(document);
    // No file: a folder of our own (only the user can enter it); relative links cannot resolve.
    if (!m_tempFolder || !m_tempFolder->isValid()) {
        m_tempFolder =
            std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("zimo-XXXXXX")));
        if (!m_tempFolder->isValid()) {
            const QString reason = m_tempFolder->errorString();
            const QString folder = QDir::tempPath();
            m_tempFolder.reset();
            m_s.messageBox.show(writeFailure(folder, reason), styleFailure);
            return {};
        }
    }
    return m_tempFolder->filePath(QStringLiteral("zimo-preview.html"));
}

void BrowserPreview::mnuOptionBrowser_Click()
{
    const QString document = m_s.CommonDialog1.fileName;
    const bool hasFile = m_s.mnuFileOverwrite.isEnabled() && !document.isEmpty();
    QString shown;
    // A file that is not named as HTML would open in whatever the desktop takes it for (a .txt
    // in a text editor): it is shown through a copy named .html, as a changed text is.
    if (hasFile && isHtmlName(document) && QFileInfo(document).isFile() && !m_document.changed()) {
        shown = QFileInfo(document).absoluteFilePath();
    } else {
        const QString copy = copyPlace();
        if (copy.isEmpty())
            return;
        // The copy can never be the document itself: its name is the document's with more added.
        QString error;
        if (!writeFileAtomically(copy, previewBytes(m_s.Text1.text(), m_document.encoding()), &error)) {
            m_s.messageBox.show(writeFailure(copy, error), styleFailure);
            return;
        }
        if (!m_copy.isEmpty() && m_copy != copy)
            QFile::remove(m_copy);
        m_copy = copy;
        shown = copy;
    }
    if (!m_s.shell.openInBrowser(shown))
        m_s.messageBox.show(noBrowser, styleFailure);
}

void BrowserPreview::removeCopy()
{
    if (!m_copy.isEmpty()) {
        QFile::remove(m_copy);
        m_copy.clear();
    }
    m_tempFolder.reset(); // removes the folder with whatever is in it
}

} // namespace zimo
