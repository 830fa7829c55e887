// Names as the terminal and the dialogs show them: one line, and nothing
// in them that a terminal would take as a command.
#include "report/shown.h"

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

// name as shown() writes it; with latin1, each byte that starts no UTF-8
// sequence is read as ISO-8859-1 first.
std::string escaped(std::string_view name, bool latin1) {
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
        // A C1 control, or with latin1 a byte that stands for one, as its two UTF-8 bytes.
        if (c1 || (latin1 && n == 0 && c >= 0x80 && c < 0xa0)) {
            auto low = c1 ? static_cast<unsigned char>(name[i + 1]) : c;
            text += {'\\', 'x', 'c', '2', '\\', 'x', hex[low >> 4], hex[low & 15]};
            i += c1 ? 2 : 1;
            continue;
        }
        if (latin1 && n == 0 && c >= 0xa0)
            text += {static_cast<char>(0xc0 | c >> 6), static_cast<char>(0x80 | (c & 0x3f))};
        else if (c == '\\')
            text += "\\\\";
        else if (c == '\t' || c == '\n' || c == '\r')
            text += {'\\', c == '\t' ? 't' : c == '\n' ? 'n' : 'r'};
        else if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0))
            text += {'\\', 'x', hex[c >> 4], hex[c & 15]};
        else
            text += name[i];
        ++i;
    }
    return text;
}

} // namespace

std::string shown(std::string_view name) {
    return escaped(name, false);
}

std::string shown_line(std::string_view line) {
    return escaped(line, true);
}
