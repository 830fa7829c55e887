// A record as text: its message with the record's fields in place of the
// placeholders.  Each front end says how its texts and its names are
// written (the terminal: the locale's encoding and shown(); the window:
// UTF-8).
#pragma once

#include <string>
#include <string_view>

#include "report/report.h"

struct text_style {
    // The message's own text (ISO-8859-1) as this front end writes it.
    std::string (*text)(const std::string &latin1);
    // A name from the record (path, other) as this front end writes it.
    std::string (*name)(std::string_view raw);
    // The system's words (why) as this front end writes them.
    std::string (*words)(std::string_view raw);
};

// A name or words as they are.
std::string as_it_is(std::string_view raw);
// Texts, names and words as they are: ISO-8859-1 text around raw names, as
// the plan's notes and the conflict lines are kept.
extern const text_style plain_style;

// text with {path}, {other}, {why} and {count} replaced, and {items} by at
// most ten of the items, a line each, then the more_items line.
std::string render_text(const std::string &text, const report &r, const text_style &style);
// The text of what with {path}, {other}, {why} and {count} replaced.
std::string render(msg what, const report &r, const text_style &style);
inline std::string render(const report &r, const text_style &style) {
    return render(r.what, r, style);
}
