// The two generated files of the staging tree: the arena script the game
// reads and the credits file at the archive's root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "gamepath/game_path.h"
#include "stage/copy_file.h"
#include "stage/pack_arena.h"
#include "stage/stage.h"

namespace {

// The game reads double quotes as the ends of a value, so one inside the
// text would cut it; line feeds get the carriage return of text mode.
std::string arena_value(const std::string &text) {
    std::string v;
    for (char c : text) {
        if (c == '"')
            v += '\'';
        else if (c == '\n')
            v += "\r\n";
        else
            v += c;
    }
    return v;
}

// Writes the text in one write into a file of its own, created or
// truncated; returns 0 or the errno of the step that failed.
int write_text(const char *path, const std::string &text) {
    fd_owner out{open_own_file(path, O_RDWR | O_CREAT | O_TRUNC, 0755)};
    if (out.fd < 0)
        return errno;
    long n = my_putstr_to_fd(text.c_str(), out.fd);
    if (n != static_cast<long>(text.size()))
        return n < 0 ? errno : ENOSPC;
    int fd = std::exchange(out.fd, -1);
    return close(fd) == 0 ? 0 : errno;
}

} // namespace

const char *const mode_tokens[mode_count] = {
    "ffa",         "team",           "ctf",     "single",    "tourney",  "ca", "1v1", "2v2", "lms",
    "elimination", "ctfelimination", "oneflag", "harvester", "overload", "dd", "dom"};

// Both files are text files with CR LF line ends, as the game's platform
// writes them; Linux has no text mode, so the pairs are spelled out.
const char *const credits_text = "pk3 creer avec Mapcrate v0.1\r\n"
                                 "http://mapcrate.example.org/\r\n"
                                 "\r\n"
                                 "Mapcrate (c) 2026 son auteur\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "Merci a l'auteur de minizip\r\n"
                                 "http://www.winimage.com/zLibDll/minizip.html";

std::string arena_text(const pack_request &request) {
    const std::string bots = request.bots.empty() ? "phobos" : request.bots;
    std::string arena = "{\r\nmap \"" + arena_value(request.map_name) + "\"\r\nbots \"" +
                        arena_value(bots) + "\"\r\nlongname \"" + arena_value(request.description) +
                        "\"\r\n";
    if (!request.author.empty())
        arena += "author \"" + arena_value(request.author) + "\"\r\n";
    arena += "fraglimit " + std::to_string(request.fraglimit) + "\r\ntimelimit " +
             std::to_string(request.timelimit) + "\r\n";
    if (request.capturelimit >= 0)
        arena += "capturelimit " + std::to_string(request.capturelimit) + "\r\n";
    arena += "type \"";
    for (size_t i = 0; i < mode_count; ++i)
        if (request.modes[i])
            arena += std::string(mode_tokens[i]) + " ";
    return arena + "\"\r\n}\r\n";
}

long my_putstr_to_fd(const char *text, int fd) {
    return static_cast<long>(write(fd, text, std::strlen(text)));
}

report gener_scripts(const pack_request &request, const pack_run &run, const progress_sink &sink) {
    const std::string &stage = run.stage_dir;
    if (report r = make_stage_dir(stage, "scripts/", sink); failed(r))
        return r;

    std::string path;
    str_end_cpy(path, "scripts/");
    str_end_cpy(path, request.map_name);
    str_end_cpy(path, ".arena");
    send(sink, report_of(msg::stage_file_made, step_id::staging, path));

    const bool own = !request.arena_path.empty();
    if (int err = write_text((stage + path).c_str(),
                             own ? request.arena_script : package_arena_text(request)))
        return staging_failure(path, err);
    if (int err = write_text((stage + "mapcrate").c_str(), credits_text))
        return staging_failure("mapcrate", err);
    return {};
}
