// Execute's first step: the request's rules and the questions about it.
// Nothing here shows or prints: the front ends do.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "gamepath/game_path.h"
#include "io/io.h"
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
    return report_of(what, step_id::form, path);
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
    bool any_mode = false;
    for (bool on : request.modes)
        any_mode = any_mode || on;
    if (!any_mode)
        check.questions.push_back(report_of(msg::question_no_game_mode, step_id::questions));
    return check;
}
