// Ctrl presses on the real X display (make check runs the tests under Xvfb), sent by xdotool, another
// client. xdotool sends more events than keys asked for, so counts are checked as "at least".
#include <gtest/gtest.h>

#include "hotkey_pair.h"
#include "wait_for.h"
#include "x11_raw_keys.h"

#include <QDateTime>
#include <QProcess>

#include <vector>

namespace kestrel::platform {
namespace {

using test::WaitFor;

// Runs xdotool with args on the current display and waits for it to end.
void xdotool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    ASSERT_TRUE(process.waitForFinished(10000)) << "xdotool did not end";
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

struct Recorder {
    std::vector<qint64> presses;
    bool lost = false;
    void attach(X11RawKeys& keys) {
        QObject::connect(&keys, &X11RawKeys::ctrlPressed, [this](qint64 t) { presses.push_back(t); });
        QObject::connect(&keys, &X11RawKeys::connectionLost, [this] { lost = true; });
    }
};

class X11RawKeysTest : public ::testing::Test {
protected:
    // A bare X server resets itself whenever its last client leaves, and refuses connections while it
    // does; a desktop session always has other clients. Under the offscreen platform Qt holds no
    // connection, so one more listener stands in for the session's clients for the whole suite.
    static void SetUpTestSuite() {
        s_sessionClient = new X11RawKeys;
        s_sessionClient->start();
    }
    static void TearDownTestSuite() {
        delete s_sessionClient;
        s_sessionClient = nullptr;
    }
    static inline X11RawKeys* s_sessionClient = nullptr;

    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            FAIL() << "needs an X display: run under xvfb-run (make check does)";
        recorder.attach(keys);
        ASSERT_TRUE(keys.start());
        ASSERT_TRUE(keys.isActive());
    }
    X11RawKeys keys;
    Recorder recorder;
};

TEST_F(X11RawKeysTest, ControlKeysArePressesOtherKeysAreNot) {
    xdotool({"key", "a", "shift+b", "Escape"});
    keys.drainNow();
    EXPECT_TRUE(recorder.presses.empty());

    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    xdotool({"key", "Control_L"});
    // The socket notifier reads it; no drainNow here.
    ASSERT_TRUE(WaitFor([&] { return !recorder.presses.empty(); }));
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    EXPECT_GE(recorder.presses.front(), before - 1000);
    EXPECT_LE(recorder.presses.front(), after + 1000);

    const size_t seen = recorder.presses.size();
    xdotool({"key", "Control_R"});
    EXPECT_TRUE(WaitFor([&] { return recorder.presses.size() > seen; }));
}

TEST_F(X11RawKeysTest, GapsComeFromTheServerEvenWhenReadLate) {
    // Both presses are read in one go after xdotool ended; their times must still be ~200 ms apart.
    xdotool({"key", "--delay", "200", "Control_L", "Control_L"});
    keys.drainNow();
    ASSERT_GE(recorder.presses.size(), 2u);
    const qint64 spread = recorder.presses.back() - recorder.presses.front();
    EXPECT_GE(spread, 150);
    EXPECT_LT(spread, 2000);
}

TEST_F(X11RawKeysTest, TwoPressesMakeADoublePress) {
    xdotool({"key", "--delay", "180", "Control_L", "Control_L"});
    keys.drainNow();
    app::HotkeyPair pair;
    bool toggled = false;
    for (qint64 t : recorder.presses)
        toggled = toggled || pair.press(t) == app::HotkeyPress::Toggle;
    EXPECT_TRUE(toggled) << recorder.presses.size() << " presses";
}

TEST_F(X11RawKeysTest, StopsAndStartsAgain) {
    keys.stop();
    EXPECT_FALSE(keys.isActive());
    xdotool({"key", "Control_L"});
    keys.drainNow();
    EXPECT_TRUE(recorder.presses.empty());
    ASSERT_TRUE(keys.start());
    xdotool({"key", "Control_L"});
    EXPECT_TRUE(WaitFor([&] { return !recorder.presses.empty(); }));
}

TEST(X11RawKeysWithoutDisplay, StartFailsQuietly) {
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":97"); // no server there
    X11RawKeys keys;
    const bool started = keys.start();
    keys.drainNow();
    keys.stop();
    qputenv("DISPLAY", saved);
    EXPECT_FALSE(started);
    EXPECT_FALSE(keys.isActive());
}

TEST(X11RawKeysServerEnds, ReportsTheLossAndKeepsRunning) {
    // A private X server that the test can end.
    QProcess xvfb;
    xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
    ASSERT_TRUE(xvfb.waitForStarted(5000));
    ASSERT_TRUE(WaitFor([&] { return xvfb.canReadLine(); }, 15000)) << "Xvfb did not start";
    const QByteArray number = xvfb.readLine().trimmed();
    ASSERT_FALSE(number.isEmpty());

    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":" + number);
    X11RawKeys keys;
    const bool started = keys.start();
    qputenv("DISPLAY", saved);
    ASSERT_TRUE(started);
    Recorder recorder;
    recorder.attach(keys);

    xvfb.kill();
    ASSERT_TRUE(xvfb.waitForFinished(5000));
    EXPECT_TRUE(WaitFor([&] { return recorder.lost; }));
    EXPECT_FALSE(keys.isActive());
    keys.drainNow();
    EXPECT_TRUE(recorder.presses.empty());
}

} // namespace
} // namespace kestrel::platform
