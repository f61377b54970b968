#include "platform/qt/twipslayout.h"

#include "platform/twips.h"

#include <QWidget>

namespace zimo {

void placeTwips(QWidget *control, int left, int top, int width, int height)
{
    const double dx = control->logicalDpiX();
    const double dy = control->logicalDpiY();
    control->setGeometry(twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
                         twipsToPixels(height, dy));
}

void makeFixedDialog(QWidget *window, int widthTwips, int heightTwips)
{
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFixedSize(twipsToPixels(widthTwips, window->logicalDpiX()),
                         twipsToPixels(heightTwips, window->logicalDpiY()));
}

} // namespace zimo
