#include "mapcrate.h"

void place_btn(form_record *) {}
void place_opt(form_record *) {}
void place_ifo(form_record *) {}
void place_img(form_record *) {}
void place_sbn(form_record *) {}
