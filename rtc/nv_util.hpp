#pragma once
// Conversions between NVLists on the wire and the runtime's properties. Only string
// values count: peers drop anything else when they rebuild a list.

#include "rtc/idl/SDOPackage.hh"
#include "rtc/properties.hpp"

#include <optional>
#include <string>

namespace rtc {

void appendString(SDOPackage::NVList& list, const std::string& name, const std::string& value);
void appendObject(SDOPackage::NVList& list, const std::string& name, CORBA::Object_ptr obj);
// The string value of the first entry named name (compared after trimming).
std::optional<std::string> findString(const SDOPackage::NVList& list, const std::string& name);
// The object reference of the first entry named name, nil if absent or not an object.
CORBA::Object_ptr findObject(const SDOPackage::NVList& list, const std::string& name);
coil::Properties toProperties(const SDOPackage::NVList& list);
SDOPackage::NVList toNVList(const coil::Properties& props);

}  // namespace rtc
