// --make-levelshot: the private package, the private X server, one client
// run, and the picture it leaves.
#include "shot/shot.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "minizip/pk3_dir.h"
#include "minizip/signals.h"
#include "packlist/pack_argv.h"
#include "stage/copy_file.h"
#include "stage/stage.h"
#include "verify/engine_run.h"
#include "verify/stop_signals.h"

extern char **environ;

namespace {

// Typed by the client once the picture is written.
const char sentinel[] = "mapcrate-levelshot-end";


// The X server the client draws in, in a process group of its own; asked to
// end (so that it removes its lock and socket) when this goes, killed when
// it does not within two seconds.
struct x_server {
    pid_t pid = -1;
    std::string display; // ":N", empty until it said its number
    x_server() = default;
    x_server(const x_server &) = delete;
    x_server &operator=(const x_server &) = delete;
    ~x_server() {
        if (pid <= 0)
            return;
        kill(pid, SIGTERM);
        for (int i = 0; i < 200; ++i) {
            pid_t done = waitpid(pid, nullptr, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR))
                return;
            usleep(10000);
        }
        kill(-pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
};

// Starts the X server with a screen the client's window fits in; it picks a
// free display number itself and writes it on a pipe.  False when it did
// not within ten seconds.
bool start_x_server(const std::string &program, x_server &x) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    fd_owner number{ends[0]}, number_write{ends[1]};
    // The server writes on descriptor 3; 4 when the pipe's end is 3 itself
    // (a dup2 onto itself would keep its close-on-exec).
    int target = number_write.fd == 3 ? 4 : 3;
    std::string fd_text = std::to_string(target);
    std::vector<std::string> argv = {program, "-displayfd", fd_text,     "-screen",
                                     "0",     "640x480x24", "-nolisten", "tcp"};
    std::vector<char *> args;
    for (std::string &a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_adddup2(&actions, number_write.fd, target);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    if (posix_spawn(&x.pid, args[0], &actions, &attr, args.data(), environ) != 0)
        x.pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    number_write = fd_owner();
    if (x.pid < 0)
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string said;
    while (said.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || said.size() > 16)
            return false;
        pollfd wait_for{number.fd, POLLIN, 0};
        int ready = wait_or_stop(&wait_for, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR && stop_signal() == 0)
            continue;
        char chunk[16];
        ssize_t n = ready > 0 ? read(number.fd, chunk, sizeof chunk) : 0;
        if (n <= 0)
            return false;
        said.append(chunk, static_cast<size_t>(n));
    }
    said.erase(said.find('\n'));
    if (said.empty() || said.find_first_not_of("0123456789") != std::string::npos)
        return false;
    x.display = ":" + said;
    return true;
}

// The planned files and the arena script packed as home/baseoa/<map>.pk3,
// staged in home/stage/ without a line.
report pack_private(const pack_request &request, const pack_run &run, const std::string &home,
                    const progress_sink &sink) {
    progress_sink quiet;
    quiet.cancelled = sink.cancelled;
    pack_run trial = run;
    trial.stage_dir = home + "/stage/";
    std::string game = home + "/baseoa";
    if (mkdir(trial.stage_dir.c_str(), 0700) != 0 || mkdir(game.c_str(), 0700) != 0) {
        report r = report_of(msg::shot_failed, step_id::staging, request.map_name);
        r.why = std::strerror(errno);
        return r;
    }
    if (report r = creat_dir(request, trial, quiet); failed(r))
        return r;
    int count = creat_argv(request, trial);
    trial.pack_argv[3] = game + "/" + request.map_name + ".pk3";
    std::vector<char *> argv = argv_view(trial.pack_argv);
    report failure;
    pk3_dir(count, argv.data(), quiet, &failure, trial.stage_dir);
    return failure;
}

// The client's arguments: the game from its base, the home folder private,
// no sound, no network, a window of 512x384 (the picture takes 4x3 of its
// pixels for each of its own), nothing drawn over the view; the player joins
// as a spectator, and once the view is up the picture is taken.
std::vector<std::string> client_argv(const shot_setup &setup, const std::string &display,
                                     const std::string &home, const std::string &map) {
    std::vector<std::string> argv = {"/usr/bin/env", "DISPLAY=" + display,
                                     "LIBGL_ALWAYS_SOFTWARE=1", setup.client};
    const std::pair<const char *, std::string> cvars[] = {
        {"com_basegame", "baseoa"},
        {"fs_basepath", setup.base},
        {"fs_homepath", home},
        {"s_initsound", "0"},
        {"net_enabled", "0"},
        {"sv_pure", "0"},
        {"com_introplayed", "1"},
        // A failure ends the client instead of leaving it in its menu.
        {"com_buildScript", "1"},
        {"r_fullscreen", "0"},
        {"r_mode", "-1"},
        {"r_customwidth", "512"},
        {"r_customheight", "384"},
        {"cg_draw2D", "0"},
        {"cg_drawGun", "0"},
        {"developer", "0"},
        {"con_notifytime", "-1"},
        {"cl_noprint", "1"},
        // Run at the first frame of play; the frames after it let the view settle.
        {"activeAction", std::string("wait 30; screenshot levelshot; echo ") + sentinel},
    };
    for (const auto &[name, value] : cvars)
        argv.insert(argv.end(), {"+set", name, value});
    argv.insert(argv.end(), {"+setu", "team", "spectator", "+map", map});
    return argv;
}

report outcome(msg what, const std::string &map) {
    return report_of(what, step_id::verify, map);
}

// Why a client that did not get to the picture stopped: the reason of its
// shutdown line, else its last line.
report refused(const engine_output &run, const std::string &map) {
    report r = outcome(msg::shot_refused, map);
    const std::string head = "----- Client Shutdown (", tail = ") -----";
    for (const std::string &line : run.lines) {
        if (line.compare(0, head.size(), head) == 0 && line.size() > head.size() + tail.size() &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
            std::string why = line.substr(head.size(), line.size() - head.size() - tail.size());
            if (why != "Client quit") {
                r.other = why;
                return r;
            }
        }
        if (!line.empty())
            r.other = line;
    }
    return r;
}

} // namespace

bool find_client(shot_setup &setup) {
    if (setup.client.empty())
        setup.client = program_on_path("ioquake3", "/usr/lib/ioquake3/ioquake3");
    if (setup.base.empty())
        setup.base = "/usr/lib/openarena";
    if (setup.xserver.empty())
        setup.xserver = program_on_path("Xvfb", "/usr/bin/Xvfb");
    setup.client = absolute_path(setup.client);
    setup.base = absolute_path(setup.base);
    setup.xserver = absolute_path(setup.xserver);
    struct stat st;
    return is_executable_file(setup.client) && is_executable_file(setup.xserver) &&
           stat((setup.base + "/baseoa/pak0.pk3").c_str(), &st) == 0;
}

shot_result make_levelshot(const pack_request &request, const pack_run &run, shot_setup setup,
                           const progress_sink &sink) {
    shot_result result;
    const std::string &map = request.map_name;
    if (!find_client(setup)) {
        result.outcome = outcome(msg::shot_no_client, map);
        return result;
    }
    stop_signals stoppable;
    {
        private_folder home("mapcrate-shot-");
        x_server x;
        auto failure = [&](const char *why) {
            result.outcome = outcome(msg::shot_failed, map);
            result.outcome.why = why;
        };
        if (home.path.empty()) {
            failure(std::strerror(errno));
        } else if (report packed = pack_private(request, run, home.path, sink); failed(packed)) {
            result.outcome = packed;
        } else if (!start_x_server(setup.xserver, x)) {
            if (stop_signal() == 0)
                failure("Xvfb");
        } else {
            engine_output ran = run_engine(client_argv(setup, x.display, home.path, map), home.path,
                                           "", sentinel, setup.seconds);
            bool done = std::find(ran.lines.begin(), ran.lines.end(), sentinel) != ran.lines.end();
            std::vector<unsigned char> rgb =
                done ? read_tga_pixels(home.path + "/baseoa/levelshots/" + map + ".tga", shot_side)
                     : std::vector<unsigned char>();
            if (!ran.started)
                result.outcome = outcome(msg::shot_no_client, map);
            else if (!done && !ran.finished)
                result.outcome = outcome(msg::shot_too_slow, map),
                result.outcome.count = static_cast<std::uint64_t>(setup.seconds);
            else if (!done)
                result.outcome = refused(ran, map);
            else if (rgb.empty())
                result.outcome = outcome(msg::shot_no_picture, map);
            else if ((result.jpeg = jpeg_of(rgb, shot_side, shot_side)).empty())
                failure("libjpeg");
        }
    }
    // One that came outside the waits is taken now, still noted.
    wait_or_stop(nullptr, 0, 0);
    result.stopped_by = stop_signal();
    if (result.stopped_by != 0)
        result.jpeg.clear();
    return result;
}

std::string kept_shot_path(const pack_request &request) {
    return request.map_name + "-levelshot.jpg";
}

void drop_new_shot(pack_run &run) {
    if (!run.new_shot.empty())
        unlink(run.new_shot.c_str());
    run.new_shot.clear();
}

std::vector<report> shot_questions(const pack_request &request) {
    struct stat st;
    if (!request.make_levelshot || lstat(kept_shot_path(request).c_str(), &st) != 0)
        return {};
    return {report_of(msg::question_shot_replaces, step_id::questions, kept_shot_path(request))};
}

report keep_levelshot(const pack_request &request, const std::string &jpeg, pack_run &run) {
    std::string path = kept_shot_path(request);
    std::string temporary = "." + path + ".XXXXXX";
    struct stat st;
    bool was_there = lstat(path.c_str(), &st) == 0;
    int err = 0;
    {
        // A signal now would leave the temporary file: it waits till the rename.
        signals_held hold;
        fd_owner out{mkostemp(temporary.data(), O_CLOEXEC)};
        if (out.fd < 0)
            err = errno;
        for (size_t at = 0; err == 0 && at < jpeg.size();) {
            ssize_t n = write(out.fd, jpeg.data() + at, jpeg.size() - at);
            if (n < 0 && errno != EINTR)
                err = errno;
            at += n > 0 ? static_cast<size_t>(n) : 0;
        }
        if (err == 0 && (fchmod(out.fd, 0644) != 0 || rename(temporary.c_str(), path.c_str()) != 0))
            err = errno;
        if (err != 0 && out.fd >= 0)
            unlink(temporary.c_str());
    }
    if (err != 0)
        return staging_failure(path, err);
    run.new_shot = was_there ? std::string() : path;
    auto scripts =
        std::find_if(run.plan.files.begin(), run.plan.files.end(), [](const planned_file &f) {
            return f.game_path.compare(0, 8, "scripts/") == 0;
        });
    run.plan.files.insert(scripts, {"levelshots/" + request.map_name + ".jpg", path, jpeg.size()});
    return {};
}
