// The window's texts: the program's ISO-8859-1 texts as the toolkit wants
// them, and the steps' records as the dialogs say them.
#include "func/text.h"

#include <glib.h>

#include "report/render.h"
#include "report/shown.h"

// The texts are converted from ISO-8859-1 by name rather than from the
// locale's code page, so a UTF-8 locale shows them as written.
std::string to_utf8(const char *latin1) {
    gchar *utf8 = g_convert(latin1, -1, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
    std::string s = utf8 ? utf8 : "";
    g_free(utf8);
    return s;
}

namespace {

// The names the staging and the packer met are escaped; a name the user
// gave (a path the form refused, the working folder) is shown as given.
std::string as_is(const std::string &latin1) { return latin1; }
std::string escaped(std::string_view raw) { return latin1_path(shown(raw)); }
std::string as_typed(std::string_view raw) { return latin1_path(std::string(raw)); }
const text_style met_names = {as_is, escaped, as_typed};
const text_style given_names = {as_is, as_typed, as_typed};

const text_style &style_of(const report &r) {
    bool met = r.step == step_id::staging || r.step == step_id::packing;
    return met ? met_names : given_names;
}

} // namespace

std::string dialog_text(const report &r) {
    return render(r, style_of(r));
}

std::string dialog_text_of(const std::string &latin1_text, const report &r) {
    return render_text(latin1_text, r, style_of(r));
}

listed_text dialog_parts(const report &r) {
    const std::string text = text_of(r.what);
    size_t at = text.find("{items}");
    if (at == std::string::npos)
        return {dialog_text(r), "", ""};
    listed_text parts{render_text(text.substr(0, at), r, style_of(r)), "",
                      render_text(text.substr(at + 7), r, style_of(r))};
    for (const std::string &item : r.items)
        parts.list += latin1_path(shown(item)) + "\n";
    return parts;
}
