// The packer's small routines, reachable by its tests.
#pragma once

#include <minizip/zip.h>

#include "deflate_pool.h"
#include "mapcrate.h"

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
