#include "robot/setting_check.hpp"

#include <cmath>
#include <ostream>
#include <sstream>
#include <string>

namespace vostrel {

namespace {
template <typename T>
std::string text(T v) {
    std::ostringstream s;
    s << v;
    return s.str();
}
}  // namespace

void reportRejected(std::string_view key, std::string_view value, std::string_view fallback,
                    std::ostream& console) {
    console << "Invalid " << key << " " << value << ": using the default " << fallback << "\n";
}

double positiveOr(std::string_view key, double value, double fallback, std::ostream& console) {
    if (std::isfinite(value) && value > 0.0) return value;
    reportRejected(key, text(value), text(fallback), console);
    return fallback;
}

std::int32_t countOr(std::string_view key, std::int64_t value, std::int32_t fallback,
                     std::int64_t limit, std::ostream& console) {
    if (value >= 1 && value <= limit) return static_cast<std::int32_t>(value);
    reportRejected(key, text(value), text(fallback), console);
    return fallback;
}

}  // namespace vostrel
