// The packer's small routines, reachable by its tests.
#pragma once

#include <minizip/zip.h>

#include <string>

#include "deflate_pool.h"

// What a step of Execute ended with: the step that failed, the path it
// failed on (raw bytes) and why (the system's message in the locale's
// encoding, or ours in ASCII where no system call failed).  step none: all
// went well, path and reason empty.
enum class failed_step { none, staging, packing };
struct outcome {
    failed_step step = failed_step::none;
    std::string path;
    std::string reason;
};

// Writes the archive named in argv (minizip-style options, read up to the
// archive's name; every argument after it is a file, but for a dash and one
// option character, which is skipped).  Returns 0 when every step
// succeeded, -104 when the write buffer cannot be allocated and another
// negative value for any other failure, which leaves an archive of that
// name as it was.  The failure lines go to standard output; failure, when
// given, gets the first as a packing outcome (the file read, or the
// archive).  SIGINT, SIGTERM and SIGHUP remove the temporary file and end
// the process with 128 plus the signal's number.  With source_dir, each
// file is read from source_dir followed by its name, and stored under the
// name alone.
int pk3_dir(int argc, char **argv);
int pk3_dir(int argc, char **argv, outcome *failure, const std::string &source_dir = {});

// Stores the file's last-modification time, in local time, as an MS-DOS
// date (high 16 bits) and time (low 16 bits) into *dt.  tmzip is not
// touched.  Returns 1 when the file was found, 0 otherwise (nothing stored).
int filetime(const char *path, tm_zip *tmzip, uLong *dt);
// 1 when the file opens for reading, 0 otherwise.
int check_exist_file(const char *path);
// CRC-32 of the whole file, read in chunks of size_buf through buf, into
// *result_crc, and prints it.  Returns 0, or -1 with errno when the file
// did not open (CRC 0) or a read failed before the end (CRC of what was
// read; the failure is printed).
int getFileCrc(const char *path, void *buf, unsigned long size_buf, uLong *result_crc);
void do_banner();
void do_help();
// pk3_dir with the given memory limits (pk3_dir uses the defaults).
int pack_with_limits(int argc, char **argv, const pack_limits &limits, outcome *failure = nullptr,
                     const std::string &source_dir = {});
// The general-purpose flag bits an entry of this name gets: the UTF-8 bit
// when the name is valid UTF-8 and holds a byte above 127, else none.
uLong name_flags(const char *name);
