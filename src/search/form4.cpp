#include "search/form4.h"

namespace zimo {

// Placeholder until the search dialog lands.
Form4::Form4(TextBox &, MessageBox &) : QWidget(nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("検索"));
}

} // namespace zimo
