#include "app/form1.h"
#include "app/singleinstance.h"
#include "platform/qt/qtmessagebox.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zimo"));
    QApplication::setDesktopFileName(QStringLiteral("jp.zimo.ZIMO"));
    QIcon icon;
    for (int size : {16, 32, 64, 256})
        icon.addFile(QStringLiteral(":/icons/zimo-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    // Japanese buttons, file dialogs and context menus.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    zimo::SingleInstance instance;
    if (!instance.isOnlyCopy()) {
        zimo::QtMessageBox(nullptr).show(QStringLiteral("すでに「ZIMO」は起動されています。"),
                                         zimo::MsgStyle::Exclamation);
        return 0;
    }

    zimo::Form1 form1;
    form1.Form_Load(app.arguments().mid(1));
    if (form1.hasEnded())
        return 0;
    form1.show();
    return app.exec();
}
