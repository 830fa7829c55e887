// Execute's first step: the form's rules, then the questions about the
// files it names.  Shows nothing, prints nothing, changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/report.h"
#include "request/request.h"

// The silent tests behind validation and the file selection: a path that
// opens as a directory listing; a path that opens read-only as a regular
// file (not a folder, which opens read-only too here, nor a pipe or device).
bool opens_as_folder(const char *path);
bool opens_as_file(const char *path);

// Why the file at path cannot be packed as it is (own_file_missing,
// own_file_broken_link, own_file_folder, own_file_not_regular for a pipe
// or a device, own_file_unreadable); msg::ok when it opens as a regular file.
msg own_file_problem(const std::string &path);
// The whole of the file at path into text, when it is a regular file of 1
// to limit bytes; otherwise a report of step form, about path, saying why
// (own_file_problem's, own_file_too_big with the limit as count, own_file_empty).
report read_own_file(const std::string &path, std::uint64_t limit, std::string &text);

// What the first step found: the first rule the request fails (a report of
// step form; none failed when its what is ok), else the questions to ask
// (step questions), in their order.
struct request_check {
    report refused;
    std::vector<report> questions;
};
// The request's rules (the added files must open as regular files; the
// author's own arena script must read whole as the game reads it and name
// the map), then the questions about the level's files and the game modes
// (none about the modes with the author's own arena script).
request_check verif_field(const pack_request &request);
