// A pack ended by a signal leaves no temporary file and no staging folder
// behind.
#pragma once

#include <signal.h>

#include "io/io.h"

// SIGINT, SIGTERM and SIGHUP: the signals that stop a pack or a game run.
constexpr int stop_signal_count = 3;
sigset_t stop_signal_set();
// Sets handler, to run with the three held, on each of them that is not
// ignored (as under nohup, where it stays ignored); what was there goes
// into old.
void take_stop_signals(void (*handler)(int), struct sigaction (&old)[stop_signal_count]);
// Puts back what take_stop_signals found.
void give_back_stop_signals(const struct sigaction (&old)[stop_signal_count]);

// While one lives, SIGINT, SIGTERM and SIGHUP remove the temporary file of
// the pack under way and the staging folder, if any, and end the process
// with 128 plus the signal's number; a signal ignored (as under nohup)
// stays ignored.  The handlers it replaced come back when it goes.
struct signal_cleanup {
    struct sigaction old[stop_signal_count];
    no_copy once;
    signal_cleanup();
    ~signal_cleanup();
};

// Holds SIGINT, SIGTERM and SIGHUP back on this thread while it lives, so
// that a file or folder is not made between a signal and the name the
// handler knows; a signal that came meanwhile is handled when it goes.
struct signals_held {
    sigset_t old;
    no_copy once;
    signals_held();
    ~signals_held();
};

// The temporary file a signal removes: the name is copied; a name too long
// for a path is not kept.  Call with nullptr once the file is renamed or
// removed.
void set_signal_temp(const char *name);

// The staging folder a signal removes, with all it holds (links are removed,
// not followed); same rules as set_signal_temp.
void set_signal_stage(const char *path);
// One more file a signal removes: one the run made beside the package for
// it (the levelshot the game made), which goes when the package does not
// come; same rules as set_signal_temp.
void set_signal_extra(const char *name);
