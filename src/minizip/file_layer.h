// The file layer under the zip library: POSIX file descriptors.
//
// The library never writes the archive itself: it writes a temporary file
// beside it (in append mode, a copy of the archive), and file_layer_finish
// renames that over the archive only when the whole pack succeeded.  A
// failed pack thus leaves an old archive exactly as it was.  Only a regular
// file is replaced; through a symbolic link, the file it names.  The
// temporary file stays locked (flock) while it is ours; one left unlocked
// by a run that was killed is removed by the next pack beside it.
#pragma once

#include <minizip/ioapi.h>

#include <string>

#include "io/io.h"

struct file_layer {
    std::string temp;   // the temporary file while it is ours, else empty
    std::string target; // where the temporary file goes at the end
    fd_owner fd;
    fd_owner lock;       // holds the temporary file's lock until it is renamed or removed
    long long pos = 0;   // where the next read or write goes
    std::string pending; // small writes not yet passed to the system
    // Why the first open, read, write, seek, sync, close or rename failed
    // (the system's words); empty while all went well.
    std::string failure;
    // Removes a temporary file that was never renamed.
    ~file_layer();
};

// Fills the library's file-function table with functions working on
// layer, which must outlive the archive handle.
void fill_posix_filefunc(zlib_filefunc_def *def, file_layer *layer);

// Call after zipClose; keep tells whether the pack succeeded (zipClose
// returned 0 and every entry went in).  The temporary file then replaces
// the archive; otherwise it is removed and the archive left alone.
// Returns 0 when the archive holds what the library wrote, -1 otherwise.
int file_layer_finish(file_layer *layer, bool keep);
