// Feeds arbitrary bytes to the environment loader: it must never crash, hang or read out of
// bounds, and what it keeps must be usable.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string_view>

#include "environment/field_data.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ostringstream err;
    const auto field = vostrel::FieldData::fromText(
        std::string_view(reinterpret_cast<const char*>(data), size), err);
    const vostrel::Environment& e = field.environment();
    for (const vostrel::Segment& w : e.walls.all()) (void)e.walls.isClear(w);
    for (std::size_t i = 0; i < e.entrances.size(); ++i)
        (void)field.actionTable().firstFor(static_cast<int>(i));
    for (const vostrel::Subarea& s : field.subareas()) (void)s.contains(0.5, 0.5);
    return 0;
}
