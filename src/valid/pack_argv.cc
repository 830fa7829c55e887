#include "mapcrate.h"

int creat_argv(form_record *) {
    return 0;
}
std::vector<char *> argv_view(std::vector<std::string> &) {
    return {nullptr};
}
