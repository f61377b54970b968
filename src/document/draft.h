#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace zimo {

// A draft: the unsaved document kept in the user's state folder while it differs from file_text,
// so that a program that was killed loses nothing typed. docs/drafts.md describes the file.
struct Draft
{
    // The whole text, in the text box's form (CR LF line breaks).
    QString text;
    // The document state besides the text, as named fields in the order written ("file",
    // "overwrite", ...). Readers skip names they do not know.
    QList<std::pair<QByteArray, QString>> fields;

    // The value of the field `name`; nothing when the draft has no such field.
    std::optional<QString> field(QByteArrayView name) const;
};

// The draft file's bytes: a first line naming the format, one "name=value" line a field (UTF-8,
// with backslash, CR, LF and unpaired surrogates escaped), the text's length, an empty line, then
// the text as UTF-16LE, so every string survives exactly (also the stand-ins U+DC80..U+DCFF of
// bytes that started no character).
QByteArray encodeDraft(const Draft &draft);

// The draft in `bytes`; nothing when they are not a whole draft of this format (another format,
// a header that does not end, a text shorter or longer than its recorded length).
std::optional<Draft> decodeDraft(QByteArrayView bytes);

// One change of a text: `removed` UTF-16 code units at `position` replaced by `added`.
struct DraftEdit
{
    qsizetype position = 0;
    qsizetype removed = 0;
    QString added;
    friend bool operator==(const DraftEdit &, const DraftEdit &) = default;
};

// A text as a base and the edits made to it since, kept as pieces of the base and of the added
// strings, so that an edit costs what it adds (and the number of pieces), never a copy of the
// base. The base is shared, not copied.
class EditedText
{
public:
    EditedText() = default;
    explicit EditedText(const QString &base);

    const QString &base() const { return m_base; }
    qsizetype size() const { return m_size; }
    // How many pieces the text is made of (what an edit's cost grows with).
    qsizetype pieceCount() const { return qsizetype(m_pieces.size()); }
    // Whether no edit changed the base.
    bool isBase() const;
    // Applies an edit; false, and nothing changed, when it does not fit in the text.
    bool apply(const DraftEdit &edit);
    // The whole text.
    QString text() const;
    // Whether the text equals `other`. Where the base is `other` itself (the same characters in
    // memory) the pieces of the base still in their place are not compared.
    bool equals(const QString &other) const;

private:
    struct Piece
    {
        int source; // -1: the base; otherwise an index into m_added
        qsizetype from;
        qsizetype length;
    };
    QStringView view(const Piece &piece) const;

    QString m_base;
    std::vector<QString> m_added;
    std::vector<Piece> m_pieces;
    qsizetype m_size = 0;
};

// The journal form of a draft: the text it was started on (its base, in a file of its own
// beside the draft, written once) and records of the edits since, appended one after another.
//
//     ZIMO draft journal 1\n
//     base=<id>\n            the base's file is "base-<id>" (no id: an empty base, no file)
//     base-length=<n>\n
//     \n
//     <record> <record> ...
//
// A record: its payload's length (8 bytes, little-endian), the payload, then a BLAKE2b-256 of
// length and payload. The payload is the document state as "name=value" lines (as in the
// whole draft) ended by an empty line, the number of edits (8 bytes), and each edit as
// position, removed length, added length (8 bytes each) and the added text in UTF-16LE. The
// draft is the base with every whole record's edits applied, with the fields of the last one;
// a record cut short (a program killed while appending it) or damaged ends the journal. A
// journal without one whole record is no draft.
QByteArray encodeJournalStart(QByteArrayView baseId, qsizetype baseLength);
QByteArray encodeJournalRecord(const QList<std::pair<QByteArray, QString>> &fields,
                               const QList<DraftEdit> &edits);
// The name of a base's file in the draft folder.
QString baseFileName(QByteArrayView baseId);
// The bytes of a base's file: the text in UTF-16LE, without a header (its length is in the
// journal). On a little-endian machine a view of the text itself.
QByteArray baseFileBytes(const QString &text);
// The draft in a journal's bytes; `readBase` gives the bytes of the base with an id. Nothing
// when the journal is not one, names no base that can be read, or has no whole record.
std::optional<Draft>
decodeJournal(QByteArrayView bytes,
              const std::function<std::optional<QByteArray>(QByteArrayView id)> &readBase);
// The draft in the file at `path`, in either form: a whole draft, or a journal with its base
// beside it.
std::optional<Draft> readDraft(const QString &path);

// The folder drafts are kept in: $XDG_STATE_HOME/zimo, or ~/.local/state/zimo when that variable
// is unset, empty or not an absolute path.
QString defaultDraftFolder();

} // namespace zimo
