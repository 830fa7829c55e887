// In-process file copies of the staging tree (shared by the staging and
// the argument-list walk; not part of the program's interface).
#pragma once

#include <sys/stat.h>

#include "io/io.h"

// Copies the file open on src_fd (whose status is src), from its start, to
// dest_path, creating or replacing it.  A destination that is the source
// itself is left alone.  Returns 0, or the errno of the step that failed
// (the partial copy is then removed).
int copy_file(int src_fd, const struct stat &src, const char *dest_path);

// Creates the folder, or finds it already there; returns 0 or the errno of
// the failure (EEXIST when something that is not a folder has the name).
int make_folder(const char *path);
