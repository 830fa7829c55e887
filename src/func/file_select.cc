#include "mapcrate.h"

void search(GtkWidget *, gpointer) {}
void file_select(form_record *) {}
void open_proj(GtkWidget *, gpointer) {}
