#include "verify/stop_signals.h"

#include <atomic>
#include <cerrno>
#include <mutex>

namespace {

std::atomic<int> noted{0};
// The thread's mask from before the stop_signals, less the three signals:
// wait_or_stop waits with it, so that they come in only there.
sigset_t waiting_mask;
std::atomic<bool> active{false};
// The stop_signals alive, on any thread: the first takes the handlers, the
// last gives them back, so that runs on several threads do not undo each
// other's.
std::mutex users_lock;
int users = 0;
struct sigaction replaced[stop_signal_count]; // what the first took the place of

extern "C" void note_signal(int sig) {
    int none = 0;
    noted.compare_exchange_strong(none, sig);
}

} // namespace

stop_signals::stop_signals() {
    std::lock_guard<std::mutex> hold(users_lock);
    if (users++ > 0)
        return;
    noted.store(0);
    waiting_mask = held.old;
    sigset_t stoppers = stop_signal_set();
    for (int sig = 1; sig < NSIG; ++sig)
        if (sigismember(&stoppers, sig) == 1)
            sigdelset(&waiting_mask, sig);
    take_stop_signals(note_signal, replaced); // no SA_RESTART: the wait must end
    active.store(true);
}

stop_signals::~stop_signals() {
    std::lock_guard<std::mutex> hold(users_lock);
    if (--users > 0)
        return;
    active.store(false);
    give_back_stop_signals(replaced);
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
