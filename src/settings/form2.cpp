#include "settings/form2.h"

namespace zimo {

// Placeholder until the settings dialog lands.
Form2::Form2(MessageBox &, Shell &) : QWidget(nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("詳細設定"));
}

void Form2::Form_Load() {}

} // namespace zimo
