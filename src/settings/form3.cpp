#include "settings/form3.h"

namespace zimo {

// Placeholder until the about box lands.
Form3::Form3() : QWidget(nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("情報"));
}

} // namespace zimo
