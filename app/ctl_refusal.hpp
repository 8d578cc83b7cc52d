#pragma once
// The checks vostrel-ctl makes before it changes a component, so that a wrong command is
// refused with its reason instead of being carried out (or failing with a bare code).

#include "rtc/idl/OpenRTM.hh"

#include <string>

namespace ctl {

// Why the two ports must not be connected (two out-ports, two in-ports, a data port with a
// service port, different data types), or empty when they may be.
std::string portMismatch(const RTC::PortProfile& a, const RTC::PortProfile& b);

// Why `value` must not be set as `key` in configuration set `setId`: a key that no set of
// the component knows (unless `add`), or a value outside the range the component publishes in
// its constraint set (unless `force`). Empty when it may be set.
std::string parameterRefusal(SDOPackage::Configuration_ptr conf, const std::string& setId,
                             const std::string& key, const std::string& value, bool add,
                             bool force);

// What a state transition needs, for a refusal in state `state` ("ACTIVE", ...).
std::string transitionRefusal(const std::string& operation, const std::string& state);

// The names of the component's configuration sets, for messages.
std::string setNames(SDOPackage::Configuration_ptr conf);

}  // namespace ctl
