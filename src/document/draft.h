#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

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

// The folder drafts are kept in: $XDG_STATE_HOME/zimo, or ~/.local/state/zimo when that variable
// is unset, empty or not an absolute path.
QString defaultDraftFolder();

} // namespace zimo
