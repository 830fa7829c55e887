#include "messages/messages.h"

namespace {

const char *const texts[] = {
#define MSG(id, text) text,
#include "messages/messages.def"
#undef MSG
};

} // namespace

const char *text_of(msg id) {
    return texts[static_cast<int>(id)];
}
