// A private X server for tests that open windows: CI has no display.
#pragma once

#include <string>

// Starts Xvfb on a free display, sets DISPLAY for this process and its
// children, and stops the server when the process exits.  Returns the
// display name, or "" when Xvfb could not be started.
std::string start_xvfb();
