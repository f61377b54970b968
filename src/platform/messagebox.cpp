#include "platform/messagebox.h"

namespace zimo {

MsgLook msgLook(int style)
{
    MsgLook look;
    switch (style & 0x0f) {
    case MsgStyle::OkCancel:
        look.buttons = MsgButtons::OkCancel;
        break;
    case MsgStyle::YesNo:
        look.buttons = MsgButtons::YesNo;
        break;
    default:
        look.buttons = MsgButtons::Ok;
        break;
    }
    switch (style & 0xf0) {
    case MsgStyle::Question:
        look.icon = MsgIcon::Question;
        break;
    case MsgStyle::Exclamation:
        look.icon = MsgIcon::Exclamation;
        break;
    default:
        look.icon = MsgIcon::None;
        break;
    }
    return look;
}

} // namespace zimo
