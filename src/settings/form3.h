#pragma once

#include <QWidget>

namespace zimo {

// The about box "情報".
class Form3 : public QWidget
{
    Q_OBJECT
public:
    Form3();
};

} // namespace zimo
