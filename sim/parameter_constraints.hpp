#pragma once

#include <iosfwd>
#include <vector>

#include "environment/environment.hpp"
#include "sim/configuration.hpp"

namespace vostrel {

// The range of values that makes sense for a parameter, in the framework's constraint syntax
// (published as conf.__constraints__.<key>, checked by tools before they set a value).
// Activation uses some values as given even outside their range; `asGiven` then says what
// follows, and activation warns. The others are replaced by their defaults where they are
// used, with a line of their own.
struct ParameterConstraint {
    const char* key;
    const char* constraint;
    const char* asGiven;  // null when another guard replaces the value
};

const std::vector<ParameterConstraint>& parameterConstraints();

// One warning line on `err` for every setting used as given although it is outside its range,
// and for a robot that starts outside the environment's extent. Shared by the component and
// the batch runner through activation.
void warnAboutSettings(const Configuration& config, const Environment& environment,
                       std::ostream& err);

}  // namespace vostrel
