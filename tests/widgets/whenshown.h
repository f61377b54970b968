#pragma once

// Answering modal dialogs in widget tests: the dialog is looked for every 10 ms from the event loop
// that its exec() runs, and handed to `act` once it is the active modal widget and visible. The
// returned watcher is gone once it has acted; delete it when the dialog may not come at all.

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace zimo::test {

template <typename Dialog, typename Act>
QPointer<QTimer> whenShown(Act act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        // Like the user, act once the dialog is shown and has become the active window.
        if (!dialog || !dialog->isVisible() || QApplication::activeWindow() != dialog)
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
    return timer;
}

// The widget a key press from the user would reach.
inline QWidget *keyTarget(QWidget *dialog)
{
    QWidget *focus = QApplication::focusWidget();
    return focus && dialog->isAncestorOf(focus) ? focus : dialog;
}

} // namespace zimo::test
