// Handling modal dialogs from a test: the dialog's own event loop runs, so the test acts on it from
// a timer once it is the active modal widget.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kestrel::test {

// Runs action once on the first visible active modal widget of type T within timeoutMs; the flag it
// returns tells whether it ran.
template <typename T> std::shared_ptr<bool> WhenModal(std::function<void(T*)> action, int timeoutMs = 15000) {
    auto ran = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
        if (widget && widget->isVisible()) {
            timer->stop();
            timer->deleteLater();
            *ran = true;
            action(widget);
        } else if (deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
    return ran;
}

} // namespace kestrel::test
