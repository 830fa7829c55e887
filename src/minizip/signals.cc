#include "signals.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

const int handled[] = {SIGINT, SIGTERM, SIGHUP};
static_assert(sizeof handled / sizeof handled[0] == stop_signal_count);

// The handler may run on any thread at any time: a name it reads is never
// changed while it is marked valid.
struct handler_name {
    char text[PATH_MAX];
    std::atomic<bool> valid{false};
};
handler_name temp_name, stage_name, extra_name;
std::atomic<bool> ending{false};

// The name is copied; one too long for a path is not kept.
void set_name(handler_name *n, const char *name) {
    n->valid.store(false);
    if (name && std::strlen(name) < sizeof n->text) {
        std::strcpy(n->text, name);
        n->valid.store(true);
    }
}

// A folder of the tree being removed: its listing, read in pieces, and its
// name in its parent.  Static, as the handler may not allocate; a tree
// deeper than this is left for the next run to remove.
constexpr int max_depth = 48;
struct open_level {
    int fd = -1;
    alignas(8) char listing[2048];
    long size = 0;
    long at = 0;
    char name[256];
};
open_level levels[max_depth];

// Removes the tree at path with the calls a handler may make: no memory
// taken, no link followed.  Each folder is listed once, each entry tried
// once.
void remove_tree(const char *path) {
    const int dir_flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int depth = 0;
    levels[0].fd = open(path, dir_flags);
    levels[0].size = levels[0].at = 0;
    if (levels[0].fd < 0)
        return;
    while (depth >= 0) {
        open_level &l = levels[depth];
        if (l.at >= l.size) {
            l.size = getdents64(l.fd, l.listing, sizeof l.listing);
            l.at = 0;
            if (l.size <= 0) {
                close(l.fd);
                if (--depth >= 0)
                    unlinkat(levels[depth].fd, l.name, AT_REMOVEDIR);
                continue;
            }
        }
        const auto *e = reinterpret_cast<const struct dirent64 *>(l.listing + l.at);
        l.at += e->d_reclen;
        const char *name = e->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
            unlinkat(l.fd, name, 0) == 0 || depth + 1 >= max_depth ||
            std::strlen(name) >= sizeof l.name)
            continue;
        open_level &child = levels[depth + 1];
        child.fd = openat(l.fd, name, dir_flags);
        if (child.fd < 0)
            continue;
        std::strcpy(child.name, name);
        child.size = child.at = 0;
        ++depth;
    }
    rmdir(path);
}

extern "C" void remove_temp_and_end(int sig) {
    // A second signal on another thread waits for the first to end the process.
    if (ending.exchange(true))
        for (;;)
            pause();
    if (temp_name.valid.load())
        unlink(temp_name.text);
    if (stage_name.valid.load())
        remove_tree(stage_name.text);
    if (extra_name.valid.load())
        unlink(extra_name.text);
    _exit(128 + sig);
}

} // namespace

void set_signal_extra(const char *name) {
    set_name(&extra_name, name);
}

sigset_t stop_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : handled)
        sigaddset(&set, sig);
    return set;
}

void take_stop_signals(void (*handler)(int), struct sigaction (&old)[stop_signal_count]) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = stop_signal_set();
    for (int i = 0; i < stop_signal_count; ++i) {
        sigaction(handled[i], nullptr, &old[i]);
        if (old[i].sa_handler != SIG_IGN)
            sigaction(handled[i], &action, nullptr);
    }
}

void give_back_stop_signals(const struct sigaction (&old)[stop_signal_count]) {
    for (int i = 0; i < stop_signal_count; ++i)
        sigaction(handled[i], &old[i], nullptr);
}

signal_cleanup::signal_cleanup() {
    take_stop_signals(remove_temp_and_end, old);
}

signal_cleanup::~signal_cleanup() {
    give_back_stop_signals(old);
}

signals_held::signals_held() {
    sigset_t held = stop_signal_set();
    pthread_sigmask(SIG_BLOCK, &held, &old);
}

signals_held::~signals_held() {
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

void set_signal_temp(const char *name) {
    set_name(&temp_name, name);
}

void set_signal_stage(const char *path) {
    set_name(&stage_name, path);
}
