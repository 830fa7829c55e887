#include "messages/messages.h"

#include <glib.h>
#include <libintl.h>

#include <vector>

namespace {

struct entry {
    const char *id;
    const char *text;
};

const entry table[] = {
#define MSG(id, text) {#id, text},
#include "messages/messages.def"
#undef MSG
};

const char *const domain = "mapcrate";

// Each ISO-8859-1 byte is its own code point.
std::string utf8_of(const char *latin1) {
    std::string out;
    for (const char *c = latin1; *c; ++c) {
        unsigned char b = static_cast<unsigned char>(*c);
        if (b < 0x80) {
            out += *c;
        } else {
            out += static_cast<char>(0xc0 | b >> 6);
            out += static_cast<char>(0x80 | (b & 0x3f));
        }
    }
    return out;
}

// The catalog's keys, as scripts/make_pot.py writes them: the identifier
// as the context, then the French text in UTF-8.  Binding the catalog
// here, on the first text asked for, leaves no front end to forget it;
// its translations come back in ISO-8859-1, as the table's texts are.
std::vector<std::string> catalog_keys() {
    gchar *program = g_file_read_link("/proc/self/exe", nullptr);
    bindtextdomain(domain, locale_folder(program ? program : "").c_str());
    g_free(program);
    bind_textdomain_codeset(domain, "ISO-8859-1");
    std::vector<std::string> keys;
    for (const entry &e : table)
        keys.push_back(std::string(e.id) + '\004' + utf8_of(e.text));
    return keys;
}

} // namespace

std::string locale_folder(const std::string &program_path) {
    size_t name = program_path.rfind('/');
    size_t bin = name == std::string::npos || name == 0 ? name : program_path.rfind('/', name - 1);
    if (bin != std::string::npos && name != 0) {
        std::string installed = program_path.substr(0, bin) + "/share/locale";
        if (g_file_test(installed.c_str(), G_FILE_TEST_IS_DIR))
            return installed;
    }
    return MAPCRATE_LOCALE_DIR;
}

const char *text_of(msg id) {
    static const std::vector<std::string> keys = catalog_keys();
    const entry &e = table[static_cast<int>(id)];
    const std::string &key = keys[static_cast<int>(id)];
    // An empty text is the catalog's header, never looked up.
    if (!*e.text)
        return e.text;
    const char *found = dgettext(domain, key.c_str());
    return found == key.c_str() ? e.text : found;
}
