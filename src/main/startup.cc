#include "mapcrate.h"

void build_window(form_record *) {}
void init_btn(form_record *) {}
