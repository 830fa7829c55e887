// Names as the terminal and the dialogs show them.
#pragma once

#include <string>
#include <string_view>

// A name (a path, an entry, a file name) as the terminal and the dialogs
// show it: \t, \n, \r, a backslash as \\, and \xNN for each byte of another
// control character (below 0x20, 0x7f, and 0x80 to 0x9f alone or as UTF-8);
// the other bytes as they are.  The result is always one line.
std::string shown(std::string_view name);

// A line of the program's ISO-8859-1 text around names as they are, as
// shown() writes it in UTF-8: what reads as UTF-8 is kept, any other byte
// is read as ISO-8859-1.
std::string shown_line(std::string_view line);
