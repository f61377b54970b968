#pragma once

#include "platform/messagebox.h"

class QWidget;

namespace zimo {

// Message boxes as QMessageBox: buttons and icon from the style number, the first button the
// default one, Escape and the close box giving Cancel or No, the caption "ZIMO" unless a title is
// given.
class QtMessageBox : public MessageBox
{
public:
    explicit QtMessageBox(QWidget *parent = nullptr) : m_parent(parent) {}
    int show(const QString &prompt, int style = MsgStyle::OkOnly,
             const QString &title = QString()) override;

private:
    QWidget *m_parent;
};

} // namespace zimo
