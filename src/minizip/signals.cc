#include "signals.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

const int handled[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int handled_count = sizeof handled / sizeof handled[0];
static_assert(handled_count == sizeof signal_cleanup::old / sizeof(struct sigaction));

// The handler may run on any thread at any time: a name it reads is never
// changed while it is marked valid.
char temp_name[PATH_MAX];
std::atomic<bool> temp_valid{false};

extern "C" void remove_temp_and_end(int sig) {
    if (temp_valid.load())
        unlink(temp_name);
    _exit(128 + sig);
}

} // namespace

signal_cleanup::signal_cleanup() {
    struct sigaction action {};
    action.sa_handler = remove_temp_and_end;
    sigemptyset(&action.sa_mask);
    for (int sig : handled)
        sigaddset(&action.sa_mask, sig);
    for (int i = 0; i < handled_count; ++i) {
        sigaction(handled[i], nullptr, &old[i]);
        if (old[i].sa_handler != SIG_IGN)
            sigaction(handled[i], &action, nullptr);
    }
}

signal_cleanup::~signal_cleanup() {
    for (int i = 0; i < handled_count; ++i)
        sigaction(handled[i], &old[i], nullptr);
}

signals_held::signals_held() {
    sigset_t held;
    sigemptyset(&held);
    for (int sig : handled)
        sigaddset(&held, sig);
    pthread_sigmask(SIG_BLOCK, &held, &old);
}

signals_held::~signals_held() {
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

void set_signal_temp(const char *name) {
    temp_valid.store(false);
    if (name && std::strlen(name) < sizeof temp_name) {
        std::strcpy(temp_name, name);
        temp_valid.store(true);
    }
}
