#pragma once

#include "document/encoding.h"
#include "platform/services.h"

#include <QString>
#include <QStringList>

namespace zimo {

// The largest file load_text takes, in bytes on disk.
inline constexpr qint64 loadTextLimit = 10000;

// Inserts the lines of the file at `path` into Text1 after the current selection, each followed by
// CR LF; reports a file that is too large ("でかい！") or cannot be opened ("開けない！").
void load_text(Services &services, const QString &path,
               Encoding document = Encoding::Cp932);

// The document path given on the command line (the arguments after the program's name): the
// first argument whole; empty when there is none.
QString pathFromArguments(const QStringList &arguments);

} // namespace zimo
