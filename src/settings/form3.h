#pragma once

#include <QFont>
#include <QWidget>

namespace zimo {

// The about box "情報". Modeless, without an owner window; OK and the close box destroy it.
class Form3 : public QWidget
{
    Q_OBJECT
public:
    Form3();

    // The face of the product name and the version: "HGP創英角ｺﾞｼｯｸUB" where it is installed,
    // otherwise the heaviest installed Noto Sans CJK JP (Black, else Bold), otherwise the
    // default face made bold. `weight` is the weight asked for the named face.
    static QFont displayFont(double points, QFont::Weight weight);

private:
    void Command1_Click();
};

} // namespace zimo
