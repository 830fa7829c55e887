// In-process file copies of the staging tree (shared by the staging and
// the argument-list walk; not part of the program's interface).
#pragma once

#include <sys/stat.h>

#include <string>

#include "io/io.h"
#include "report/report.h"

// Copies the file open on src_fd (whose status is src), from its start, to
// dest_path, creating or replacing it.  A destination that is the source
// itself is left alone.  Returns 0, or the errno of the step that failed
// (the partial copy is then removed); ECANCELED when sink asked to stop
// between two blocks.
int copy_file(int src_fd, const struct stat &src, const char *dest_path,
              const progress_sink &sink = {});

// Opens path for writing (flags as open's, O_CREAT among them) as a file of
// its own: a symbolic link or a second hard link there is removed first and
// a new file made, so that what it led to is never written.  Returns the
// descriptor, or -1 with errno.
int open_own_file(const char *path, int flags, mode_t mode);

// Creates the folder, or finds it already there; returns 0 or the errno of
// the failure (EEXIST when something that is not a folder has the name,
// ELOOP when a symbolic link has it: it is not followed).
int make_folder(const char *path);

// The staging failure of a call on path that failed with err.  A link in
// the tree's way is named as such: the system would only say it loops.
report staging_failure(const std::string &path, int err);

// Tells the folder's progress line, then makes the folder path (a game
// path) under stage; a staging failure when it cannot.
report make_stage_dir(const std::string &stage, const std::string &path, const progress_sink &sink);
