#include "mapcrate.h"

void valider(GtkWidget *, gpointer) {}
