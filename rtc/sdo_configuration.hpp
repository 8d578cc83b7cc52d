#pragma once
// SDOPackage::Configuration of one component, backed by its ConfigAdmin. Only the
// configuration-set operations do anything; the rest answer as tools expect.

#include "rtc/config_admin.hpp"
#include "rtc/idl/SDOPackage.hh"

namespace RTC {

class SdoConfiguration : public virtual POA_SDOPackage::Configuration {
  public:
    explicit SdoConfiguration(rtc::ConfigAdmin& admin) : admin_(admin) {}

    CORBA::Boolean set_device_profile(const SDOPackage::DeviceProfile& dProfile) override;
    CORBA::Boolean add_service_profile(const SDOPackage::ServiceProfile& sProfile) override;
    CORBA::Boolean add_organization(SDOPackage::Organization_ptr organization_object) override;
    CORBA::Boolean remove_service_profile(const char* id) override;
    CORBA::Boolean remove_organization(const char* organization_id) override;
    SDOPackage::ParameterList* get_configuration_parameters() override;
    SDOPackage::NVList* get_configuration_parameter_values() override;
    CORBA::Any* get_configuration_parameter_value(const char* name) override;
    CORBA::Boolean set_configuration_parameter(const char* name, const CORBA::Any& value) override;
    SDOPackage::ConfigurationSetList* get_configuration_sets() override;
    SDOPackage::ConfigurationSet* get_configuration_set(const char* config_id) override;
    CORBA::Boolean set_configuration_set_values(
        const SDOPackage::ConfigurationSet& configuration_set) override;
    SDOPackage::ConfigurationSet* get_active_configuration_set() override;
    CORBA::Boolean add_configuration_set(
        const SDOPackage::ConfigurationSet& configuration_set) override;
    CORBA::Boolean remove_configuration_set(const char* config_id) override;
    CORBA::Boolean activate_configuration_set(const char* config_id) override;

  private:
    rtc::ConfigAdmin& admin_;
};

}  // namespace RTC
