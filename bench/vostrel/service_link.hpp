#pragma once
// Connects a service consumer of the calling process to a provider port of a running
// component, the way a peer component would, and hands back the provider's reference.

#include "rtc/rtc.hpp"
#include "tests/rtc/rtc_test_env.hpp"

#include <memory>
#include <string>
#include <vector>

namespace benchlink {

// ports keeps our side of each connection alive as long as the caller needs it.
template <class S>
typename S::_ptr_type linkService(RTC::RTObject_ptr comp, const char* port, const char* type,
                                  RTC::CorbaConsumer<S>& consumer,
                                  std::vector<std::unique_ptr<RTC::CorbaPort>>& ports) {
    auto* mine = new RTC::CorbaPort((std::string("use_") + port).c_str());
    mine->attach(RTC::RTObject::_nil(), "Bench0");
    mine->registerConsumer(port, type, consumer);
    ports.emplace_back(mine);
    RTC::PortService_var a = rtctest::findPort(comp, port);
    RTC::PortService_var b = mine->getPortRef();
    RTC::ConnectorProfile prof;
    rtctest::connectPorts({a.in(), b.in()}, {}, prof);
    return consumer._ptr();
}

}  // namespace benchlink
