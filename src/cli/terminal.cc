// Messages on the terminal, in the locale's encoding.
#include <glib.h>

#include <cstdio>

#include "cli/cli.h"
#include "mapcrate.h"

std::string in_locale(const std::string &latin1) {
    const char *charset = nullptr;
    g_get_charset(&charset);
    gchar *text = g_convert_with_fallback(latin1.data(), static_cast<gssize>(latin1.size()),
                                          charset, "ISO-8859-1", "?", nullptr, nullptr, nullptr);
    std::string converted = text ? text : latin1;
    g_free(text);
    return converted;
}

void tell(const std::string &latin1, const std::string &raw) {
    std::string line = "mapcrate: " + in_locale(latin1) + shown(raw) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
