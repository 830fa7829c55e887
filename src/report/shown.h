// Names as the terminal and the dialogs show them.
#pragma once

#include <string>
#include <string_view>

// A name (a path, an entry, a file name) as the terminal and the dialogs
// show it: \t, \n, \r, a backslash as \\, and \xNN for each byte of another
// control character (below 0x20, 0x7f, and 0x80 to 0x9f alone or as UTF-8);
// the other bytes as they are.  The result is always one line.
std::string shown(std::string_view name);
