// The files a level's entities name: blocks of quoted key-value pairs.
#include <strings.h>

#include <utility>

#include "level/readers.h"

namespace {

using pairs = std::vector<std::pair<std::string, std::string>>;

// A name written with '\' read as '/'.
std::string game_path(std::string_view written) {
    std::string path(written);
    for (char &c : path)
        if (c == '\\')
            c = '/';
    return path;
}

bool names_file(const std::string &value) {
    return !value.empty() && value[0] != '*';
}

void take_block(const pairs &block, entity_files &files) {
    bool misc_model = false, worldspawn = false;
    for (const auto &[key, value] : block) {
        misc_model |= strcasecmp(key.c_str(), "classname") == 0 && value == "misc_model";
        worldspawn |= strcasecmp(key.c_str(), "classname") == 0 && value == "worldspawn";
    }
    for (const auto &[key, value] : block) {
        const char *k = key.c_str();
        if (strcasecmp(k, "noise") == 0 && names_file(value)) {
            files.sounds.push_back(game_path(value));
        } else if (strcasecmp(k, "music") == 0 && worldspawn) {
            // The intro, then the loop.
            for (size_t at = 0; at < value.size();) {
                size_t end = value.find_first_of(" \t", at);
                if (end == std::string::npos)
                    end = value.size();
                if (end > at)
                    files.music.push_back(game_path(std::string_view(value).substr(at, end - at)));
                at = end + 1;
            }
        } else if ((strcasecmp(k, "model2") == 0 || (strcasecmp(k, "model") == 0 && !misc_model)) &&
                   names_file(value)) {
            files.models.push_back(game_path(value));
        }
    }
}

} // namespace

entity_files read_entities(std::string_view text) {
    entity_files files;
    pairs block;
    std::string key;
    bool have_key = false, inside = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '{') {
            inside = true;
            block.clear();
            have_key = false;
        } else if (c == '}') {
            if (inside)
                take_block(block, files);
            inside = false;
        } else if (c == '"' && inside) {
            size_t end = text.find('"', i + 1);
            // An open quote at the end is a cut file: the block is not whole.
            if (end == std::string_view::npos)
                break;
            std::string word(text.substr(i + 1, end - i - 1));
            if (have_key)
                block.emplace_back(std::move(key), std::move(word));
            else
                key = std::move(word);
            have_key = !have_key;
            i = end;
        }
    }
    return files;
}
