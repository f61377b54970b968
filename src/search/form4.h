#pragma once

#include "platform/messagebox.h"
#include "platform/textbox.h"

#include <QWidget>

namespace zimo {

// The search dialog "検索": modeless, without an owner window.
class Form4 : public QWidget
{
    Q_OBJECT
public:
    Form4(TextBox &mainText, MessageBox &messageBox);
};

} // namespace zimo
