#include "document/loadtext.h"

#include "document/cp932.h"
#include "platform/files.h"

#include <QFileInfo>

namespace zimo {

void load_text(Services &s, const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && info.isFile() && info.size() > loadTextLimit) {
        s.messageBox.show(QStringLiteral("でかい！"), MsgStyle::OkOnly);
        return;
    }
    // A missing file, a folder or a file without read access cannot be opened.
    const auto bytes = info.isFile() ? readWholeFile(path) : std::nullopt;
    if (!bytes) {
        s.messageBox.show(QStringLiteral("開けない！"), MsgStyle::OkOnly);
        return;
    }

    const QList<QByteArray> lines = splitLines(*bytes);
    if (lines.isEmpty())
        return;
    // Each line goes after the current selection, which stays in place but is no longer
    // selected; all lines together make one insertion, each followed by CR LF.
    QString inserted;
    for (const QByteArray &line : lines) {
        inserted += cp932::decode(line);
        inserted += QLatin1String("\r\n");
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
