#include "verify/stop_signals.h"

#include <atomic>
#include <cerrno>
#include <iterator>

namespace {

// In the order of stop_signals::old.
const int stoppers[] = {SIGINT, SIGTERM, SIGHUP};
static_assert(std::size(stoppers) == sizeof stop_signals::old / sizeof(struct sigaction));

std::atomic<int> noted{0};
// The thread's mask from before the stop_signals, less the three signals:
// wait_or_stop waits with it, so that they come in only there.
sigset_t waiting_mask;
std::atomic<bool> active{false};

extern "C" void note_signal(int sig) {
    int none = 0;
    noted.compare_exchange_strong(none, sig);
}

} // namespace

stop_signals::stop_signals() {
    noted.store(0);
    struct sigaction action {};
    action.sa_handler = note_signal; // no SA_RESTART: the wait must end
    sigemptyset(&action.sa_mask);
    waiting_mask = held.old;
    for (int sig : stoppers) {
        sigaddset(&action.sa_mask, sig);
        sigdelset(&waiting_mask, sig);
    }
    for (size_t i = 0; i < std::size(stoppers); ++i) {
        sigaction(stoppers[i], nullptr, &old[i]);
        if (old[i].sa_handler != SIG_IGN)
            sigaction(stoppers[i], &action, nullptr);
    }
    active.store(true);
}

stop_signals::~stop_signals() {
    active.store(false);
    for (size_t i = 0; i < std::size(stoppers); ++i)
        sigaction(stoppers[i], &old[i], nullptr);
}

int stop_signal() {
    return noted.load();
}

int wait_or_stop(pollfd *fds, nfds_t count, int milliseconds) {
    if (!active.load())
        return poll(fds, count, milliseconds);
    if (stop_signal() != 0) {
        errno = EINTR;
        return -1;
    }
    timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    return ppoll(fds, count, milliseconds < 0 ? nullptr : &wait, &waiting_mask);
}
