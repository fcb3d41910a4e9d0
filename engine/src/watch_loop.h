// The reading loop both change listeners share: poll an event descriptor and a stop bell.
#pragma once

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kestrel::engine {

// Wakes a reading thread out of poll() so that it ends.
class Stopper {
public:
    Stopper() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~Stopper() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Stopper(const Stopper&) = delete;
    Stopper& operator=(const Stopper&) = delete;
    int fd() const { return m_fd; }
    void ring() {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_fd, &one, sizeof one);
    }
    void reset() {
        uint64_t drain;
        [[maybe_unused]] ssize_t n = ::read(m_fd, &drain, sizeof drain);
    }

private:
    int m_fd;
};

// Waits for events on fd and hands every read buffer to handle, until the stopper rings.
template <typename Handle>
void readLoop(int fd, const Stopper& stopper, char* buffer, size_t size, Handle handle) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopper.fd(), POLLIN, 0}};
    for (;;) {
        int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (fds[1].revents & POLLIN))
            return;
        // Drain everything that is there before sleeping again.
        for (;;) {
            ssize_t n = ::read(fd, buffer, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            handle(static_cast<size_t>(n));
        }
    }
}

} // namespace kestrel::engine
