#include "terminal/printer.h"

#include <glib.h>

#include "report/shown.h"

namespace {

// text converted from the encoding from to the encoding to; what to cannot
// hold becomes '?'.  text as it is when it cannot be converted.
std::string converted(const std::string &text, const char *to, const char *from) {
    gchar *out = g_convert_with_fallback(text.data(), static_cast<gssize>(text.size()), to, from,
                                         "?", nullptr, nullptr, nullptr);
    std::string result = out ? out : text;
    g_free(out);
    return result;
}

std::string name_as_shown(std::string_view raw) { return shown(raw); }

} // namespace

std::string in_locale(const std::string &latin1) {
    const char *charset = nullptr;
    g_get_charset(&charset);
    return converted(latin1, charset, "ISO-8859-1");
}

std::string in_latin1(const std::string &text) {
    bool utf8 = g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
    return utf8 ? converted(text, "ISO-8859-1", "UTF-8") : text;
}

const text_style terminal_style = {in_locale, name_as_shown, as_it_is};

std::string terminal_text(const report &r) { return render(r, terminal_style); }

bool print_text(const std::string &text, std::FILE *out) {
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fflush(out) == 0 && written;
}

bool print_report(const report &r, std::FILE *out, const char *line_end) {
    return print_text(terminal_text(r) + line_end, out);
}
