#pragma once

#include <QString>

namespace zimo {

// The modal message box. A style number is the sum of a button set and an icon; the first button
// is the default one. Escape and the close box give Cancel (or No in a Yes/No box).
namespace MsgStyle {
enum : int {
    OkOnly = 0,
    OkCancel = 1,
    YesNo = 4,
    Question = 32,
    Exclamation = 48,
};
}

namespace MsgAnswer {
enum : int {
    Ok = 1,
    Cancel = 2,
    Yes = 6,
    No = 7,
};
}

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Shows `prompt` and returns the answer (MsgAnswer). An empty title means the application
    // title, "ZIMO".
    virtual int show(const QString &prompt, int style = MsgStyle::OkOnly,
                     const QString &title = QString()) = 0;
};

// Buttons and icon that a style number stands for.
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgIcon { None, Question, Exclamation };
struct MsgLook
{
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};
MsgLook msgLook(int style);

} // namespace zimo
