#pragma once

#include "platform/appinfo.h"
#include "platform/commondialog.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/printer.h"
#include "platform/shell.h"
#include "platform/textbox.h"

namespace zimo {

// What the main window's commands reach the user and the desktop through. The main window wires
// the Qt implementations; the tests wire scripted fakes.
struct Services
{
    TextBox &Text1;
    MessageBox &messageBox;
    CommonDialog &CommonDialog1;
    Printer &printer;
    Shell &shell;
    AppInfo &app;
    MenuItem &mnuEditBack;
    MenuItem &mnuFileOverwrite;
};

} // namespace zimo
