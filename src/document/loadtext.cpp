#include "document/loadtext.h"

#include "document/encoding.h"
#include "platform/filenames.h"
#include "platform/files.h"

namespace zimo {

void load_text(Services &s, const QString &path, Encoding document)
{
    const PathInfo info = pathInfo(path);
    if (info.isFile && info.size > loadTextLimit) {
        s.messageBox.show(QStringLiteral("でかい！"), MsgStyle::OkOnly);
        return;
    }
    // A missing file, a folder or a file without read access cannot be opened.
    const auto bytes = info.isFile ? readWholeFile(path) : std::nullopt;
    if (!bytes) {
        s.messageBox.show(QStringLiteral("開けない！"), MsgStyle::OkOnly);
        return;
    }

    // The file's bytes are read in their own encoding (the document's where they leave the
    // choice open; the document keeps its own), then split
    // into lines as splitLines does for bytes: a line ends at CR LF or at a lone CR; a lone LF
    // stays inside its line.
    const QString text = encoding::decodeFile(*bytes, document).text;
    if (text.isEmpty())
        return;
    // Each line goes after the current selection, which stays in place but is no longer
    // selected; all lines together make one insertion, each followed by CR LF.
    QString inserted;
    inserted.reserve(text.size() + 2);
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype cr = text.indexOf(u'\r', from);
        if (cr < 0)
            cr = text.size();
        inserted += QStringView(text).sliced(from, cr - from);
        inserted += QLatin1String("\r\n");
        from = cr + 1;
        if (cr + 1 < text.size() && text[cr + 1] == u'\n')
            ++from;
    }
    s.Text1.setSelText(s.Text1.selText() + inserted);
}

QString pathFromArguments(const QStringList &arguments)
{
    // The shell has already split the command line, so the first argument is the whole path,
    // spaces and all; further arguments are ignored.
    return arguments.isEmpty() ? QString() : arguments.first();
}

} // namespace zimo
