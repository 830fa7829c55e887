// The message table: one identifier for each text the program shows.
#pragma once

#include <string>
#include <string_view>

enum class msg : int {
#define MSG(id, text) id,
#include "messages/messages.def"
#undef MSG
};

// The text of id, in ISO-8859-1, with its {placeholders} still in it: the
// catalog's translation for the locale's language (LC_ALL, LC_MESSAGES,
// LANG, LANGUAGE, as gettext reads them) when it has one, else the table's
// French.  The front ends set the locale before asking for any text.
const char *text_of(msg id);

// The folder the catalogs are read from: <prefix>/share/locale for a
// program at <prefix>/bin/<name> when that folder exists, else the build
// tree's own (MAPCRATE_LOCALE_DIR).
std::string locale_folder(const std::string &program_path);
