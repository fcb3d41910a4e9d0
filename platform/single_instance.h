// One running copy per user (UnitRunOne). The first copy holds an exclusive lock on a file in the
// user's runtime folder and listens on a local socket beside it; a later copy finds the lock taken,
// asks the first copy over the socket to come forward, and ends. The kernel drops the lock when its
// holder dies, so a copy that crashed never blocks the next start.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace kestrel::platform {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,  // this copy runs; activationRequested() reports later starts
        Second, // another copy runs and was asked to come forward (or did not answer in time)
    };

    // name picks the lock and socket names ("kestrelfind" gives kestrelfind.lock and
    // kestrelfind.socket) in $XDG_RUNTIME_DIR, or in the private folder Qt makes when it is unset.
    explicit SingleInstance(const QString& name = QStringLiteral("kestrelfind"), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock or hands over; call once, before any window exists. A second copy waits up to
    // timeout for the first copy's answer (the first copy may still be starting and not yet listen).
    // When the lock cannot be used at all (no runtime folder, an unwritable file) this copy runs as
    // the first, without the rule, as it would have without the lock.
    Role claim(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    QString lockPath() const { return m_lockPath; }
    QString socketPath() const { return m_socketPath; }

signals:
    // A later copy asked this one to restore its window and bring it to the front. UI thread.
    void activationRequested();

private:
    void serveConnection();

    QString m_lockPath;
    QString m_socketPath;
    int m_lockFd = -1;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace kestrel::platform
