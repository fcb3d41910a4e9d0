// The pace of searches while the user types, shared by both search windows: a change that comes more
// than 30 ms after the last search waits 50 ms first (without blocking), so that a burst of keys
// costs one search, with the text as it is when the pause ends, not one search per key.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace kestrel::views {

class TTypingPace {
public:
    // run starts the search; it is called on the owner's thread.
    TTypingPace(QObject* owner, std::function<void()> run)
        : m_pause(new QTimer(owner)), m_run(std::move(run)) {
        m_clock.start();
        m_pause->setSingleShot(true);
        m_pause->setInterval(kPauseMs);
        QObject::connect(m_pause, &QTimer::timeout, owner, [this] { Run(); });
    }

    // The text changed.
    void Changed() {
        if (m_pause->isActive())
            return;
        if (m_clock.elapsed() - m_lastRun > kGapMs) {
            m_pause->start();
            return;
        }
        Run();
    }

    // Drops a pending search (the text was cleared, the window goes).
    void Stop() { m_pause->stop(); }

private:
    static constexpr qint64 kGapMs = 30;
    static constexpr int kPauseMs = 50;

    void Run() {
        m_lastRun = m_clock.elapsed();
        m_run();
    }

    QElapsedTimer m_clock;
    QTimer* m_pause;
    std::function<void()> m_run;
    qint64 m_lastRun = -1000;
};

} // namespace kestrel::views
