#pragma once
// Value constraints of configuration parameters, as components publish them in their
// "__constraints__" configuration set (conf.__constraints__.<param>) for tools to check
// against: "x>=0", "x<100", "0<=x<=100", "(YES,NO)". Any single letter or word stands for the
// value. A constraint that cannot be read constrains nothing.

#include <string>
#include <string_view>

namespace rtc {

// The name of the configuration set that holds the constraints; like every set whose name
// starts with '_' it cannot be activated.
inline constexpr const char* kConstraintSet = "__constraints__";

// The set that names each parameter's type ("int", "double", "string", ...).
inline constexpr const char* kTypeSet = "__type__";

// True when `value` converts to `type` ("short", "int", "long" and their unsigned forms take
// whole numbers, "float" and "double" numbers, anything else any text); otherwise false with
// the reason in `why`.
bool convertsTo(std::string_view type, std::string_view value, std::string& why);

// True when `value` satisfies `constraint` (or the constraint cannot be read); otherwise false
// with the reason in `why`.
bool satisfiesConstraint(std::string_view constraint, std::string_view value, std::string& why);

}  // namespace rtc
