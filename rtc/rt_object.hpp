#pragma once
// The component object: serves OpenRTM::DataFlowComponent (and so every ancestor) and
// calls the author's on* callbacks. Authors derive from DataFlowComponentBase.

#include "rtc/config_admin.hpp"
#include "rtc/idl/OpenRTM.hh"
#include "rtc/properties.hpp"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace RTC {

using UniqueId = ExecutionContextHandle_t;

class Manager;
class PortBase;
class InPortBase;
class OutPortBase;
class OwnedContext;
class SdoConfiguration;

class RTObject_impl : public virtual POA_OpenRTM::DataFlowComponent {
  public:
    explicit RTObject_impl(Manager* manager);
    ~RTObject_impl() override;
    RTObject_impl(const RTObject_impl&) = delete;
    RTObject_impl& operator=(const RTObject_impl&) = delete;

    // ---- Callbacks for component authors; each defaults to RTC_OK.
    virtual ReturnCode_t onInitialize();
    virtual ReturnCode_t onFinalize();
    virtual ReturnCode_t onStartup(UniqueId exec_handle);
    virtual ReturnCode_t onShutdown(UniqueId exec_handle);
    virtual ReturnCode_t onActivated(UniqueId exec_handle);
    virtual ReturnCode_t onDeactivated(UniqueId exec_handle);
    virtual ReturnCode_t onExecute(UniqueId exec_handle);
    virtual ReturnCode_t onAborting(UniqueId exec_handle);
    virtual ReturnCode_t onError(UniqueId exec_handle);
    virtual ReturnCode_t onReset(UniqueId exec_handle);
    virtual ReturnCode_t onStateUpdate(UniqueId exec_handle);
    virtual ReturnCode_t onRateChanged(UniqueId exec_handle);

    // ---- Building blocks for onInitialize.
    bool addInPort(const char* name, InPortBase& port);
    bool addOutPort(const char* name, OutPortBase& port);
    bool addPort(PortBase& port);

    // Binds a configuration parameter; the variable gets the active set's value now and
    // after every activated change (between cycles). A value that does not convert leaves
    // the default and is reported on the console.
    template <typename T>
    bool bindParameter(const char* param_name, T& var, const char* def_val,
                       bool (*trans)(T&, const char*) = nullptr) {
        return configAdmin().bindParameter(param_name, var, def_val, trans);
    }

    std::string getInstanceName() const;
    std::string getTypeName() const;
    std::string getCategory() const;
    coil::Properties getProperties() const;
    void setProperties(const coil::Properties& props);
    RTObject_ptr getObjRef() const;
    // The owned execution context (handle 0), nil before initialisation.
    ExecutionContextService_ptr getExecutionContext(UniqueId handle);
    OwnedContext* ownedContext() { return ownedContext_.get(); }

    // ---- ComponentAction / DataFlowComponentAction (also used by our own context).
    ReturnCode_t on_initialize() override;
    ReturnCode_t on_finalize() override;
    ReturnCode_t on_startup(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_shutdown(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_activated(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_deactivated(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_aborting(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_error(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_reset(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_execute(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_state_update(ExecutionContextHandle_t exec_handle) override;
    ReturnCode_t on_rate_changed(ExecutionContextHandle_t exec_handle) override;

    // ---- LightweightRTObject
    ReturnCode_t initialize() override;
    ReturnCode_t finalize() override;
    CORBA::Boolean is_alive(ExecutionContext_ptr exec_context) override;
    ReturnCode_t exit() override;
    ExecutionContextHandle_t attach_context(ExecutionContext_ptr exec_context) override;
    ReturnCode_t detach_context(ExecutionContextHandle_t exec_handle) override;
    ExecutionContext_ptr get_context(ExecutionContextHandle_t exec_handle) override;
    ExecutionContextList* get_owned_contexts() override;
    ExecutionContextList* get_participating_contexts() override;
    ExecutionContextHandle_t get_context_handle(ExecutionContext_ptr cxt) override;

    // ---- RTObject
    ComponentProfile* get_component_profile() override;
    PortServiceList* get_ports() override;

    // ---- SDO
    SDOPackage::OrganizationList* get_owned_organizations() override;
    char* get_sdo_id() override;
    char* get_sdo_type() override;
    SDOPackage::DeviceProfile* get_device_profile() override;
    SDOPackage::ServiceProfileList* get_service_profiles() override;
    SDOPackage::ServiceProfile* get_service_profile(const char* id) override;
    SDOPackage::SDOService_ptr get_sdo_service(const char* id) override;
    SDOPackage::Configuration_ptr get_configuration() override;
    SDOPackage::Monitoring_ptr get_monitoring() override;
    SDOPackage::OrganizationList* get_organizations() override;
    SDOPackage::NVList* get_status_list() override;
    CORBA::Any* get_status(const char* nme) override;

    // True once the execution context running onActivated has given up waiting for it (its
    // activation timeout): a long activation should then stop and return an error. The
    // component stays INACTIVE whatever onActivated returns.
    bool activationAbandoned() const { return activationAbandoned_; }
    // Used by the execution context.
    void setActivationAbandoned(bool abandoned) { activationAbandoned_ = abandoned; }

    // ---- Used by the manager.
    void activateObject();
    bool isExiting() const { return exiting_; }

  protected:
    Manager* m_pManager;

  private:
    rtc::ConfigAdmin& configAdmin();
    bool attachPort(PortBase& port, const std::string& kindKey);
    std::vector<PortBase*> portsSnapshot() const;
    ReturnCode_t guarded(ReturnCode_t (RTObject_impl::*fn)());
    ReturnCode_t guarded(ReturnCode_t (RTObject_impl::*fn)(UniqueId), UniqueId handle);

    mutable std::mutex mutex_;  // guards properties_, ports_, participating_, ref_
    coil::Properties properties_;
    std::vector<PortBase*> ports_;
    std::vector<ExecutionContextService_var> participating_;
    std::unique_ptr<rtc::ConfigAdmin> configAdmin_;
    std::unique_ptr<OwnedContext> ownedContext_;
    std::unique_ptr<SdoConfiguration> sdoConfiguration_;
    SDOPackage::Configuration_var configurationRef_;
    RTObject_var ref_;
    PortableServer::ObjectId_var oid_;
    std::atomic<bool> created_{false};
    std::atomic<bool> exiting_{false};
    std::atomic<bool> activationAbandoned_{false};
};

// The name component code uses for "some component".
using RtcBase = RTObject_impl;

class DataFlowComponentBase : public RTObject_impl {
  public:
    explicit DataFlowComponentBase(Manager* manager) : RTObject_impl(manager) {}
};

}  // namespace RTC
