// --verify stopped by the user: the server and its folder go before the end.
#pragma once

#include <poll.h>
#include <signal.h>

#include "minizip/signals.h"

// While one lives, SIGINT, SIGTERM and SIGHUP are held back on this thread,
// but inside wait_or_stop, and one that comes is noted instead of ending
// the process, so that the server is killed and its folder removed first.
// A signal ignored (as under nohup) stays ignored.  The handlers and the
// mask it replaced come back when it goes.  Several may live at once, on
// several threads: the first to begin takes the handlers (and forgets any
// signal noted before), the last to go gives them back.  Not copied: held
// is not.
struct stop_signals {
    signals_held held; // first in, last out: the handlers change while the signals wait
    stop_signals();
    ~stop_signals();
};

// The first signal noted since the stop_signals began; 0 for none.
int stop_signal();

// poll() on fds (none: a sleep) with the noted signals let in meanwhile;
// -1 with errno EINTR when one came.
int wait_or_stop(pollfd *fds, nfds_t count, int milliseconds);
