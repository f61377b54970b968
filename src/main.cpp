#include "app/form1.h"
#include "app/openchannel.h"
#include "app/openrequest.h"
#include "app/singleinstance.h"
#include "platform/filenames.h"
#include "platform/qt/qtmessagebox.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include <climits>
#include <unistd.h>

namespace {

// The working folder's bytes, for relative paths of the command line.
QByteArray workingFolder()
{
    char folder[PATH_MAX];
    if (::getcwd(folder, sizeof folder))
        return QByteArray(folder);
    return zimo::fileNameBytes(zimo::workingFolderName());
}

} // namespace

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

    // The arguments as the system gave them (Qt has taken out its own): a file name need not be
    // valid UTF-8.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    const zimo::StartArguments start = zimo::parseStartArguments(arguments);

    zimo::SingleInstance instance;
    if (!instance.isOnlyCopy()) {
        // The desktop's open request goes to the running copy, which opens the file; this copy
        // ends without a word. Should the running copy not take it, the usual message follows.
        if (start.open && zimo::sendOpenRequest(zimo::OpenRequestServer::defaultSocketPath(),
                                                zimo::absolutePath(start.path, workingFolder())))
            return 0;
        zimo::QtMessageBox(nullptr).show(QStringLiteral("すでに「ZIMO」は起動されています。"),
                                         zimo::MsgStyle::Exclamation);
        return 0;
    }

    zimo::Form1 form1;
    zimo::OpenRequestServer openRequests;
    QObject::connect(&openRequests, &zimo::OpenRequestServer::openRequested, &form1,
                     &zimo::Form1::openRequested);
    // Listening before the start-up questions: a request made meanwhile waits for them.
    openRequests.listen(zimo::OpenRequestServer::defaultSocketPath());
    // `zimo PATH` inserts the file's lines (load_text); `zimo --open FILE` opens it as a document.
    // The path is taken from its bytes (Qt's own arguments would have lost those that are not
    // UTF-8).
    form1.Form_Load(start.open || start.path.isEmpty()
                        ? QStringList()
                        : QStringList{zimo::fileNameFromBytes(start.path)});
    if (form1.hasEnded())
        return 0;
    form1.show();
    if (start.open && !start.path.isEmpty())
        form1.openRequested(zimo::absolutePath(start.path, workingFolder()));
    return app.exec();
}
