// The staging tree: the folders, the copies of the user's files and the two
// generated files, under the run's private folder.
#pragma once

#include <string>

#include "report/report.h"
#include "request/pack_run.h"
#include "request/request.h"

// The game-mode tokens of the arena script, in the order of the request's modes.
constexpr size_t mode_count = 16;
extern const char *const mode_tokens[mode_count];
// The texts of the two generated files (the author's own arena script, when
// the request has one, is written in place of arena_text).
std::string arena_text(const pack_request &request);
extern const char *const credits_text;

// Build the staging tree and the scripts under run.stage_dir, telling sink
// a progress line before each folder, copy and file.  Each stops at the
// first that fails and returns it as a staging failure, named by its game
// path (or the source that cannot be read); a report whose what is ok when
// all went well.  No link is written through: a link where a file goes is
// replaced by the file, and a link where a folder goes stops the staging.
// sink.cancelled, asked before each file and between blocks of a copy,
// stops it with a run_cancelled record.
report creat_dir(const pack_request &request, const pack_run &run, const progress_sink &sink);
report gener_scripts(const pack_request &request, const pack_run &run, const progress_sink &sink);
// One write of the whole text; returns what write returned.
long my_putstr_to_fd(const char *text, int fd);
