// Names as the terminal and the dialogs show them: one line, and nothing
// in them that a terminal would take as a command.
#include "report/shown.h"

#include <glib.h>

namespace {

// The length of the well-formed UTF-8 sequence that s starts with; 0 when
// it starts with none.
size_t sequence_length(std::string_view s) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    size_t n = byte(0) >= 0xf0 ? 4 : byte(0) >= 0xe0 ? 3 : 2;
    if (byte(0) < 0xc2 || byte(0) > 0xf4 || s.size() < n)
        return 0;
    for (size_t i = 1; i < n; ++i)
        if ((byte(i) & 0xc0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((byte(0) == 0xe0 && byte(1) < 0xa0) || (byte(0) == 0xed && byte(1) > 0x9f) ||
        (byte(0) == 0xf0 && byte(1) < 0x90) || (byte(0) == 0xf4 && byte(1) > 0x8f))
        return 0;
    return n;
}

} // namespace

std::string shown(std::string_view name) {
    static const char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        auto c = static_cast<unsigned char>(name[i]);
        size_t n = sequence_length(name.substr(i));
        // U+0080 to U+009F, which terminals obey as they obey their ISO-8859-1 bytes.
        bool c1 = c == 0xc2 && n == 2 && static_cast<unsigned char>(name[i + 1]) < 0xa0;
        if (n > 0 && !c1) {
            text += name.substr(i, n);
            i += n;
            continue;
        }
        if (c == '\\')
            text += "\\\\";
        else if (c == '\t' || c == '\n' || c == '\r')
            text += {'\\', c == '\t' ? 't' : c == '\n' ? 'n' : 'r'};
        else if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0) || c1)
            text += {'\\', 'x', hex[c >> 4], hex[c & 15]};
        else
            text += name[i];
        ++i;
    }
    return text;
}

std::string latin1_path(const std::string &path) {
    std::string shown = path;
    if (g_utf8_validate(path.data(), static_cast<gssize>(path.size()), nullptr)) {
        gchar *latin1 =
            g_convert_with_fallback(path.data(), static_cast<gssize>(path.size()), "ISO-8859-1",
                                    "UTF-8", "?", nullptr, nullptr, nullptr);
        if (latin1)
            shown = latin1;
        g_free(latin1);
    }
    return shown;
}

std::string as_utf8(const std::string &line) {
    std::string out;
    for (size_t at = 0; at < line.size();) {
        const char *p = line.data() + at;
        gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(line.size() - at));
        if (static_cast<unsigned char>(*p) >= 0x80 && (c == gunichar(-1) || c == gunichar(-2))) {
            char utf8[6];
            out.append(utf8, g_unichar_to_utf8(static_cast<unsigned char>(*p), utf8));
            ++at;
            continue;
        }
        size_t n = static_cast<size_t>(g_utf8_next_char(p) - p);
        out.append(p, n);
        at += n;
    }
    return out;
}
