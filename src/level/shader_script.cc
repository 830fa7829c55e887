// Reading a shader script as the game's tokenizer does: words split by
// blanks, "//" and "/* */" comments, double-quoted words, braces.  One
// word at a time, so that a script's size never multiplies in memory.
#include <nettle/sha2.h>
#include <strings.h>

#include <cstring>
#include <unordered_set>

#include "level/readers.h"

namespace {

// Images and videos kept for one shader: the engine draws at most a few
// dozen, and a hostile script must not make one shader hold millions.
constexpr size_t names_per_shader = 256;

struct token {
    std::string_view text;
    int line = 0;
    bool quoted = false;
};

struct scanner {
    std::string_view s;
    size_t i = 0;
    int line = 1;
    token pending{};
    bool has_pending = false;
};

// A blank, a brace or a comment's start.
bool ends_word(std::string_view s, size_t i) {
    char c = s[i];
    return static_cast<unsigned char>(c) <= ' ' || c == '{' || c == '}' ||
           (c == '/' && i + 1 < s.size() && (s[i + 1] == '/' || s[i + 1] == '*'));
}

// The next word, or false at the end of the text.
bool scan(scanner &sc, token &t) {
    if (sc.has_pending) {
        sc.has_pending = false;
        t = sc.pending;
        return true;
    }
    std::string_view s = sc.s;
    size_t &i = sc.i, n = s.size();
    while (i < n) {
        char c = s[i];
        if (c == '\n') {
            ++sc.line;
            ++i;
        } else if (static_cast<unsigned char>(c) <= ' ') {
            ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            while (i < n && s[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            size_t end = s.find("*/", i + 2);
            end = end == std::string_view::npos ? n : end + 2;
            for (; i < end; ++i)
                sc.line += s[i] == '\n';
        } else if (c == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos)
                end = n;
            t = {s.substr(i + 1, end - i - 1), sc.line, true};
            for (; i < end; ++i)
                sc.line += s[i] == '\n';
            i = end < n ? end + 1 : n;
            return true;
        } else if (c == '{' || c == '}') {
            t = {s.substr(i, 1), sc.line, false};
            ++i;
            return true;
        } else {
            size_t start = i;
            while (i < n && !ends_word(s, i))
                ++i;
            t = {s.substr(start, i - start), sc.line, false};
            return true;
        }
    }
    return false;
}

void unscan(scanner &sc, const token &t) {
    sc.pending = t;
    sc.has_pending = true;
}

bool is(const token &t, const char *word) {
    return !t.quoted && t.text.size() == std::strlen(word) &&
           strncasecmp(t.text.data(), word, t.text.size()) == 0;
}

bool is_brace(const token &t, char brace) {
    return !t.quoted && t.text.size() == 1 && t.text[0] == brace;
}

bool is_brace(const token &t) {
    return is_brace(t, '{') || is_brace(t, '}');
}

// The words after a keyword on its own line: its arguments.  A brace or a
// word on a later line ends them and is read again as what it is.
std::vector<token> arguments(scanner &sc, const token &keyword) {
    std::vector<token> args;
    token t;
    while (scan(sc, t)) {
        if (is_brace(t) || t.line != keyword.line) {
            unscan(sc, t);
            break;
        }
        // The names the longest keyword takes; the rest of the line is noise.
        if (args.size() < names_per_shader)
            args.push_back(t);
    }
    return args;
}

void add_image(shader_def &def, std::string_view name, bool sky = false) {
    // $lightmap, $whiteimage and names beginning with '*' are the engine's own.
    if (!name.empty() && name[0] != '$' && name[0] != '*' && def.images.size() < names_per_shader) {
        def.images.push_back(forward_slashes(name));
        def.sky.push_back(sky);
    }
}

// The six sides of a sky box; "-" is no box.
void add_box(shader_def &def, const std::vector<token> &args, size_t at) {
    if (at < args.size() && args[at].text != "-")
        for (const char *side : {"_rt", "_bk", "_lf", "_ft", "_up", "_dn"})
            add_image(def, std::string(args[at].text) + side, true);
}

// The stages of the shader whose opening brace was just read, into def
// when there is one; reads up to the matching closing brace.
void read_body(scanner &sc, shader_def *def) {
    int depth = 1;
    token t;
    while (depth > 0 && scan(sc, t)) {
        if (is_brace(t)) {
            depth += is_brace(t, '{') ? 1 : -1;
            continue;
        }
        if (!def)
            continue;
        bool map = is(t, "map") || is(t, "clampmap"), anim = is(t, "animmap"),
             video = is(t, "videomap"), sky = is(t, "skyparms");
        if (!map && !anim && !video && !sky)
            continue;
        std::vector<token> args = arguments(sc, t);
        if (map && !args.empty())
            add_image(*def, args[0].text);
        // animMap's first argument is the frequency.
        for (size_t a = 1; anim && a < args.size(); ++a)
            add_image(*def, args[a].text);
        if (video && !args.empty() && def->videos.size() < names_per_shader)
            def->videos.push_back("video/" + forward_slashes(args[0].text));
        // skyParms: the far box, the clouds' height, the near box.
        if (sky) {
            add_box(*def, args, 0);
            add_box(*def, args, 2);
        }
    }
}

// A hash of a body's words as the game reads them: lower case, one blank
// apart, no comment, so that two definitions that differ only in layout
// compare equal.  Word by word, so that no copy of a large body is made.
std::uint64_t body_hash(std::string_view braced) {
    sha256_ctx sha;
    sha256_init(&sha);
    scanner sc{braced};
    for (token t; scan(sc, t);) {
        std::string word = lower_case(t.text) + ' ';
        sha256_update(&sha, word.size(), reinterpret_cast<const std::uint8_t *>(word.data()));
    }
    std::uint8_t digest[8];
    sha256_digest(&sha, sizeof digest, digest);
    std::uint64_t hash = 0;
    for (std::uint8_t byte : digest)
        hash = hash << 8 | byte;
    return hash;
}

// Calls each(sc, name) at every body's opening brace of text, name the word
// before it (null when there is none: a body alone defines nothing); each
// reads the body from sc.  A word alone defines nothing either.
template <typename Each> void for_each_body(std::string_view text, Each each) {
    scanner sc{text};
    token t, name;
    bool named_before = false;
    while (scan(sc, t)) {
        if (!is_brace(t)) {
            name = t;
            named_before = true;
            continue;
        }
        if (is_brace(t, '{'))
            each(sc, named_before ? &name : nullptr);
        named_before = false;
    }
}

} // namespace

std::vector<shader_def> parse_shader_script(std::string_view text,
                                            const std::unordered_set<std::string> *wanted) {
    std::vector<shader_def> defs;
    // A later copy in one script is never the one the game uses.
    std::unordered_set<std::string> named;
    for_each_body(text, [&](scanner &sc, const token *name) {
        shader_def *def = nullptr;
        if (name) {
            std::string key = shader_key(name->text);
            if ((!wanted || wanted->count(key)) && named.insert(key).second)
                def = &defs.emplace_back(shader_def{std::move(key), {}, {}, 0, {}, {}});
        }
        size_t from = sc.i;
        read_body(sc, def);
        if (def)
            def->body = body_hash(text.substr(from, sc.i - from));
    });
    return defs;
}

void shader_names(std::string_view text, std::unordered_set<std::string> &names) {
    for_each_body(text, [&](scanner &sc, const token *name) {
        if (name)
            names.insert(shader_key(name->text));
        read_body(sc, nullptr);
    });
}
