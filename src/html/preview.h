#pragma once

#include "document/documentcommands.h"
#include "document/encoding.h"
#include "platform/services.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>

class QTemporaryDir;

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
    // Removes the copy this program wrote, and the temporary folder; nothing else.
    void removeCopy();
    // The copy written last and not removed yet; empty when there is none.
    const QString &copyPath() const { return m_copy; }

    // The preview copy's name beside the document file `documentPath`.
    static QString copyBeside(const QString &documentPath);
    // Whether a browser takes the file for HTML by its name (.html, .htm, .xhtml, .shtml, any
    // case).
    static bool isHtmlName(const QString &path);

private:
    // Where the copy goes; empty (and the user told) when there is no such place.
    QString copyPlace();

    Services &m_s;
    const DocumentCommands &m_document;
    QString m_copy;
    std::unique_ptr<QTemporaryDir> m_tempFolder;
};

} // namespace zimo
