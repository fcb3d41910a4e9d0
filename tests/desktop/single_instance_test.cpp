// One running copy, with real processes: copies of single_instance_probe in a private runtime folder.
#include <gtest/gtest.h>

#include "single_instance.h"
#include "wait_for.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <sys/stat.h>

namespace kestrel::platform {
namespace {

using test::WaitFor;

class Copy {
public:
    Copy(const QString& runtimeDir, const QString& name, const QStringList& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(KESTREL_PROBE), QStringList{name} + extra);
    }
    ~Copy() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Waits for the next line of output; empty when none came in time.
    QByteArray line(int timeoutMs = 10000) {
        if (!WaitFor([&] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; },
                     timeoutMs))
            return {};
        return m_process.canReadLine() ? m_process.readLine().trimmed() : QByteArray();
    }
    bool finished(int timeoutMs = 10000) {
        return WaitFor([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    }
    void endInput() { m_process.closeWriteChannel(); }
    void killHard() {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished(5000);
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.isValid());
        ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    }
    QTemporaryDir runtime;
};

TEST_F(SingleInstanceTest, SecondCopyWakesTheFirstAndEnds) {
    Copy first(runtime.path(), "kf");
    ASSERT_EQ(first.line(), "first");
    Copy second(runtime.path(), "kf");
    EXPECT_EQ(second.line(), "second");
    EXPECT_TRUE(second.finished());
    EXPECT_EQ(second.process().exitCode(), 0);
    EXPECT_EQ(first.line(), "activated");
    EXPECT_EQ(first.process().state(), QProcess::Running);
    // A third copy does the same: the first keeps serving.
    Copy third(runtime.path(), "kf");
    EXPECT_EQ(third.line(), "second");
    EXPECT_EQ(first.line(), "activated");
}

TEST_F(SingleInstanceTest, KilledFirstCopyNeverBlocks) {
    {
        Copy first(runtime.path(), "kf");
        ASSERT_EQ(first.line(), "first");
        first.killHard();
    }
    // The socket file of the dead copy is still there; the lock is not.
    EXPECT_TRUE(QFile::exists(QDir(runtime.path()).filePath("kf.socket")));
    QElapsedTimer timer;
    timer.start();
    Copy next(runtime.path(), "kf");
    ASSERT_EQ(next.line(), "first");
    // It did not wait for an answer from the dead copy.
    EXPECT_LT(timer.elapsed(), 2500);
    Copy later(runtime.path(), "kf");
    EXPECT_EQ(later.line(), "second");
    EXPECT_EQ(next.line(), "activated");
}

TEST_F(SingleInstanceTest, AfterTheFirstCopyEndsTheNextIsFirst) {
    {
        Copy first(runtime.path(), "kf");
        ASSERT_EQ(first.line(), "first");
        first.endInput();
        ASSERT_TRUE(first.finished());
        EXPECT_EQ(first.process().exitCode(), 0);
    }
    Copy next(runtime.path(), "kf");
    EXPECT_EQ(next.line(), "first");
}

TEST_F(SingleInstanceTest, AProgramStartedByTheFirstCopyDoesNotKeepTheLock) {
    qint64 child = 0;
    {
        Copy first(runtime.path(), "kf", {"--with-child"});
        const QByteArray childLine = first.line();
        ASSERT_TRUE(childLine.startsWith("child ")) << childLine.toStdString();
        child = childLine.mid(6).toLongLong();
        ASSERT_EQ(first.line(), "first");
        first.killHard();
    }
    ASSERT_GT(child, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(child), 0), 0) << "the child should still run";
    Copy next(runtime.path(), "kf");
    EXPECT_EQ(next.line(), "first");
    ::kill(static_cast<pid_t>(child), SIGKILL);
}

TEST_F(SingleInstanceTest, DifferentNamesDoNotMeet) {
    Copy a(runtime.path(), "one");
    ASSERT_EQ(a.line(), "first");
    Copy b(runtime.path(), "two");
    EXPECT_EQ(b.line(), "first");
}

TEST_F(SingleInstanceTest, UnusableLockRunsAsFirst) {
    // A folder where the lock file should be: the lock cannot be taken, so the copy just runs.
    ASSERT_TRUE(QDir(runtime.path()).mkdir("kf.lock"));
    Copy first(runtime.path(), "kf");
    EXPECT_EQ(first.line(), "first");
}

TEST_F(SingleInstanceTest, LockAndSocketLiveInTheRuntimeFolder) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    SingleInstance instance("kf-in-process");
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_EQ(instance.lockPath(), QDir(runtime.path()).filePath("kf-in-process.lock"));
    EXPECT_EQ(instance.claim(), SingleInstance::Role::First);
    EXPECT_TRUE(QFile::exists(instance.socketPath()));
    // Another process finds it taken and wakes this one.
    bool activated = false;
    QObject::connect(&instance, &SingleInstance::activationRequested, [&] { activated = true; });
    Copy other(runtime.path(), "kf-in-process");
    EXPECT_TRUE(WaitFor([&] { return activated; }, 10000));
    EXPECT_EQ(other.line(), "second");
}

} // namespace
} // namespace kestrel::platform
