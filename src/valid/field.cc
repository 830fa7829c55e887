#include "mapcrate.h"

void get_field(form_record *) {}
int is_a_file(const char *) {
    return 0;
}
int verif_field(form_record *) {
    return 0;
}
