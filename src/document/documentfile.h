#pragma once

#include "document/encoding.h"
#include "document/keptlines.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <optional>
#include <QString>
#include <QStringView>

namespace zimo {

// Document files: the text in the document's encoding (code page 932 unless the file said
// otherwise; see encoding.h), its byte-order mark first when it had one, written whole and
// followed by one CR LF in that encoding. Reading takes every byte as it is; writing gives back
// the same bytes for everything reading produced.

// The bytes of a document file for `text` in `encoding` (its byte-order mark first, the CR LF at
// the end), and the positions of the characters the encoding cannot hold (left out of `bytes`;
// empty when every character fits). The lines in `kept` are written as their own bytes (see
// KeptLines), everything else by the codec.
struct DocumentBytes
{
    QByteArray bytes;
    QList<qsizetype> unencodable;
};
DocumentBytes encodeDocument(QStringView text, TextEncoding encoding = {},
                             const QList<KeptSpan> &kept = {});

// The bytes of a document file for `text` with every character at `unencodable` (as reported by
// encodeDocument) written as an HTML numeric character reference such as "&#x1F600;".
QByteArray encodeDocumentWithReferences(QStringView text, const QList<qsizetype> &unencodable,
                                        TextEncoding encoding = {},
                                        const QList<KeptSpan> &kept = {});

// An encoding as the lines kept with their own bytes need it (no byte-order mark).
LineCodec lineCodec(TextEncoding encoding);

// "&#x" + the code point in upper-case hex + ";".
QString characterReference(char32_t codePoint);

// Where a character stands as the user sees it.
struct TextPlace
{
    char32_t codePoint = 0; // a surrogate pair gives its whole code point
    qsizetype line = 1;     // from 1; lines end at CR LF (a lone CR or LF is text)
    qsizetype column = 1;   // from 1, counting characters (a surrogate pair once)
};
TextPlace placeOf(QStringView text, qsizetype position);

// The question asked before writing a text that holds characters the encoding cannot hold:
// names the encoding, the first character (shown, with its U+ code, line and column) and how
// many there are.
QString unencodablePrompt(QStringView text, const QList<qsizetype> &unencodable,
                          Encoding encoding = Encoding::Cp932);

// Messages for a failed write or read of `path`. `reason` is what the file layer said, in the
// user's words.
QString writeFailurePrompt(const QString &path, bool existedBefore, const QString &reason);
QString readFailurePrompt(const QString &path, const QString &reason);


// What the program last knew of a document file it read or wrote: its size, its modification time
// and a hash of its bytes (BLAKE2b-256). A draft records it, so that a file changed by another program
// since is noticed when the draft is restored.
struct FileStamp
{
    qint64 size = 0;
    QDateTime modified;
    QByteArray hash; // "blake2b-256:" and the digest in lower-case hex
    // The same bytes (the time alone may change without a change of content).
    bool sameContent(const FileStamp &other) const
    {
        return size == other.size && hash == other.hash;
    }
};
// The stamp of the file at `path` that holds `bytes` (just read or written).
FileStamp stampOf(const QString &path, QByteArrayView bytes);

} // namespace zimo
