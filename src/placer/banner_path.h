// Where the window's banner is read from.
#pragma once

#include <string>

// "./mapc.png" when the working folder holds one.  Otherwise the banner
// installed with the program: <prefix>/share/mapcrate/mapc.png for a
// program at <prefix>/bin/<name>, when that file exists.  Otherwise
// "./mapc.png" still, which the window shows as a missing image.
std::string banner_path(const std::string &program_path);

// The running program's own file, links resolved (/proc/self/exe); empty
// when it cannot be read.
std::string own_program_path();
