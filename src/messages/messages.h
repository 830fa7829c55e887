// The message table: one identifier for each text the program shows.
#pragma once

#include <string>
#include <string_view>

enum class msg : int {
#define MSG(id, text) id,
#include "messages/messages.def"
#undef MSG
};

// The text of id, in ISO-8859-1, with its {placeholders} still in it.
const char *text_of(msg id);
