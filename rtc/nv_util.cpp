#include "rtc/nv_util.hpp"

#include "rtc/string_util.hpp"

namespace rtc {

void appendString(SDOPackage::NVList& list, const std::string& name, const std::string& value) {
    CORBA::ULong n = list.length();
    list.length(n + 1);
    list[n].name = name.c_str();
    list[n].value <<= value.c_str();
}

void appendObject(SDOPackage::NVList& list, const std::string& name, CORBA::Object_ptr obj) {
    CORBA::ULong n = list.length();
    list.length(n + 1);
    list[n].name = name.c_str();
    list[n].value <<= obj;
}

std::optional<std::string> findString(const SDOPackage::NVList& list, const std::string& name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (trim(static_cast<const char*>(list[i].name)) != name) {
            continue;
        }
        const char* s = nullptr;
        if (list[i].value >>= s) {
            return std::string(s);
        }
    }
    return std::nullopt;
}

CORBA::Object_ptr findObject(const SDOPackage::NVList& list, const std::string& name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (trim(static_cast<const char*>(list[i].name)) != name) {
            continue;
        }
        CORBA::Object_ptr obj = CORBA::Object::_nil();
        // Extraction hands us our own reference.
        if (list[i].value >>= CORBA::Any::to_object(obj)) {
            return obj;
        }
    }
    return CORBA::Object::_nil();
}

coil::Properties toProperties(const SDOPackage::NVList& list) {
    coil::Properties props;
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        const char* s = nullptr;
        if (list[i].value >>= s) {
            props.setProperty(trim(static_cast<const char*>(list[i].name)), s);
        }
    }
    return props;
}

SDOPackage::NVList toNVList(const coil::Properties& props) {
    SDOPackage::NVList list;
    for (const auto& key : props.propertyNames()) {
        appendString(list, key, props.getProperty(key));
    }
    return list;
}

}  // namespace rtc
