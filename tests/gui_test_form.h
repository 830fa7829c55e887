#pragma once
#include "gui_support.h"
