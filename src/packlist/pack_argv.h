// The packer's argument list: the options, the archive name and the files
// a run staged, in the order the archive lists them.
#pragma once

#include <string>
#include <vector>

#include "request/pack_run.h"
#include "request/request.h"

// Lists the files the plan staged into run.pack_argv, by their game paths:
// the options, the archive, the planned files with the arena script before
// the shader scripts and the added files, then the credits file.  Returns the count.
int creat_argv(const pack_request &request, pack_run &run);
// The null-terminated char* view of a packer argument list, as pk3_dir reads it.
std::vector<char *> argv_view(std::vector<std::string> &args);
