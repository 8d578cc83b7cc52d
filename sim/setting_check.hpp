#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace vostrel {

// Guards for configuration values read at activation. A value that makes no physical sense is
// reported on the console, naming the key and the value, and the default takes its place, so a
// typo in a parameter never turns into a crash or a conversion of a huge double to int.

// value when it is finite and above 0, otherwise fallback.
double positiveOr(std::string_view key, double value, double fallback, std::ostream& console);

// value when it lies in 1..limit, otherwise fallback.
std::int32_t countOr(std::string_view key, std::int64_t value, std::int32_t fallback,
                     std::int64_t limit, std::ostream& console);

// The console line for a rejected value, with values written as valueText does.
void reportRejected(std::string_view key, std::string_view value, std::string_view fallback,
                    std::ostream& console);
std::string valueText(double value);

}  // namespace vostrel
