#include "mapcrate.h"

// The texts are converted from ISO-8859-1 by name rather than from the
// locale's code page, so a UTF-8 locale shows them as written.
std::string to_utf8(const char *latin1) {
    gchar *utf8 = g_convert(latin1, -1, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
    std::string s = utf8 ? utf8 : "";
    g_free(utf8);
    return s;
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
