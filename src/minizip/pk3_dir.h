// The packer: a zip archive of the files it is given, written whole or not
// at all.
#pragma once

#include <string>

#include "deflate_pool.h"
#include "report/report.h"

// Writes the archive named in argv (minizip-style options, read up to the
// archive's name; every argument after it is a file, but for a dash and one
// option character, which is skipped).  Returns 0 when every step
// succeeded, -104 when the write buffer cannot be allocated and another
// negative value for any other failure, which leaves an archive of that
// name as it was.  Prints nothing: its banner, usage, progress and failure
// lines go to sink.tell, the question about an archive that exists to
// sink.ask (no answer, or no ask, stops the pack: a failure).  sink.advance
// hears of each file added; sink.cancelled, asked before each file and
// each block, stops the pack as a failure of what run_cancelled, told to
// no one.  failure, when given, gets the first failure
// (step packing; the file read, or the archive; the reason).  SIGINT,
// SIGTERM and SIGHUP remove the temporary file and end the process with 128
// plus the signal's number.  With source_dir, each file is read from
// source_dir followed by its name, and stored under the name alone.
int pk3_dir(int argc, char **argv, const progress_sink &sink, report *failure,
            const std::string &source_dir = {});
// pk3_dir with the given memory limits (pk3_dir uses the defaults).
int pack_with_limits(int argc, char **argv, const pack_limits &limits, const progress_sink &sink,
                     report *failure, const std::string &source_dir = {});
