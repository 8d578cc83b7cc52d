#pragma once
// Finding a component's port by the name a user or a configuration gives it. The manager's
// preconnect and the command-line tool go through here, so both take the same names.

#include "rtc/idl/RTC.hh"

#include <string_view>

namespace rtc {

// Whether the port whose profile is named portName answers to wanted: to its whole name
// ("Comp0.in") or to what follows a dot in it ("in"). An empty name answers to nothing.
bool portAnswersTo(std::string_view portName, std::string_view wanted);

// The first of the component's ports that answers to wanted; nil when none does. Errors of
// the calls to the component pass through to the caller.
RTC::PortService_ptr findPort(RTC::RTObject_ptr component, std::string_view wanted);

}  // namespace rtc
