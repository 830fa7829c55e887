// Reading a shader script as the game's tokenizer does: words split by
// blanks, "//" and "/* */" comments, double-quoted words, braces.
#include <strings.h>

#include "level/readers.h"

namespace {

struct token {
    std::string text;
    int line = 0;
    bool quoted = false;
};

std::vector<token> tokenize(std::string_view s) {
    std::vector<token> tokens;
    int line = 1;
    size_t i = 0, n = s.size();
    while (i < n) {
        char c = s[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (static_cast<unsigned char>(c) <= ' ') {
            ++i;
        } else if (s.compare(i, 2, "//") == 0) {
            while (i < n && s[i] != '\n')
                ++i;
        } else if (s.compare(i, 2, "/*") == 0) {
            size_t end = s.find("*/", i + 2);
            end = end == std::string_view::npos ? n : end + 2;
            for (; i < end; ++i)
                line += s[i] == '\n';
        } else if (c == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos)
                end = n;
            tokens.push_back({std::string(s.substr(i + 1, end - i - 1)), line, true});
            for (; i < end && i < n; ++i)
                line += s[i] == '\n';
            i = end + 1;
        } else if (c == '{' || c == '}') {
            tokens.push_back({std::string(1, c), line, false});
            ++i;
        } else {
            size_t start = i;
            while (i<n &&static_cast<unsigned char>(s[i])> ' ' && s[i] != '{' && s[i] != '}' &&
                   s.compare(i, 2, "//") != 0 && s.compare(i, 2, "/*") != 0)
                ++i;
            tokens.push_back({std::string(s.substr(start, i - start)), line, false});
        }
    }
    return tokens;
}

bool is(const token &t, const char *word) {
    return !t.quoted && strcasecmp(t.text.c_str(), word) == 0;
}

bool is_brace(const token &t, char brace) {
    return !t.quoted && t.text.size() == 1 && t.text[0] == brace;
}

// A name as written, with '\' read as '/'.
std::string written(const std::string &name) {
    std::string path = name;
    for (char &c : path)
        if (c == '\\')
            c = '/';
    return path;
}

void add_image(shader_def &def, const std::string &name) {
    // $lightmap, $whiteimage and names beginning with '*' are the engine's own.
    if (!name.empty() && name[0] != '$' && name[0] != '*')
        def.images.push_back(written(name));
}

// The six sides of a sky box; "-" is no box.
void add_box(shader_def &def, const token *box) {
    if (box && box->text != "-")
        for (const char *side : {"_rt", "_bk", "_lf", "_ft", "_up", "_dn"})
            add_image(def, box->text + side);
}

} // namespace

std::vector<shader_def> parse_shader_script(std::string_view text) {
    std::vector<token> tokens = tokenize(text);
    std::vector<shader_def> defs;
    int depth = 0;
    // The words after a keyword on its own line are its arguments.
    auto argument = [&](size_t k, size_t nth) -> const token * {
        size_t at = k + nth;
        if (at >= tokens.size() || tokens[at].line != tokens[k].line)
            return nullptr;
        for (size_t j = k + 1; j <= at; ++j)
            if (is_brace(tokens[j], '{') || is_brace(tokens[j], '}'))
                return nullptr;
        return &tokens[at];
    };
    for (size_t k = 0; k < tokens.size(); ++k) {
        const token &t = tokens[k];
        if (!defs.empty() && (depth > 0 || is_brace(t, '{')))
            defs.back().body += (defs.back().body.empty() ? "" : " ") + lower_case(t.text);
        if (is_brace(t, '{')) {
            ++depth;
        } else if (is_brace(t, '}')) {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (depth == 0) {
            defs.push_back({shader_key(t.text), {}, {}, {}, {}});
        } else if (defs.empty()) {
            continue;
        } else if (is(t, "map") || is(t, "clampmap")) {
            if (const token *a = argument(k, 1))
                add_image(defs.back(), a->text);
        } else if (is(t, "animmap")) {
            // The first argument is the frequency.
            for (size_t nth = 2; const token *a = argument(k, nth); ++nth)
                add_image(defs.back(), a->text);
        } else if (is(t, "videomap")) {
            if (const token *a = argument(k, 1))
                defs.back().videos.push_back("video/" + written(a->text));
        } else if (is(t, "skyparms")) {
            // The far box, the clouds' height, the near box.
            add_box(defs.back(), argument(k, 1));
            add_box(defs.back(), argument(k, 3));
        }
    }
    return defs;
}
