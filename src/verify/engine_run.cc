#include "verify/engine_run.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "io/io.h"
#include "verify/stop_signals.h"

extern char **environ;

namespace {

int remove_one(const char *path, const struct stat *, int, FTW *) {
    std::remove(path);
    return 0;
}

// A server that floods its console must not fill the memory.
constexpr size_t max_lines = 100000;

// Writing to a server that has died must fail with EPIPE, not end us.
struct sigpipe_ignored {
    struct sigaction old {};
    sigpipe_ignored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &old);
    }
    ~sigpipe_ignored() {
        sigaction(SIGPIPE, &old, nullptr);
    }
    sigpipe_ignored(const sigpipe_ignored &) = delete;
    sigpipe_ignored &operator=(const sigpipe_ignored &) = delete;
};

void write_all(fd_owner &to, const std::string &text) {
    for (size_t at = 0; to.fd >= 0 && at < text.size();) {
        ssize_t n = write(to.fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        at += static_cast<size_t>(n);
    }
}

// The console's colour codes: a caret and a letter or digit.
std::string without_colours(const std::string &line) {
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '^' && i + 1 < line.size() &&
            std::isalnum(static_cast<unsigned char>(line[i + 1])))
            ++i;
        else if (line[i] != '\r')
            out += line[i];
    }
    return out;
}

pid_t spawn(const std::vector<std::string> &argv, const std::string &dir, int in, int out) {
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, pipe_signal;
    sigemptyset(&none);
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &pipe_signal);
    // Its own group: the terminal's ^C reaches us alone, and a kill reaches
    // whatever the server started too.
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A pipe's two ends, closed on exec.
bool make_pipe(fd_owner &read_end, fd_owner &write_end) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    read_end = fd_owner{ends[0]};
    write_end = fd_owner{ends[1]};
    return true;
}

} // namespace

bool is_executable_file(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string program_on_path(const char *name, const char *fallback) {
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = std::min(dirs.find(':', start), dirs.size());
        std::string candidate = (end == start ? "." : dirs.substr(start, end - start)) + "/" + name;
        if (is_executable_file(candidate))
            return candidate;
        start = end + 1;
    }
    return fallback;
}

std::string absolute_path(const std::string &path) {
    if (path.empty() || path[0] == '/')
        return path;
    std::unique_ptr<char, decltype(&std::free)> here(getcwd(nullptr, 0), &std::free);
    return here ? std::string(here.get()) + "/" + path : path;
}

private_folder::private_folder(const char *prefix) {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "XXXXXX";
    if (mkdtemp(pattern.data()))
        path = pattern;
}

private_folder::~private_folder() {
    if (!path.empty())
        nftw(path.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS);
}

engine_output run_engine(const std::vector<std::string> &argv, const std::string &dir,
                         const std::string &input, const std::string &sentinel, int seconds) {
    engine_output result;
    fd_owner console_read, console, printed, printed_write;
    if (!make_pipe(console_read, console) || !make_pipe(printed, printed_write))
        return result;
    sigpipe_ignored quiet_pipe;
    pid_t pid = spawn(argv, dir, console_read.fd, printed_write.fd);
    console_read = fd_owner();
    printed_write = fd_owner();
    if (pid < 0)
        return result;
    result.started = true;
    write_all(console, input);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string pending;
    char chunk[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        pollfd wait_for{printed.fd, POLLIN, 0};
        int ready = wait_or_stop(&wait_for, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR && stop_signal() == 0)
            continue;
        if (ready <= 0)
            break;
        ssize_t n = read(printed.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            result.finished = true;
            break;
        }
        pending.append(chunk, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = without_colours(pending.substr(0, end));
            pending.erase(0, end + 1);
            if (line == sentinel) {
                write_all(console, "quit\n");
                console = fd_owner();
            }
            if (result.lines.size() < max_lines)
                result.lines.push_back(std::move(line));
        }
    }
    if (!pending.empty() && result.lines.size() < max_lines)
        result.lines.push_back(without_colours(pending));
    // A server that closed its output may still be running: it gets the
    // time that is left, then is killed.
    int status = 0;
    for (pid_t done; (done = waitpid(pid, &status, WNOHANG)) != pid;) {
        if (done < 0 && errno != EINTR)
            break;
        if (!result.finished || stop_signal() != 0 ||
            std::chrono::steady_clock::now() >= deadline) {
            result.finished = false;
            kill(-pid, SIGKILL);
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            return result;
        }
        wait_or_stop(nullptr, 0, 10);
    }
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    // What it left running goes with it.
    kill(-pid, SIGKILL);
    return result;
}
