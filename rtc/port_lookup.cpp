#include "rtc/port_lookup.hpp"

namespace rtc {

bool portAnswersTo(std::string_view portName, std::string_view wanted) {
    if (wanted.empty()) return false;
    if (portName == wanted) return true;
    return portName.size() > wanted.size() && portName.ends_with(wanted) &&
           portName[portName.size() - wanted.size() - 1] == '.';
}

RTC::PortService_ptr findPort(RTC::RTObject_ptr component, std::string_view wanted) {
    RTC::PortServiceList_var ports = component->get_ports();
    for (CORBA::ULong i = 0; i < ports->length(); ++i) {
        RTC::PortProfile_var profile = ports[i]->get_port_profile();
        if (portAnswersTo(static_cast<const char*>(profile->name), wanted))
            return RTC::PortService::_duplicate(ports[i].in());
    }
    return RTC::PortService::_nil();
}

}  // namespace rtc
