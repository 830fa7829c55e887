// Execute's first step: the request's rules and the questions about it.
// Nothing here shows or prints: the front ends do.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "gamepath/game_path.h"
#include "io/io.h"
#include "level/arena_script.h"
#include "valid/field.h"
#include "valid/level_checks.h"
#include "valid/pack_rules.h"

namespace {

// The first of the files the request names that does not open as a file.
const std::string *first_unreadable(const pack_request &r) {
    for (const std::string *file : {&r.bsp_path, &r.aas_path, &r.levelshot_path})
        if (!file->empty() && !opens_as_file(file->c_str()))
            return file;
    return nullptr;
}

// A client asks a server for the map's package as "baseoa/<name>.pk3" in at
// most 63 bytes (MAX_QPATH), the console splits a name at a blank or a byte
// outside ASCII, and the menu types "map <name>", where a ';' would start
// another command.
bool game_can_load(const std::string &map_name) {
    if (map_name.size() > map_name_limit)
        return false;
    for (char c : map_name) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && !std::strchr("-_.", c))
            return false;
    }
    return true;
}

// What keeps the author's own arena script from naming the map for the
// game: its size, a NUL byte (no text at all), a fault of its form.
report arena_rule(const pack_request &r) {
    report refused = report_of(msg::ok, step_id::form, r.arena_path);
    arena_reading arena;
    if (r.arena_script.size() >= arena_text_limit)
        refused.what = msg::arena_too_big_for_game, refused.count = arena_text_limit;
    else if (r.arena_script.find('\0') != std::string::npos)
        refused.what = msg::arena_not_text;
    else if (arena = read_arena(r.arena_script); arena.fault != msg::ok)
        refused.what = arena.fault, refused.other = arena.word;
    else if (auto left = maps_not_named(arena, {r.map_name}); !left.empty())
        refused.what = msg::arena_map_not_named, refused.other = left.front();
    return refused;
}

// The first rule the request fails, with the file it refused.
report first_failed_rule(const pack_request &r) {
    msg what = msg::ok;
    std::string path;
    if (!r.textures_dir.empty() && !opens_as_folder(r.textures_dir.c_str()))
        what = msg::rule_textures_not_folder;
    else if (const std::string *file = first_unreadable(r))
        what = msg::rule_file_unreadable, path = *file;
    else if (r.bsp_path.empty() || r.map_name.empty())
        what = msg::rule_mandatory_missing;
    else if (!game_can_load(r.map_name))
        what = msg::rule_map_name_unloadable;
    if (what != msg::ok)
        return report_of(what, step_id::form, path);
    for (const added_file &file : r.added)
        if (msg trouble = own_file_problem(file.source); trouble != msg::ok)
            return report_of(trouble, step_id::form, file.source);
    if (!r.arena_path.empty())
        return arena_rule(r);
    return {};
}

msg question_about(level_problem p) {
    switch (p) {
    case level_problem::bsp_not_level:
        return msg::question_bsp_not_level;
    case level_problem::aas_not_navigation:
        return msg::question_aas_not_navigation;
    case level_problem::aas_for_another_bsp:
        return msg::question_aas_for_another_bsp;
    case level_problem::levelshot_not_128:
        break;
    }
    return msg::question_levelshot_not_128_jpeg;
}

} // namespace

bool opens_as_folder(const char *path) {
    dir_owner d{opendir(path)};
    return d.d != nullptr;
}

// The same test as the copy makes: a named pipe is refused rather than
// waited on, and only a regular file can go into the package.
bool opens_as_file(const char *path) {
    struct stat st;
    fd_owner fd{open_as_file(path, st)};
    return fd.fd >= 0;
}

msg own_file_problem(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return lstat(path.c_str(), &st) == 0 ? msg::own_file_broken_link : msg::own_file_missing;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? msg::own_file_folder : msg::own_file_not_regular;
    return opens_as_file(path.c_str()) ? msg::ok : msg::own_file_unreadable;
}

report read_own_file(const std::string &path, std::uint64_t limit, std::string &text) {
    report r = report_of(own_file_problem(path), step_id::form, path);
    struct stat st;
    if (failed(r) || stat(path.c_str(), &st) != 0)
        return r;
    if (static_cast<std::uint64_t>(st.st_size) > limit)
        r.what = msg::own_file_too_big, r.count = limit;
    else if (!read_whole_file(path.c_str(), text, limit))
        r.what = msg::own_file_unreadable;
    else if (text.empty())
        r.what = msg::own_file_empty;
    return r;
}

request_check verif_field(const pack_request &request) {
    if (request.bsp_paths.size() > 1)
        return verif_pack(request);
    request_check check;
    check.refused = first_failed_rule(request);
    if (failed(check.refused))
        return check;
    for (level_problem p : level_problems(request.bsp_path.c_str(), request.aas_path.c_str(),
                                          request.levelshot_path.c_str()))
        check.questions.push_back(report_of(question_about(p), step_id::questions));
    // The author's own arena script says the modes itself.
    bool any_mode = !request.arena_path.empty();
    for (bool on : request.modes)
        any_mode = any_mode || on;
    if (!any_mode)
        check.questions.push_back(report_of(msg::question_no_game_mode, step_id::questions));
    return check;
}
