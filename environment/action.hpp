#pragma once

#include "environment/destination.hpp"
#include "platform/gaussian_random.hpp"

namespace vostrel {

// Go to a destination of a kind, stay for a dwell time, continue with the next action.
// The default action (kind 4) names no destination.
struct Action {
    int kind = kNoDestination;
    int destinationId = -1;
    int nextActionId = -1;
    GaussianRandom dwell;  // seconds
    int targetIndex = 0;   // position in its group of the destination chosen for this person
};

}  // namespace vostrel
