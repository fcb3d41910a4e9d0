// Ctrl presses anywhere on the X display, for the double-Ctrl hot key. Listens to XInput2 raw key
// presses of Control_L and Control_R on the root window through a connection of its own, so it grabs
// nothing and never disturbs Qt's connection; the press-pair rule (app/hotkey_pair.h) consumes the
// presses.
#pragma once

#include <QObject>

#include <memory>

namespace kestrel::platform {

class X11RawKeys : public QObject {
    Q_OBJECT
public:
    explicit X11RawKeys(QObject* parent = nullptr);
    ~X11RawKeys() override;

    // Opens the display named by DISPLAY and starts listening. False, quietly, when there is no such
    // display, it lacks XInput 2.2, or the connection fails; nothing else changes then, so a program
    // without X11 (offscreen, Wayland without XWayland) runs without the hot key. UI thread, after the
    // QGuiApplication exists: a broken connection must reach this object, not end the process, so
    // the I/O error handler installed here has to come after Qt's.
    bool start();
    // Stops listening and closes the connection. Also done by the destructor.
    void stop();
    bool isActive() const;

    // Reads every event the server has produced up to now (one round trip) and emits its presses.
    // The socket notifier does this by itself; tests call it to know that nothing is still on the way.
    void drainNow();

signals:
    // One Ctrl press. utcMs is the press time, UTC in milliseconds since 1970: the server's own event
    // times set against the clock when the events were read, so the gaps between presses stay exact
    // even when the UI thread was busy and reads them late.
    void ctrlPressed(qint64 utcMs);
    // The connection broke (the X server ended); listening has stopped.
    void connectionLost();

private:
    void drain(bool roundTrip);

    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace kestrel::platform
