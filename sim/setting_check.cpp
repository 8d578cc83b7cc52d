#include "sim/setting_check.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>

namespace vostrel {

std::string valueText(double value) {
    std::ostringstream s;
    s << value;
    return s.str();
}

void reportRejected(std::string_view key, std::string_view value, std::string_view fallback,
                    std::ostream& console) {
    console << "Invalid " << key << " " << value << ": using the default " << fallback << "\n";
}

double positiveOr(std::string_view key, double value, double fallback, std::ostream& console) {
    if (std::isfinite(value) && value > 0.0) return value;
    reportRejected(key, valueText(value), valueText(fallback), console);
    return fallback;
}

std::int32_t countOr(std::string_view key, std::int64_t value, std::int32_t fallback,
                     std::int64_t limit, std::ostream& console) {
    const std::int64_t top =
        std::min<std::int64_t>(limit, std::numeric_limits<std::int32_t>::max());
    if (value >= 1 && value <= top) return static_cast<std::int32_t>(value);
    reportRejected(key, std::to_string(value), std::to_string(fallback), console);
    return fallback;
}

}  // namespace vostrel
