#include "app/openchannel.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <memory>

#include <sys/socket.h>
#include <unistd.h>

namespace zimo {

long peerUserId(qintptr socketDescriptor)
{
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (socketDescriptor < 0 ||
        ::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return -1;
    return long(credentials.uid);
}

OpenRequestServer::OpenRequestServer(QObject *parent) : QObject(parent)
{
    // Only the user may connect (the socket file's rights), on top of the runtime folder's 0700.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.setMaxPendingConnections(maxClients);
    connect(&m_server, &QLocalServer::newConnection, this, &OpenRequestServer::takeConnections);
}

QString OpenRequestServer::defaultSocketPath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return {};
    return folder + QStringLiteral("/zimo.socket");
}

bool OpenRequestServer::listen(const QString &socketPath)
{
    if (socketPath.isEmpty())
        return false;
    QLocalServer::removeServer(socketPath);
    return m_server.listen(socketPath);
}

void OpenRequestServer::takeConnections()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (peerUserId(socket->socketDescriptor()) != long(::getuid())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // With all places taken, the client that has waited longest without a whole request
        // makes room: clients that say nothing never keep a request out.
        m_clients.removeAll(nullptr);
        if (m_clients.size() >= maxClients) {
            QLocalSocket *oldest = m_clients.takeFirst();
            oldest->abort();
            oldest->deleteLater();
        }
        m_clients.append(socket);
        auto reader = std::make_shared<OpenRequestReader>();
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, reader] { readRequest(socket, *reader); });
        // A client that says nothing (or too little) is cut off.
        QTimer::singleShot(requestTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        readRequest(socket, *reader);
    }
}

void OpenRequestServer::readRequest(QLocalSocket *socket, OpenRequestReader &reader)
{
    if (reader.state() != OpenRequestReader::State::Incomplete)
        return;
    while (socket->bytesAvailable() > 0 && reader.state() == OpenRequestReader::State::Incomplete)
        reader.feed(socket->read(openRequestMaxSize));
    switch (reader.state()) {
    case OpenRequestReader::State::Incomplete:
        return;
    case OpenRequestReader::State::Invalid:
        m_clients.removeAll(socket);
        socket->abort();
        socket->deleteLater();
        return;
    case OpenRequestReader::State::Complete:
        break;
    }
    m_clients.removeAll(socket);
    // The answer tells the sender it may end; the window takes the request from its event loop.
    socket->write(&openAccepted, 1);
    socket->disconnectFromServer();
    const QByteArray path = reader.path();
    QTimer::singleShot(0, this, [this, path] { emit openRequested(path); });
}

bool sendOpenRequest(const QString &socketPath, const QByteArray &path, int timeoutMs)
{
    if (socketPath.isEmpty() || path.size() > openRequestMaxPath)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // A copy that is starting holds the lock a moment before it listens.
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 0))))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
        if (deadline.hasExpired())
            return false;
    }
    socket.write(encodeOpenRequest(path));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 1))) ||
            deadline.hasExpired())
            return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))) ||
            deadline.hasExpired())
            return false;
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == openAccepted;
}

} // namespace zimo
