#include "mapcrate.h"

void popup(const char *, int) {}
void info_popup(GtkWidget *, gpointer) {}
void aide_popup(GtkWidget *, gpointer) {}
