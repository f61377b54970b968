#pragma once

#include "document/documentcommands.h"
#include "document/encoding.h"
#include "platform/services.h"

#include "platform/files.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringView>

namespace zimo {

// The bytes of the preview copy of `text`: the text as a document file in `encoding` holds it
// (its byte-order mark, the CR LF at the end), with every character the encoding cannot hold
// written as a character reference.
QByteArray previewBytes(QStringView text, TextEncoding encoding);

// "ブラウザで表示(&W)": shows the page in the desktop's default browser.
//  - An unchanged HTML document that has a file: the file itself.
//  - Otherwise a preview copy of the current text: beside the document's file (so that relative
//    links, pictures and style sheets resolve), named ".<file name>.zimo-preview.html", or for a
//    document without a file in a private temporary folder.
// The copy is always a file this program created itself (O_EXCL, never through a link), and only
// that file is ever rewritten or removed: when anything else holds the name beside the document
// (another user's link, a pipe, a file of the user's), the copy goes to the private folder and
// the user is told once that relative references do not resolve there.
// The document's file is never written. At most one copy exists at a time: a later preview
// replaces it, and removeCopy() (at the program's end) removes it.
class BrowserPreview
{
public:
    BrowserPreview(Services &services, const DocumentCommands &document);
    ~BrowserPreview();
    BrowserPreview(const BrowserPreview &) = delete;
    BrowserPreview &operator=(const BrowserPreview &) = delete;

    void mnuOptionBrowser_Click();
    // Removes the copy this program wrote, and the temporary folder when nothing else is in it;
    // nothing else.
    void removeCopy();
    // The copy written last and not removed yet; empty when there is none.
    const QString &copyPath() const { return m_copy; }

    // The preview copy's name beside the document file `documentPath`.
    static QString copyBeside(const QString &documentPath);
    // Whether a browser takes the file for HTML by its name (.html, .htm, .xhtml, .shtml, any
    // case).
    static bool isHtmlName(const QString &path);

private:
    // Writes the copy and returns where; empty (and the user told) when it could not be written.
    QString writeCopy(const QByteArray &bytes);
    // Writes `bytes` to `path` as a file of our own: our earlier copy there is replaced,
    // anything else fails with EEXIST.
    OwnFileResult writeOwn(const QString &path, const QByteArray &bytes);
    // Takes the file written at `path` as the copy; an earlier copy elsewhere is removed.
    void adopt(const QString &path, const FileIdentity &identity);
    // The private temporary folder, made when first needed; empty (and the user told) when it
    // cannot be made.
    QString tempFolder();

    Services &m_s;
    const DocumentCommands &m_document;
    QString m_copy;
    FileIdentity m_copyIdentity;
    QString m_tempFolder;
    // Copy names beside a document that were found taken, told to the user once each.
    QSet<QString> m_toldTaken;
};

} // namespace zimo
