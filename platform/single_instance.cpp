#include "single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrel::platform {

namespace {

// What a later copy sends, and what the first copy answers once it has passed the request on.
constexpr char kRequest[] = "activate\n";
constexpr char kAnswer[] = "ok\n";

int openLockFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        // Close-on-exec: a program this copy starts must not inherit the lock and keep it alive.
        fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// 1 locked, 0 held by another process, -1 the lock cannot be used.
int tryLock(int fd) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return 1;
    return errno == EWOULDBLOCK ? 0 : -1;
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    // Qt checks that the runtime folder is the user's own and private, and makes one when
    // XDG_RUNTIME_DIR is unset.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty()) {
        m_lockPath = QDir(folder).filePath(name + QStringLiteral(".lock"));
        m_socketPath = QDir(folder).filePath(name + QStringLiteral(".socket"));
    }
}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

SingleInstance::Role SingleInstance::claim(std::chrono::milliseconds timeout) {
    if (m_lockPath.isEmpty())
        return Role::First;
    m_lockFd = openLockFile(m_lockPath);
    if (m_lockFd < 0)
        return Role::First;
    const int locked = tryLock(m_lockFd);
    if (locked != 0) {
        if (locked < 0) {
            ::close(m_lockFd);
            m_lockFd = -1;
            return Role::First;
        }
        // The lock is ours, so a socket file left by a copy that died is stale.
        QLocalServer::removeServer(m_socketPath);
        m_server = std::make_unique<QLocalServer>();
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
            while (m_server && m_server->hasPendingConnections())
                serveConnection();
        });
        // Without the socket the lock still keeps later copies out; they just cannot wake this one.
        m_server->listen(m_socketPath);
        return Role::First;
    }

    ::close(m_lockFd);
    m_lockFd = -1;
    // The first copy may hold the lock but not listen yet: retry until the deadline.
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            socket.write(kRequest);
            socket.flush();
            while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState &&
                   socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            }
            if (socket.canReadLine() && socket.readLine() == kAnswer)
                break;
        }
        QThread::msleep(20);
    }
    return Role::Second;
}

void SingleInstance::serveConnection() {
    QLocalSocket* socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        // A request is one short line; anything else is not from a copy of this program.
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > 64)
                socket->abort();
            return;
        }
        const QByteArray line = socket->readLine();
        if (line == kRequest) {
            socket->write(kAnswer);
            socket->flush();
            emit activationRequested();
        }
        socket->disconnectFromServer();
    });
}

} // namespace kestrel::platform
