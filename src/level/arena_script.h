// Arena scripts (scripts/*.arena, scripts/arenas.txt) as the game reads
// them: blocks in braces of key and value pairs, a value on its key's line.
// Shows nothing and prints nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "messages/messages.h"

// The game skips a whole arena script of this many bytes or more.
constexpr std::size_t arena_text_limit = 8192;

// What the game makes of a script: its blocks, each its pairs in order; the
// first fault that loses some of it (msg::ok when none), with the word at
// fault: arena_outside_braces (a word where a block should open),
// arena_unclosed (the text ends inside a block), arena_no_value (a key with
// no value on its line, the word the key), arena_refused_value (a key or
// value holding '\', ';' or '"', which the game drops).
struct arena_reading {
    std::vector<std::vector<std::pair<std::string, std::string>>> blocks;
    msg fault = msg::ok;
    std::string word;
};
arena_reading read_arena(std::string_view text);

// The map names of an arena script: every word after a "map" word, however
// the blocks around it are formed (--check reads the package's as they are).
std::vector<std::string> arena_maps(std::string_view text);

// Those of maps that no block's "map" key names, case aside as the game
// looks a map's arena up.
std::vector<std::string> maps_not_named(const arena_reading &arena,
                                        const std::vector<std::string> &maps);
