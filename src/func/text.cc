#include "main/window.h"

// The texts are converted from ISO-8859-1 by name rather than from the
// locale's code page, so a UTF-8 locale shows them as written.
std::string to_utf8(const char *latin1) {
    gchar *utf8 = g_convert(latin1, -1, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
    std::string s = utf8 ? utf8 : "";
    g_free(utf8);
    return s;
}
