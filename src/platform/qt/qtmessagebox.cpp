#include "platform/qt/qtmessagebox.h"

#include <QMessageBox>

namespace zimo {

int QtMessageBox::show(const QString &prompt, int style, const QString &title)
{
    // Placeholder until the real box lands.
    QMessageBox box(m_parent);
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("ZIMO") : title);
    box.setText(prompt);
    box.exec();
    Q_UNUSED(style);
    return MsgAnswer::Ok;
}

} // namespace zimo
