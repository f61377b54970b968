#pragma once

#include "platform/messagebox.h"
#include "platform/shell.h"

#include <QWidget>

namespace zimo {

// The detailed-settings dialog "詳細設定": the explore folder kept in zimo.ini.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    Form2(MessageBox &messageBox, Shell &shell);
    // Reads zimo.ini into the label; run once, after creation and before the first show.
    void Form_Load();
};

} // namespace zimo
