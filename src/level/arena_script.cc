// Arena scripts read word by word as the game's parser reads them.
#include "level/arena_script.h"

#include <strings.h>

#include <algorithm>

#include "gamepath/game_path.h"

namespace {

struct arena_word {
    std::string text;
    bool new_line = false; // a line break stands between it and the word before
    bool quoted = false;
};

// The words of the text: blanks and comments between them, a quoted word
// up to its closing quote (or the end), any other up to the next blank.
std::vector<arena_word> arena_words(std::string_view text) {
    std::vector<arena_word> words;
    bool new_line = false;
    for (size_t i = 0; i < text.size();) {
        char ch = text[i];
        if (static_cast<unsigned char>(ch) <= ' ') {
            new_line = new_line || ch == '\n';
            ++i;
        } else if (text.compare(i, 2, "//") == 0) {
            i = std::min(text.find('\n', i), text.size());
        } else if (text.compare(i, 2, "/*") == 0) {
            size_t end = text.find("*/", i + 2);
            i = end == std::string_view::npos ? text.size() : end + 2;
        } else if (ch == '"') {
            size_t end = std::min(text.find('"', i + 1), text.size());
            words.push_back({std::string(text.substr(i + 1, end - i - 1)), new_line, true});
            i = end + 1;
            new_line = false;
        } else {
            size_t end = i;
            while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ')
                ++end;
            words.push_back({std::string(text.substr(i, end - i)), new_line, false});
            i = end;
            new_line = false;
        }
    }
    return words;
}

bool game_drops(const std::string &word) {
    return word.find_first_of("\\;\"") != std::string::npos;
}

} // namespace

arena_reading read_arena(std::string_view text) {
    arena_reading arena;
    std::vector<arena_word> words = arena_words(text);
    auto fault = [&](msg what, const std::string &word) {
        if (arena.fault == msg::ok)
            arena.fault = what, arena.word = word;
    };
    for (size_t i = 0; i < words.size() && arena.fault == msg::ok;) {
        // An empty quoted word ends the game's reading as the text's end does.
        if (words[i].text.empty())
            break;
        if (words[i].text != "{") {
            fault(msg::arena_outside_braces, words[i].text);
            break;
        }
        ++i;
        auto &block = arena.blocks.emplace_back();
        for (;;) {
            if (i == words.size() || words[i].text.empty()) {
                fault(msg::arena_unclosed, "");
                break;
            }
            const std::string &key = words[i++].text;
            if (key == "}")
                break;
            if (i == words.size() || words[i].new_line || words[i].text.empty()) {
                fault(msg::arena_no_value, key);
                i += i < words.size() && words[i].text.empty();
                continue;
            }
            const std::string &value = words[i++].text;
            if (game_drops(key) || game_drops(value))
                fault(msg::arena_refused_value, key);
            block.emplace_back(key, value);
        }
    }
    return arena;
}

std::vector<std::string> arena_maps(std::string_view text) {
    std::vector<arena_word> words = arena_words(text);
    std::vector<std::string> maps;
    for (size_t k = 0; k + 1 < words.size(); ++k)
        if (strcasecmp(words[k].text.c_str(), "map") == 0)
            maps.push_back(words[++k].text);
    return maps;
}

std::vector<std::string> maps_not_named(const arena_reading &arena,
                                        const std::vector<std::string> &maps) {
    std::vector<std::string> left;
    for (const std::string &map : maps) {
        bool named = false;
        for (const auto &block : arena.blocks)
            for (const auto &[key, value] : block)
                named = named || (same_blind(key, "map") && same_blind(value, map));
        if (!named)
            left.push_back(map);
    }
    return left;
}
