// The file layer under the zip library: POSIX file descriptors.
//
// In create mode the library writes into a temporary file beside the
// archive; file_layer_finish renames it over the archive only when every
// write succeeded, so a failed write never destroys an archive that was
// already there.  Append mode works on the archive itself.
#pragma once

#include <minizip/ioapi.h>

#include <string>

struct file_layer {
    std::string temp;   // the temporary file while it is ours, else empty
    std::string target; // where the temporary file goes at the end
    int fd = -1;
    long long pos = 0;   // the descriptor's offset, kept here to spare a call per query
    std::string pending; // small writes not yet passed to the system
    bool failed = false; // a read, write, seek, sync or close went wrong
    file_layer() = default;
    file_layer(const file_layer &) = delete;
    file_layer &operator=(const file_layer &) = delete;
    // Closes a descriptor the library left open and removes a temporary
    // file that was never renamed.
    ~file_layer();
};

// Fills the library's file-function table with functions working on
// layer, which must outlive the archive handle.
void fill_posix_filefunc(zlib_filefunc_def *def, file_layer *layer);

// Call after zipClose; closed_ok tells whether it returned 0.  A created
// archive replaces the old one when closed_ok and no operation failed;
// otherwise the temporary file is removed.  Returns 0 when the archive
// holds what the library wrote, -1 otherwise.
int file_layer_finish(file_layer *layer, bool closed_ok);
