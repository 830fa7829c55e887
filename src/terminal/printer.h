// The terminal's one printer: records as lines on standard output or
// standard error, in the locale's encoding, names as shown() writes them.
#pragma once

#include <cstdio>
#include <string>

#include "report/render.h"

// ISO-8859-1 text in the locale's encoding; what it cannot hold becomes '?'.
std::string in_locale(const std::string &latin1);
// How the terminal writes texts, names and the system's words.
extern const text_style terminal_style;
// The record's line, without its end.
std::string terminal_text(const report &r);
// Writes the record's line and then line_end to out, and flushes it.
// Returns false when the write failed.
bool print_report(const report &r, std::FILE *out = stdout, const char *line_end = "\n");
// Writes text (already in the locale's encoding) to out as it is, and
// flushes it.  Returns false when the write failed.
bool print_text(const std::string &text, std::FILE *out = stdout);
// Writes "mapcrate: ", then the ISO-8859-1 text converted to the locale's
// encoding, then raw (names of the user's, as shown() writes them) and a
// line feed, to standard error.
void tell(const std::string &latin1, const std::string &raw = std::string());
// The same for a record: "mapcrate: ", the word that marks a question --yes
// passed over when it was, and its line.
void tell(const report &r, bool passed_over = false);
