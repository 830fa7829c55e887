#include "banner_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

bool is_regular_file(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The path cut before its last '/', or empty when it has none.
std::string parent_of(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

std::string banner_path(const std::string &program_path) {
    const std::string here = "./mapc.png";
    if (is_regular_file(here))
        return here;
    std::string bin = parent_of(program_path);
    if (bin.empty())
        return here;
    std::string installed = parent_of(bin) + "/share/mapcrate/mapc.png";
    return is_regular_file(installed) ? installed : here;
}

std::string own_program_path() {
    // readlink cuts a long target to the buffer without saying so: a result
    // that fills the buffer is tried again with a larger one.
    std::vector<char> buf(256);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}
