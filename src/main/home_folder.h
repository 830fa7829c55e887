// Where the window works when it is started from the menu.
#pragma once

#include "report/report.h"

// Started from the menu (MAPCRATE_HOME_FOLDER names a folder of the home
// folder): makes that folder when it is missing and enters it.  Returns why
// it could not (the folder, the system's words and the folder it works in
// instead); a report whose what is ok when it did or when not started from
// the menu.
report enter_home_folder();
