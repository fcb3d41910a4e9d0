// One copy of "the program" for the single-instance tests: claims the instance named by its first
// argument and prints "first" or "second". A first copy prints "activated" for every later copy that
// woke it and runs until its standard input ends. With "--with-child" it first starts a long-lived
// child process and prints "child <pid>", to show that the child does not inherit the lock.
#include "single_instance.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return 2;
    kestrel::platform::SingleInstance instance(args[1]);
    const auto role = instance.claim(std::chrono::milliseconds(3000));
    if (role == kestrel::platform::SingleInstance::Role::Second) {
        std::printf("second\n");
        return 0;
    }
    if (args.contains(QStringLiteral("--with-child"))) {
        qint64 pid = 0;
        if (!QProcess::startDetached(QStringLiteral("sleep"), {QStringLiteral("60")}, QString(), &pid))
            return 3;
        std::printf("child %lld\n", static_cast<long long>(pid));
    }
    std::printf("first\n");
    std::fflush(stdout);
    QObject::connect(&instance, &kestrel::platform::SingleInstance::activationRequested, [] {
        std::printf("activated\n");
        std::fflush(stdout);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof(buffer)) <= 0)
            app.quit();
    });
    return app.exec();
}
