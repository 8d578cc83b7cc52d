#pragma once
// Everything a component author needs from the runtime.

#include "rtc/corba_port.hpp"
#include "rtc/in_port.hpp"
#include "rtc/manager.hpp"
#include "rtc/out_port.hpp"
#include "rtc/owned_context.hpp"
#include "rtc/periodic_execution_context.hpp"
#include "rtc/properties.hpp"
#include "rtc/rt_object.hpp"
