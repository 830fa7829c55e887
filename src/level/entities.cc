// The files a level's entities name: blocks of quoted key-value pairs, read
// as the text passes so that no size of it is ever held whole.
#include <strings.h>

#include <algorithm>
#include <utility>

#include "level/readers.h"

namespace {

bool names_file(const std::string &value) {
    return !value.empty() && value[0] != '*';
}

bool is_key(const std::string &key, const char *name) {
    return strcasecmp(key.c_str(), name) == 0;
}

// The keys take_block reads; a block's other pairs are not kept.
bool kept_key(const std::string &key) {
    return is_key(key, "classname") || is_key(key, "noise") || is_key(key, "music") ||
           is_key(key, "model") || is_key(key, "model2");
}

// Each name once, and no more of a kind than the limit; by, beside names,
// gets the classname and key that named it first.
void add_name(entity_reader &r, char kind, std::vector<std::string> &names,
              std::vector<std::string> &by, const std::string &used_by, std::string name) {
    if (names.size() < entity_names_limit && r.named.insert(kind + name).second) {
        names.push_back(std::move(name));
        by.push_back(used_by);
    }
}

void take_block(entity_reader &r) {
    const auto &block = r.block;
    entity_files &files = r.files;
    bool misc_model = false, worldspawn = false;
    std::string classname;
    for (const auto &[key, value] : block) {
        misc_model |= is_key(key, "classname") && value == "misc_model";
        worldspawn |= is_key(key, "classname") && value == "worldspawn";
        // The game spawns the entity by its first.
        if (is_key(key, "classname") && classname.empty())
            classname = value;
    }
    if (classname.empty())
        classname = "-";
    for (const auto &[key, value] : block) {
        const std::string by = classname + " " + key;
        if (is_key(key, "noise") && names_file(value)) {
            add_name(r, 's', files.sounds, files.sounds_by, by, forward_slashes(value));
        } else if (is_key(key, "music") && worldspawn) {
            // The intro, then the loop.
            for (size_t at = 0; at < value.size();) {
                size_t end = value.find_first_of(" \t", at);
                if (end == std::string::npos)
                    end = value.size();
                if (end > at)
                    add_name(r, 'm', files.music, files.music_by, by,
                             forward_slashes(std::string_view(value).substr(at, end - at)));
                at = end + 1;
            }
        } else if ((is_key(key, "model2") || (is_key(key, "model") && !misc_model)) &&
                   names_file(value)) {
            add_name(r, 'o', files.models, files.models_by, by, forward_slashes(value));
        }
    }
}

} // namespace

void read_entities_piece(entity_reader &r, std::string_view piece) {
    for (size_t i = 0; i < piece.size() && !r.ended; ++i) {
        char c = piece[i];
        if (c == '\0') {
            r.ended = true;
        } else if (r.quoted) {
            size_t end =
                std::min(piece.find_first_of(std::string_view("\"\0", 2), i), piece.size());
            size_t room = entity_word_limit - std::min(entity_word_limit, r.word.size());
            r.word.append(piece.substr(i, std::min(end - i, room)));
            i = end - 1;
            if (end == piece.size() || piece[end] != '"')
                continue;
            i = end;
            r.quoted = false;
            if (!r.have_key) {
                r.key = std::move(r.word);
            } else if (kept_key(r.key) && r.block.size() < entity_names_limit) {
                r.block.emplace_back(std::move(r.key), std::move(r.word));
            }
            r.word.clear();
            r.have_key = !r.have_key;
        } else if (c == '{') {
            r.inside = true;
            r.block.clear();
            r.have_key = false;
        } else if (c == '}') {
            if (r.inside)
                take_block(r);
            r.inside = false;
        } else if (c == '"' && r.inside) {
            r.quoted = true;
        }
    }
}

entity_files read_entities(std::string_view text) {
    entity_reader reader;
    read_entities_piece(reader, text);
    // An open quote at the end is a cut file: its block is not whole, and
    // never taken.
    return std::move(reader.files);
}
