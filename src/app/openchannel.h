#pragma once

#include "app/openrequest.h"

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalSocket;

namespace zimo {

// The running copy's end of the open requests: a local socket beside the single-instance lock in
// the user's runtime folder (0700). Only the same user's processes are heard (the peer's user id
// is checked on every connection); a request is one path of bounded length, and a client that
// sends garbage, too much, or nothing within a short time is cut off. The window is never
// blocked: everything runs from the event loop.
class OpenRequestServer : public QObject
{
    Q_OBJECT
public:
    explicit OpenRequestServer(QObject *parent = nullptr);
    // Listens at `socketPath`, replacing a socket left by a copy that ended (the caller holds the
    // single-instance lock, so no other copy listens there).
    bool listen(const QString &socketPath);
    QString socketPath() const { return m_server.fullServerName(); }

    // How long a client may take to send its request.
    static constexpr int requestTimeoutMs = 2000;
    // Connections served at the same time; a new one beyond them closes the oldest.
    static constexpr int maxClients = 8;

    static QString defaultSocketPath();

signals:
    // A request arrived: `path` holds the absolute path's bytes, or is empty to only bring the
    // window to the front.
    void openRequested(const QByteArray &path);

private:
    void takeConnections();
    void readRequest(QLocalSocket *socket, OpenRequestReader &reader);

    QLocalServer m_server;
    // The connections still sending their request, oldest first.
    QList<QPointer<QLocalSocket>> m_clients;
};

// Hands `path` (absolute bytes, or empty) to the running copy at `socketPath` and waits for it to
// take it. Gives up after `timeoutMs` in all (a copy that is just starting may not listen yet).
bool sendOpenRequest(const QString &socketPath, const QByteArray &path, int timeoutMs = 1000);

// The user id of the process at the other end of a connected local socket; -1 if unknown.
long peerUserId(qintptr socketDescriptor);

} // namespace zimo
