// The window's texts: the program's ISO-8859-1 texts and the steps' records
// as the toolkit shows them.
#pragma once

#include <string>

#include "report/report.h"

// The program's own texts are stored in ISO-8859-1; this gives the UTF-8
// the toolkit shows, whatever the locale.
std::string to_utf8(const char *latin1);
// A record as the window's dialogs say it, in ISO-8859-1 (what popup and
// yes_no take): names and the system's words through latin1_path, the
// names the staging and the packer met escaped first as shown() does.
std::string dialog_text(const report &r);
// The same, of another text than r.what's.
std::string dialog_text_of(const std::string &latin1_text, const report &r);

// A record that lists names, as the window shows it: the text before the
// list, every name a line (escaped, in ISO-8859-1), the text after.  A
// record without a list is all in before.
struct listed_text {
    std::string before = {}, list = {}, after = {};
};
listed_text dialog_parts(const report &r);
