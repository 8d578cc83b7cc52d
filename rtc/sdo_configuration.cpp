#include "rtc/sdo_configuration.hpp"

namespace RTC {

CORBA::Boolean SdoConfiguration::set_device_profile(const SDOPackage::DeviceProfile&) {
    return true;
}

// Observers are not supported; tools fall back to polling when told so.
CORBA::Boolean SdoConfiguration::add_service_profile(const SDOPackage::ServiceProfile&) {
    return false;
}

CORBA::Boolean SdoConfiguration::add_organization(SDOPackage::Organization_ptr) {
    return false;
}

CORBA::Boolean SdoConfiguration::remove_service_profile(const char*) {
    return false;
}

CORBA::Boolean SdoConfiguration::remove_organization(const char*) {
    return false;
}

SDOPackage::ParameterList* SdoConfiguration::get_configuration_parameters() {
    return new SDOPackage::ParameterList();
}

SDOPackage::NVList* SdoConfiguration::get_configuration_parameter_values() {
    return new SDOPackage::NVList();
}

CORBA::Any* SdoConfiguration::get_configuration_parameter_value(const char*) {
    return new CORBA::Any();
}

CORBA::Boolean SdoConfiguration::set_configuration_parameter(const char*, const CORBA::Any&) {
    return true;
}

SDOPackage::ConfigurationSetList* SdoConfiguration::get_configuration_sets() {
    return new SDOPackage::ConfigurationSetList(admin_.getSets());
}

SDOPackage::ConfigurationSet* SdoConfiguration::get_configuration_set(const char* config_id) {
    auto* set = new SDOPackage::ConfigurationSet();
    if (!admin_.getSet(config_id, *set)) {
        delete set;
        throw SDOPackage::InternalError("no such configuration set");
    }
    return set;
}

CORBA::Boolean SdoConfiguration::set_configuration_set_values(
    const SDOPackage::ConfigurationSet& configuration_set) {
    if (!admin_.setSetValues(configuration_set)) {
        throw SDOPackage::InvalidParameter("bad configuration set id");
    }
    return true;
}

SDOPackage::ConfigurationSet* SdoConfiguration::get_active_configuration_set() {
    auto* set = new SDOPackage::ConfigurationSet();
    if (!admin_.getSet(admin_.activeSetId(), *set)) {
        delete set;
        throw SDOPackage::NotAvailable("no active configuration set");
    }
    return set;
}

CORBA::Boolean SdoConfiguration::add_configuration_set(
    const SDOPackage::ConfigurationSet& configuration_set) {
    return admin_.addSet(configuration_set);
}

CORBA::Boolean SdoConfiguration::remove_configuration_set(const char* config_id) {
    return admin_.removeSet(config_id);
}

CORBA::Boolean SdoConfiguration::activate_configuration_set(const char* config_id) {
    if (!admin_.activateSet(config_id)) {
        throw SDOPackage::InvalidParameter("no such selectable configuration set");
    }
    return true;
}

}  // namespace RTC
