// Execute's first step: the form's rules, then the questions about the
// files it names.  Shows nothing, prints nothing, changes nothing.
#pragma once

#include <vector>

#include "report/report.h"
#include "request/request.h"

// The silent tests behind validation and the file selection: a path that
// opens as a directory listing; a path that opens read-only as a regular
// file (not a folder, which opens read-only too here, nor a pipe or device).
bool opens_as_folder(const char *path);
bool opens_as_file(const char *path);

// What the first step found: the first rule the request fails (a report of
// step form; none failed when its what is ok), else the questions to ask
// (step questions), in their order.
struct request_check {
    report refused;
    std::vector<report> questions;
};
// The request's rules, then the questions about the level's files and the
// game modes.
request_check verif_field(const pack_request &request);
