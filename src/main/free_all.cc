#include "mapcrate.h"

void free_all(form_record *) {}
