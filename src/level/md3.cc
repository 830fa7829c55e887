// The shaders an MD3 model names: one list per surface, each surface found
// from the one before it.
#include <cstdint>
#include <cstring>

#include "io/io.h"
#include "level/readers.h"

namespace {

constexpr std::uint64_t surface_count_at = 84, surfaces_at = 100;
constexpr std::uint64_t shader_count_at = 76, shaders_at = 92, surface_end_at = 104;
constexpr std::uint64_t shader_record = 68, name_size = 64;

// The 32-bit word at offset, when the model holds it.
bool word_at(std::string_view model, std::uint64_t offset, std::uint64_t &word) {
    if (offset > model.size() || model.size() - offset < 4)
        return false;
    word = le32(reinterpret_cast<const unsigned char *>(model.data()) + offset);
    return true;
}

bool magic_at(std::string_view model, std::uint64_t offset) {
    return offset <= model.size() && model.size() - offset >= 4 &&
           model.compare(offset, 4, "IDP3") == 0;
}

} // namespace

std::vector<std::string> md3_shader_names(std::string_view model) {
    std::vector<std::string> names;
    std::uint64_t version = 0, surfaces = 0, at = 0;
    if (!magic_at(model, 0) || !word_at(model, 4, version) || version != 15 ||
        !word_at(model, surface_count_at, surfaces) || !word_at(model, surfaces_at, at))
        return names;
    // Every offset read is below 4 GiB and every step moves forward, so the
    // sums cannot wrap and the walk ends at the file's end at the latest.
    for (std::uint64_t s = 0; s < surfaces && magic_at(model, at); ++s) {
        std::uint64_t count = 0, first = 0, end = 0;
        if (!word_at(model, at + shader_count_at, count) ||
            !word_at(model, at + shaders_at, first) || !word_at(model, at + surface_end_at, end))
            break;
        // A surface's records lie inside it.
        std::uint64_t limit = end > 0 && end < model.size() - at ? at + end : model.size();
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint64_t record = at + first + i * shader_record;
            if (record > limit || limit - record < shader_record)
                break;
            names.emplace_back(model.data() + record, strnlen(model.data() + record, name_size));
        }
        if (end == 0)
            break;
        at += end;
    }
    return names;
}
