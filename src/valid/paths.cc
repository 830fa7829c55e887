#include "mapcrate.h"

void name_of_dir(form_record *) {}
void str_end_cpy(std::string &, std::string_view) {}
const char *get_file_name(const char *path) {
    return path;
}
std::string get_dir_name(const char *) {
    return "";
}
