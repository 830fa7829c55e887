// Records as text: each placeholder takes its field, through the front
// end's own writers.
#include <gtest/gtest.h>

#include "report/render.h"

namespace {

std::string upper(const std::string &s) {
    std::string u = s;
    for (char &c : u)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return u;
}
std::string bracketed(std::string_view s) { return "[" + std::string(s) + "]"; }
std::string quoted(std::string_view s) { return "'" + std::string(s) + "'"; }

} // namespace

TEST(Render, PlaceholdersTakeTheirFieldsTextGoesThroughTheStyle) {
    const text_style style = {upper, bracketed, quoted};
    report r;
    r.path = "p";
    r.other = "o";
    r.why = "w";
    r.count = 42;
    // The message table is not needed here: render reads a text of its own.
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {"plain", "PLAIN"},
        {"a {path} b", "A [p] B"},
        {"{why}{other}{count}", "'w'[o]42"},
        {"{unknown} {path", "{UNKNOWN} {PATH"},
        {"{path}{path}", "[p][p]"},
    };
    for (const auto &[text, expected] : rows)
        EXPECT_EQ(render_text(text, r, style), expected) << text;
}
