#include "verify/stop_signals.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>

namespace {

const int handled[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int handled_count = sizeof handled / sizeof handled[0];
static_assert(handled_count == sizeof stop_signals::old / sizeof(struct sigaction));

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
    sigset_t held;
    sigemptyset(&held);
    for (int sig : handled)
        sigaddset(&held, sig);
    pthread_sigmask(SIG_BLOCK, &held, &old_mask);
    noted.store(0);
    struct sigaction action {};
    action.sa_handler = note_signal; // no SA_RESTART: the wait must end
    action.sa_mask = held;
    for (int i = 0; i < handled_count; ++i) {
        sigaction(handled[i], nullptr, &old[i]);
        if (old[i].sa_handler != SIG_IGN)
            sigaction(handled[i], &action, nullptr);
    }
    waiting_mask = old_mask;
    for (int sig : handled)
        sigdelset(&waiting_mask, sig);
    active.store(true);
}

stop_signals::~stop_signals() {
    active.store(false);
    for (int i = 0; i < handled_count; ++i)
        sigaction(handled[i], &old[i], nullptr);
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
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
