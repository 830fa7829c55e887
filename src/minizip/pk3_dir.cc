#include "mapcrate.h"

int pk3_dir(int, char **) {
    return 0;
}
