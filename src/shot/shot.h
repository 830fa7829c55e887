// A levelshot made by the game itself: the planned files packed into a
// package in a private home folder, loaded by the game's client in an X
// server of its own, seen from where a spectator starts (the intermission
// view) with nothing drawn over it, and the client's own 128x128
// "screenshot levelshot" turned into a JPEG.
#pragma once

#include <string>
#include <vector>

#include "report/report.h"
#include "request/pack_run.h"
#include "request/request.h"

// Where the client, the game and the X server are.  Empty: looked for where
// Debian puts them (ioquake3 on PATH, then /usr/lib/ioquake3/; the game's
// base /usr/lib/openarena, whose baseoa/ holds the game's pk3s; Xvfb on PATH).
struct shot_setup {
    std::string client;
    std::string base;
    std::string xserver;
    int seconds = 60; // the most the client may take before it is stopped
};

// Fills the setup's empty fields; false when one of the three is missing.
bool find_client(shot_setup &setup);

// The picture's side, as the game's menus show it.
constexpr int shot_side = 128;

struct shot_result {
    // ok when made; else why not: shot_no_client, shot_refused (other: the
    // client's own line), shot_too_slow (count: seconds), shot_no_picture,
    // shot_failed (why: the system's words).  path: the map.
    report outcome;
    std::string jpeg;   // the picture, a 24-bit JPEG, when made
    int stopped_by = 0; // the SIGINT, SIGTERM or SIGHUP that ended the run
};

// Packs the run's planned files (with its arena script) into
// <map>.pk3 in a private home folder, loads it in the client under a private
// X server and keeps the levelshot it writes.  The client, the X server and
// the folder are gone when it returns, whatever happened; a SIGINT, SIGTERM
// or SIGHUP meanwhile ends the run there, noted in stopped_by.
// sink.cancelled stops the packing of the private package.  Prints nothing.
shot_result make_levelshot(const pack_request &request, const pack_run &run, shot_setup setup = {},
                           const progress_sink &sink = {});

// The file the author keeps beside the package: <map>-levelshot.jpg.
std::string kept_shot_path(const pack_request &request);

// The question asked before a levelshot made by the game replaces the
// author's <map>-levelshot.jpg; none when there is no such file.
std::vector<report> shot_questions(const pack_request &request);

// Writes the picture to kept_shot_path (a new file renamed over the old
// one, signals held meanwhile) and plans it as levelshots/<map>.jpg.
// Returns the staging failure, a report whose what is ok when done.
report keep_levelshot(const pack_request &request, const std::string &jpeg, pack_run &run);
// Removes the picture keep_levelshot added (run.new_shot), for a package
// that could not be written: the author's folder is left as it was.  One it
// replaced, the author said yes to, stays replaced.
void drop_new_shot(pack_run &run);

// The 24-bit pixels of an uncompressed true-colour TGA of side x side, top
// row first; empty when the file is anything else.  Reads no more than such
// a picture takes.
std::vector<unsigned char> read_tga_pixels(const std::string &path, int side);

// A 24-bit JPEG of width x height RGB pixels, top row first; empty on failure.
std::string jpeg_of(const std::vector<unsigned char> &rgb, int width, int height);
