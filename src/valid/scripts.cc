#include "mapcrate.h"

void gener_scripts(form_record *) {}
long my_putstr_to_fd(const char *, int) {
    return 0;
}
