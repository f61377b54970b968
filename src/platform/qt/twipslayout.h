#pragma once

class QWidget;

namespace zimo {

// The dialogs' layouts are given in twips (twips.h); these put them on the screen's pixels.

// Places a control by its layout rectangle, within its container's client area.
void placeTwips(QWidget *control, int left, int top, int width, int height);

// Makes `window` a top-level window without an owner whose client area has this fixed size, with
// a title and a close box but no maximise button; closing it destroys it.
void makeFixedDialog(QWidget *window, int widthTwips, int heightTwips);

} // namespace zimo
