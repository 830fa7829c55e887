// The private folder an Execute stages in: the author's folders are only
// read, and the working folder only gets the package.
#pragma once

#include <string>

#include "io/io.h"

// The folder's name in the working folder, as mkdtemp wants it.
extern const char stage_template[];

// One run's staging folder: locked while it lives, so that the next run
// tells it from one a killed run left, and removed with all it holds when
// it goes.  A signal meanwhile removes it too (see signals.h).
struct stage_folder {
    std::string path; // with its closing '/'; empty until made
    fd_owner lock;
    // Not copied: its lock, an fd_owner, is not.
    ~stage_folder();
};

// Removes the staging folders no running Execute holds any more, then
// makes stage in the working folder.  Returns 0 or the errno of the
// failure.
int make_stage_folder(stage_folder &stage);
