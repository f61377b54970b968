#include "document/loadtext.h"

namespace zimo {

void load_text(Services &, const QString &) {}

QString pathFromArguments(const QStringList &arguments)
{
    return arguments.isEmpty() ? QString() : arguments.first();
}

} // namespace zimo
