#include "x11_raw_keys.h"

#include <QDateTime>
#include <QSocketNotifier>

#include <cstdint>
#include <vector>

// X11 headers last: their macros (Status, Bool, KeyPress, ...) break Qt's headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace kestrel::platform {

struct X11RawKeys::Connection {
    Display* display = nullptr;
    int xiOpcode = 0;
    KeyCode controlLeft = 0;
    KeyCode controlRight = 0;
    bool broken = false;
    std::unique_ptr<QSocketNotifier> notifier;

    void readControlKeys() {
        controlLeft = XKeysymToKeycode(display, XK_Control_L);
        controlRight = XKeysymToKeycode(display, XK_Control_R);
    }

    // Xlib calls this instead of exit() when the connection breaks (libX11 1.7 and later): the display
    // is then marked broken, later Xlib calls on it return at once, and the next drain shuts down.
    static void onBroken(Display*, void* self) { static_cast<Connection*>(self)->broken = true; }
};

namespace {

// The I/O error handler is one per process, and the default one (and Qt's) ends the process. Ours
// returns for our own connections, so that Xlib goes on to the per-display exit handler above, and
// hands every other display to the handler that was there before.
std::vector<Display*> g_ourDisplays;
XIOErrorHandler g_previousHandler = nullptr;

int onIOError(Display* display) {
    for (Display* ours : g_ourDisplays) {
        if (ours == display)
            return 0;
    }
    return g_previousHandler ? g_previousHandler(display) : 0;
}

void adopt(Display* display) {
    if (!g_previousHandler)
        g_previousHandler = XSetIOErrorHandler(onIOError);
    g_ourDisplays.push_back(display);
}

void release(Display* display) {
    std::erase(g_ourDisplays, display);
}

} // namespace

X11RawKeys::X11RawKeys(QObject* parent) : QObject(parent) {}

X11RawKeys::~X11RawKeys() {
    stop();
}

bool X11RawKeys::isActive() const {
    return m_connection != nullptr;
}

bool X11RawKeys::start() {
    if (m_connection)
        return true;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    auto c = std::make_unique<Connection>();
    c->display = display;
    XSetIOErrorExitHandler(display, &Connection::onBroken, c.get());
    adopt(display);

    int event = 0, error = 0;
    // 2.2: with 2.0 the server stops sending raw events while another client grabs the keyboard.
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &c->xiOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 2)) {
        release(display);
        XCloseDisplay(display);
        return false;
    }
    c->readControlKeys();

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XIEventMask mask;
    // The master devices only: with every device each key would arrive twice.
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof(bits);
    mask.mask = bits;
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XSync(display, False);
    if (c->broken) {
        release(display);
        XCloseDisplay(display);
        return false;
    }

    c->notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    connect(c->notifier.get(), &QSocketNotifier::activated, this, [this] { drain(false); });
    m_connection = std::move(c);
    // Events may already sit in Xlib's queue, where the socket notifier cannot see them.
    drain(false);
    return isActive();
}

void X11RawKeys::stop() {
    if (!m_connection)
        return;
    std::unique_ptr<Connection> c = std::move(m_connection);
    c->notifier.reset();
    // A broken display is still freed by XCloseDisplay; it sends nothing then.
    release(c->display);
    XCloseDisplay(c->display);
}

void X11RawKeys::drainNow() {
    drain(true);
}

void X11RawKeys::drain(bool roundTrip) {
    if (!m_connection)
        return;
    Connection& c = *m_connection;
    if (roundTrip && !c.broken)
        XSync(c.display, False);

    struct Press {
        Time serverTime;
    };
    std::vector<Press> presses;
    Time latest = 0;
    bool haveLatest = false;
    // Every queued event, not one per wake-up: the notifier fires once for many.
    while (!c.broken && XPending(c.display) > 0) {
        XEvent event;
        XNextEvent(c.display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            c.readControlKeys();
            continue;
        }
        XGenericEventCookie* cookie = &event.xcookie;
        if (event.type != GenericEvent || cookie->extension != c.xiOpcode ||
            !XGetEventData(c.display, cookie))
            continue;
        if (cookie->evtype == XI_RawKeyPress) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            const auto key = static_cast<KeyCode>(raw->detail);
            // A held key repeats; only the first press counts.
            const bool repeat = (raw->flags & XIKeyRepeat) != 0;
            if (!repeat && key != 0 && (key == c.controlLeft || key == c.controlRight))
                presses.push_back({raw->time});
            if (!haveLatest || static_cast<std::int32_t>(raw->time - latest) > 0)
                latest = raw->time;
            haveLatest = true;
        }
        XFreeEventData(c.display, cookie);
    }

    if (c.broken) {
        stop();
        emit connectionLost();
        return;
    }
    if (presses.empty())
        return;
    // The newest event read stands for "now"; the others are placed before it by the server's
    // millisecond clock, which wraps every 49.7 days (hence the 32-bit difference).
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const Press& press : presses) {
        const auto behind = static_cast<std::uint32_t>(latest - press.serverTime);
        emit ctrlPressed(now - static_cast<qint64>(behind));
        if (!m_connection) // a slot stopped listening
            return;
    }
}

} // namespace kestrel::platform
