#include "terminal/printer.h"

#include <glib.h>

#include "report/shown.h"

std::string in_locale(const std::string &latin1) {
    const char *charset = nullptr;
    g_get_charset(&charset);
    gchar *text = g_convert_with_fallback(latin1.data(), static_cast<gssize>(latin1.size()),
                                          charset, "ISO-8859-1", "?", nullptr, nullptr, nullptr);
    std::string converted = text ? text : latin1;
    g_free(text);
    return converted;
}

namespace {

std::string name_as_shown(std::string_view raw) { return shown(raw); }

} // namespace

const text_style terminal_style = {in_locale, name_as_shown, as_it_is};

std::string terminal_text(const report &r) { return render(r, terminal_style); }

bool print_text(const std::string &text, std::FILE *out) {
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fflush(out) == 0 && written;
}

bool print_report(const report &r, std::FILE *out, const char *line_end) {
    return print_text(terminal_text(r) + line_end, out);
}
