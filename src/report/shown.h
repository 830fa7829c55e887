// Names as the terminal and the dialogs show them.
#pragma once

#include <string>
#include <string_view>

// A name (a path, an entry, a file name) as the terminal and the dialogs
// show it: \t, \n, \r, a backslash as \\, and \xNN for each byte of another
// control character (below 0x20, 0x7f, and 0x80 to 0x9f alone or as UTF-8);
// the other bytes as they are.  The result is always one line.
std::string shown(std::string_view name);
// A path from the user (UTF-8 as a rule) as the ISO-8859-1 texts show it:
// what ISO-8859-1 cannot hold is written as '?'.
std::string latin1_path(const std::string &path);
// A line of the program's ISO-8859-1 text around names as they are, in
// UTF-8: what reads as UTF-8 is kept, any other byte is read as ISO-8859-1.
std::string as_utf8(const std::string &line);
