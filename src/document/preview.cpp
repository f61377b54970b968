#include "document/preview.h"

#include "document/documentfile.h"
#include "platform/filenames.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace zimo {

namespace {

constexpr int styleFailure = MsgStyle::Exclamation; // 48

const QString noBrowser = QStringLiteral(
    "ブラウザを起動できませんでした。\n\n既定のブラウザが設定されているか確かめてください。");

QString writeFailure(const QString &path, const QString &reason)
{
    return QStringLiteral("表示用のファイル「%1」を書き込めませんでした。\n\n%2")
        .arg(displayFileName(path),
             reason.isEmpty() ? QStringLiteral("原因は不明です。") : reason);
}

// Told once for each name found taken: the copy is not beside the document.
QString notBesidePrompt(const QString &beside, int err)
{
    const QString why = err == ENAMETOOLONG
                            ? QStringLiteral("ファイル名が長すぎます")
                            : QStringLiteral("同じ名前のものが既にあります");
    return QStringLiteral("表示用のファイル「%1」を文書と同じフォルダに作れないため（%2）、"
                          "一時フォルダに作って表示します。\n\n"
                          "相対パスで指定したリンク、画像、スタイルシートは読み込まれません。")
        .arg(displayFileName(beside), why);
}

// Failures that mean the name beside the document cannot be ours (something is there, or the
// name cannot be made), as opposed to a folder that cannot be written at all.
bool nameUnusable(int err)
{
    return err == EEXIST || err == ELOOP || err == ENAMETOOLONG;
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

QString BrowserPreview::tempFolder()
{
    // A folder of our own (only the user can enter it); relative links cannot resolve there.
    if (m_tempFolder.isEmpty()) {
        QByteArray name = QFile::encodeName(QDir::temp().filePath(QStringLiteral("zimo-XXXXXX")));
        if (!::mkdtemp(name.data())) {
            const int err = errno;
            m_s.messageBox.show(writeFailure(QDir::tempPath(),
                                             describeWriteFailure(QDir::tempPath(), err)),
                                styleFailure);
            return {};
        }
        m_tempFolder = QFile::decodeName(name);
    }
    return m_tempFolder;
}

OwnFileResult BrowserPreview::writeOwn(const QString &path, const QByteArray &bytes)
{
    if (path == m_copy) {
        const OwnFileResult replaced = replaceOwnFile(path, m_copyIdentity, bytes);
        if (replaced.ok() || replaced.err != EEXIST)
            return replaced;
        // Our copy is no longer there (removed, or replaced by something else): forgotten, never
        // to be touched again.
        m_copy.clear();
        m_copyIdentity = {};
    }
    return createOwnFile(path, bytes);
}

void BrowserPreview::adopt(const QString &path, const FileIdentity &identity)
{
    if (!m_copy.isEmpty() && m_copy != path)
        removeOwnFile(m_copy, m_copyIdentity);
    m_copy = path;
    m_copyIdentity = identity;
}

QString BrowserPreview::writeCopy(const QByteArray &bytes)
{
    const QString document = m_s.CommonDialog1.fileName;
    if (m_s.mnuFileOverwrite.isEnabled() && !document.isEmpty()) {
        // The copy's name is the document's with more added: it can never be the document.
        const QString beside = copyBeside(document);
        const OwnFileResult written = writeOwn(beside, bytes);
        if (written.ok()) {
            adopt(beside, written.identity);
            return beside;
        }
        if (!nameUnusable(written.err)) {
            m_s.messageBox.show(writeFailure(beside, written.reason), styleFailure);
            return {};
        }
        if (!m_toldTaken.contains(beside)) {
            m_toldTaken.insert(beside);
            m_s.messageBox.show(notBesidePrompt(beside, written.err), styleFailure);
        }
    }
    QString copy;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString folder = tempFolder();
        if (folder.isEmpty())
            return {};
        copy = folder + QStringLiteral("/zimo-preview.html");
        const OwnFileResult written = writeOwn(copy, bytes);
        if (written.ok()) {
            adopt(copy, written.identity);
            return copy;
        }
        if (written.err != EEXIST) {
            m_s.messageBox.show(writeFailure(copy, written.reason), styleFailure);
            return {};
        }
        // The user saved a file of that name there: it stays, and so does its folder; the copy
        // goes to a new folder.
        m_tempFolder.clear();
    }
    m_s.messageBox.show(writeFailure(copy, describeWriteFailure(copy, EEXIST)), styleFailure);
    return {};
}

void BrowserPreview::mnuOptionBrowser_Click()
{
    const QString document = m_s.CommonDialog1.fileName;
    const bool hasFile = m_s.mnuFileOverwrite.isEnabled() && !document.isEmpty();
    QString shown;
    // A file that is not named as HTML would open in whatever the desktop takes it for (a .txt
    // in a text editor): it is shown through a copy named .html, as a changed text is.
    if (hasFile && isHtmlName(document) && pathInfo(document).isFile && !m_document.changed()) {
        shown = document.startsWith(u'/') ? document : workingFolderName() + u'/' + document;
    } else {
        shown = writeCopy(previewBytes(m_s.Text1.text(), m_document.encoding()));
        if (shown.isEmpty())
            return;
    }
    if (!m_s.shell.openInBrowser(shown))
        m_s.messageBox.show(noBrowser, styleFailure);
}

void BrowserPreview::removeCopy()
{
    if (!m_copy.isEmpty()) {
        removeOwnFile(m_copy, m_copyIdentity);
        m_copy.clear();
        m_copyIdentity = {};
    }
    // The folder goes only when empty: a file the user saved there stays, and its folder with it.
    if (!m_tempFolder.isEmpty()) {
        ::rmdir(QFile::encodeName(m_tempFolder).constData());
        m_tempFolder.clear();
    }
}

} // namespace zimo
