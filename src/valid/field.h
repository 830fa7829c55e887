// Execute's first step: the form's rules, then the questions about the
// files it names.  Shows nothing, prints nothing, changes nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "request/request.h"

// The silent tests behind validation and the file selection: a path that
// opens as a directory listing; a path that opens read-only as a regular
// file (not a folder, which opens read-only too here, nor a pipe or device).
bool opens_as_folder(const char *path);
bool opens_as_file(const char *path);

// The form's rules, in the order they are applied.
enum class form_rule {
    textures_not_folder,
    file_unreadable,
    mandatory_missing,
    map_name_unloadable,
};
struct failed_rule {
    form_rule rule;
    const char *message; // ISO-8859-1
    std::string path;    // the file the rule refused, as typed; empty when none
};
// What Execute asks before it writes anything, in the order it asks.
enum class question_kind {
    bsp_not_level,
    aas_not_navigation,
    aas_for_another_bsp,
    levelshot_not_128_jpeg,
    missing_files,
    conflicts,
    no_game_mode,
};
struct question {
    question_kind kind;
    std::string text; // ISO-8859-1, without the closing go_on_text
};
// The closing line of every question in the window.
extern const char *const go_on_text;
struct request_check {
    std::optional<failed_rule> failed; // the first rule that failed, if any
    std::vector<question> questions;   // when none failed
};
// The request's rules, then the questions about the level's files and the
// game modes.
request_check verif_field(const pack_request &request);
const char *rule_message(form_rule rule);
