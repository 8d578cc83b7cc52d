#include "rtc/rt_object.hpp"

#include "rtc/in_port_base.hpp"
#include "rtc/manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/out_port_base.hpp"
#include "rtc/owned_context.hpp"
#include "rtc/port_base.hpp"
#include "rtc/sdo_configuration.hpp"
#include "rtc/triggered_execution_context.hpp"

#include <cstdlib>
#include <iostream>

namespace RTC {

RTObject_impl::RTObject_impl(Manager* manager) : m_pManager(manager) {}

RTObject_impl::~RTObject_impl() = default;

ReturnCode_t RTObject_impl::onInitialize() {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onFinalize() {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onStartup(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onShutdown(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onActivated(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onDeactivated(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onExecute(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onAborting(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onError(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onReset(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onStateUpdate(UniqueId) {
    return RTC_OK;
}
ReturnCode_t RTObject_impl::onRateChanged(UniqueId) {
    return RTC_OK;
}

rtc::ConfigAdmin& RTObject_impl::configAdmin() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!configAdmin_) {
        const coil::Properties* conf = properties_.findNode("conf");
        configAdmin_ = std::make_unique<rtc::ConfigAdmin>(
            conf != nullptr ? *conf : coil::Properties("conf"),
            properties_.getProperty("configuration.active_config", "default"), std::cerr);
    }
    return *configAdmin_;
}

std::string RTObject_impl::getInstanceName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return properties_.getProperty("instance_name");
}

std::string RTObject_impl::getTypeName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return properties_.getProperty("type_name");
}

std::string RTObject_impl::getCategory() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return properties_.getProperty("category");
}

coil::Properties RTObject_impl::getProperties() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return properties_;
}

void RTObject_impl::setProperties(const coil::Properties& props) {
    std::lock_guard<std::mutex> lock(mutex_);
    properties_ << props;
}

RTC::RTObject_ptr RTObject_impl::getObjRef() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return RTC::RTObject::_duplicate(ref_.in());
}

RTC::ExecutionContextService_ptr RTObject_impl::getExecutionContext(UniqueId handle) {
    if (handle == 0 && ownedContext_) {
        return ownedContext_->getObjRef();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (handle >= 1000 && static_cast<std::size_t>(handle - 1000) < participating_.size()) {
        return RTC::ExecutionContextService::_duplicate(participating_[handle - 1000].in());
    }
    return RTC::ExecutionContextService::_nil();
}

void RTObject_impl::activateObject() {
    PortableServer::POA_var poa = Manager::instance().getPOA();
    PortableServer::ObjectId_var oid = poa->activate_object(this);
    CORBA::Object_var obj = poa->id_to_reference(oid.in());
    std::lock_guard<std::mutex> lock(mutex_);
    oid_ = oid._retn();
    ref_ = RTC::RTObject::_narrow(obj.in());
}

bool RTObject_impl::attachPort(PortBase& port, const std::string& kindKey) {
    RTC::RTObject_var self = getObjRef();
    std::string instance = getInstanceName();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (PortBase* p : ports_) {
            if (p == &port || p->getShortName() == port.getShortName()) {
                return false;
            }
        }
        if (!kindKey.empty()) {
            properties_.getNode(kindKey + "." + port.getShortName());
        }
    }
    port.attach(self.in(), instance);
    std::lock_guard<std::mutex> lock(mutex_);
    ports_.push_back(&port);
    return true;
}

bool RTObject_impl::addInPort(const char* /*name*/, InPortBase& port) {
    coil::Properties props = getProperties();
    if (const coil::Properties* node = props.findNode("port.inport." + port.getShortName())) {
        port.init(*node);
    }
    return attachPort(port, "port.inport");
}

bool RTObject_impl::addOutPort(const char* /*name*/, OutPortBase& port) {
    // A write may wait for flush subscribers for half a period of the component's rate. A
    // context advanced by ticks has no period to keep: there the subscriber of a lock-step
    // loop must hold the sample before its own cycle, so the write waits until it is taken.
    const coil::Properties& props = getProperties();
    const bool ticked =
        TriggeredExecutionContext::kindOf(props.getProperty("exec_cxt.periodic.type")).has_value();
    double rate = std::strtod(props.getProperty("exec_cxt.periodic.rate").c_str(), nullptr);
    if (rate > 0 && !ticked) {
        port.setWriteBudget(std::chrono::nanoseconds(static_cast<std::int64_t>(0.5e9 / rate)));
    }
    return attachPort(port, "port.outport");
}

bool RTObject_impl::addPort(PortBase& port) {
    if (auto* in = dynamic_cast<InPortBase*>(&port)) {
        return addInPort(nullptr, *in);
    }
    if (auto* out = dynamic_cast<OutPortBase*>(&port)) {
        return addOutPort(nullptr, *out);
    }
    return attachPort(port, "port.corbaport");
}

std::vector<PortBase*> RTObject_impl::portsSnapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ports_;
}

ReturnCode_t RTObject_impl::guarded(ReturnCode_t (RTObject_impl::*fn)()) {
    try {
        return (this->*fn)();
    } catch (...) {
        return RTC_ERROR;
    }
}

ReturnCode_t RTObject_impl::guarded(ReturnCode_t (RTObject_impl::*fn)(UniqueId), UniqueId handle) {
    try {
        return (this->*fn)(handle);
    } catch (...) {
        return RTC_ERROR;
    }
}

// ---- ComponentAction. Configuration reaches bound variables only at the points below.

ReturnCode_t RTObject_impl::on_initialize() {
    ReturnCode_t rc = guarded(&RTObject_impl::onInitialize);
    if (rc == RTC_OK) {
        configAdmin().update();
    }
    return rc;
}

ReturnCode_t RTObject_impl::on_finalize() {
    return guarded(&RTObject_impl::onFinalize);
}

ReturnCode_t RTObject_impl::on_startup(ExecutionContextHandle_t h) {
    return guarded(&RTObject_impl::onStartup, h);
}

ReturnCode_t RTObject_impl::on_shutdown(ExecutionContextHandle_t h) {
    return guarded(&RTObject_impl::onShutdown, h);
}

ReturnCode_t RTObject_impl::on_activated(ExecutionContextHandle_t h) {
    configAdmin().updateIfChanged();
    return guarded(&RTObject_impl::onActivated, h);
}

ReturnCode_t RTObject_impl::on_deactivated(ExecutionContextHandle_t h) {
    return guarded(&RTObject_impl::onDeactivated, h);
}

ReturnCode_t RTObject_impl::on_aborting(ExecutionContextHandle_t h) {
    return guarded(&RTObject_impl::onAborting, h);
}

ReturnCode_t RTObject_impl::on_error(ExecutionContextHandle_t h) {
    ReturnCode_t rc = guarded(&RTObject_impl::onError, h);
    configAdmin().updateIfChanged();
    return rc;
}

ReturnCode_t RTObject_impl::on_reset(ExecutionContextHandle_t h) {
    return guarded(&RTObject_impl::onReset, h);
}

ReturnCode_t RTObject_impl::on_execute(ExecutionContextHandle_t h) {
    return guarded(&RTObject_impl::onExecute, h);
}

ReturnCode_t RTObject_impl::on_state_update(ExecutionContextHandle_t h) {
    ReturnCode_t rc = guarded(&RTObject_impl::onStateUpdate, h);
    configAdmin().updateIfChanged();
    return rc;
}

ReturnCode_t RTObject_impl::on_rate_changed(ExecutionContextHandle_t h) {
    return guarded(&RTObject_impl::onRateChanged, h);
}

// ---- LightweightRTObject

ReturnCode_t RTObject_impl::initialize() {
    if (created_.exchange(true)) {
        return PRECONDITION_NOT_MET;
    }
    configAdmin();
    coil::Properties props = getProperties();
    const coil::Properties* ecProps = props.findNode("exec_cxt");
    ownedContext_ = createOwnedContext(ecProps != nullptr ? *ecProps : coil::Properties());
    RTC::RTObject_var self = getObjRef();
    ownedContext_->bindOwner(this, self.in());

    sdoConfiguration_ = std::make_unique<SdoConfiguration>(configAdmin());
    PortableServer::POA_var poa = Manager::instance().getPOA();
    PortableServer::ObjectId_var oid = poa->activate_object(sdoConfiguration_.get());
    CORBA::Object_var obj = poa->id_to_reference(oid.in());
    configurationRef_ = SDOPackage::Configuration::_narrow(obj.in());

    ReturnCode_t rc = on_initialize();
    if (rc != RTC_OK) {
        return rc;
    }
    ownedContext_->start();
    return RTC_OK;
}

ReturnCode_t RTObject_impl::finalize() {
    // Finalisation only follows exit().
    return PRECONDITION_NOT_MET;
}

ReturnCode_t RTObject_impl::exit() {
    if (!created_) {
        return PRECONDITION_NOT_MET;
    }
    if (exiting_.exchange(true)) {
        return RTC_OK;
    }
    RTC::RTObject_var self = getObjRef();
    if (ownedContext_ && ownedContext_->get_component_state(self.in()) == ACTIVE_STATE) {
        ownedContext_->deactivate_component(self.in());
    }
    std::vector<RTC::ExecutionContextService_var> participating;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        participating = participating_;
    }
    for (auto& ec : participating) {
        if (CORBA::is_nil(ec.in())) {
            continue;
        }
        try {
            ec->deactivate_component(self.in());
            ec->remove_component(self.in());
        } catch (const CORBA::Exception&) {
        }
    }
    on_finalize();
    for (PortBase* port : portsSnapshot()) {
        port->detach();
    }
    if (ownedContext_) {
        ownedContext_->shutdown();
    }
    PortableServer::POA_var poa = Manager::instance().getPOA();
    try {
        if (sdoConfiguration_) {
            PortableServer::ObjectId_var oid = poa->servant_to_id(sdoConfiguration_.get());
            poa->deactivate_object(oid.in());
        }
    } catch (const CORBA::Exception&) {
    }
    try {
        PortableServer::ObjectId_var oid;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            oid = oid_;
        }
        poa->deactivate_object(oid.in());
    } catch (const CORBA::Exception&) {
    }
    Manager::instance().componentExited(this);
    return RTC_OK;
}

CORBA::Boolean RTObject_impl::is_alive(RTC::ExecutionContext_ptr exec_context) {
    return get_context_handle(exec_context) >= 0;
}

ExecutionContextHandle_t RTObject_impl::attach_context(RTC::ExecutionContext_ptr exec_context) {
    RTC::ExecutionContextService_var ec;
    try {
        ec = RTC::ExecutionContextService::_narrow(exec_context);
    } catch (const CORBA::Exception&) {
        return -1;
    }
    if (CORBA::is_nil(ec.in())) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < participating_.size(); ++i) {
        if (CORBA::is_nil(participating_[i].in())) {
            participating_[i] = ec._retn();
            return static_cast<ExecutionContextHandle_t>(1000 + i);
        }
    }
    participating_.push_back(ec._retn());
    return static_cast<ExecutionContextHandle_t>(1000 + participating_.size() - 1);
}

ReturnCode_t RTObject_impl::detach_context(ExecutionContextHandle_t exec_handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (exec_handle < 1000 ||
        static_cast<std::size_t>(exec_handle - 1000) >= participating_.size() ||
        CORBA::is_nil(participating_[exec_handle - 1000].in())) {
        return BAD_PARAMETER;
    }
    participating_[exec_handle - 1000] = RTC::ExecutionContextService::_nil();
    return RTC_OK;
}

RTC::ExecutionContext_ptr RTObject_impl::get_context(ExecutionContextHandle_t exec_handle) {
    return getExecutionContext(exec_handle);
}

ExecutionContextList* RTObject_impl::get_owned_contexts() {
    auto* list = new ExecutionContextList();
    if (ownedContext_) {
        list->length(1);
        (*list)[0] = ownedContext_->getObjRef();
    }
    return list;
}

ExecutionContextList* RTObject_impl::get_participating_contexts() {
    auto* list = new ExecutionContextList();
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& ec : participating_) {
        if (!CORBA::is_nil(ec.in())) {
            CORBA::ULong n = list->length();
            list->length(n + 1);
            (*list)[n] = RTC::ExecutionContext::_duplicate(ec.in());
        }
    }
    return list;
}

ExecutionContextHandle_t RTObject_impl::get_context_handle(RTC::ExecutionContext_ptr cxt) {
    if (CORBA::is_nil(cxt)) {
        return -1;
    }
    try {
        if (ownedContext_) {
            RTC::ExecutionContextService_var owned = ownedContext_->getObjRef();
            if (!CORBA::is_nil(owned.in()) && cxt->_is_equivalent(owned.in())) {
                return 0;
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < participating_.size(); ++i) {
            if (!CORBA::is_nil(participating_[i].in()) &&
                cxt->_is_equivalent(participating_[i].in())) {
                return static_cast<ExecutionContextHandle_t>(1000 + i);
            }
        }
    } catch (const CORBA::Exception&) {
    }
    return -1;
}

// ---- RTObject

ComponentProfile* RTObject_impl::get_component_profile() {
    auto* profile = new ComponentProfile();
    coil::Properties props = getProperties();
    if (configAdmin_) {
        props.removeNode("conf");
        props.getNode("conf") << configAdmin_->snapshot();
    }
    profile->instance_name = props.getProperty("instance_name").c_str();
    profile->type_name = props.getProperty("type_name").c_str();
    profile->description = props.getProperty("description").c_str();
    profile->version = props.getProperty("version").c_str();
    profile->vendor = props.getProperty("vendor").c_str();
    profile->category = props.getProperty("category").c_str();
    profile->parent = RTC::RTObject::_nil();
    profile->properties = rtc::toNVList(props);
    std::vector<PortBase*> ports = portsSnapshot();
    profile->port_profiles.length(static_cast<CORBA::ULong>(ports.size()));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        PortProfile_var pp = ports[i]->get_port_profile();
        profile->port_profiles[static_cast<CORBA::ULong>(i)] = pp.in();
    }
    return profile;
}

PortServiceList* RTObject_impl::get_ports() {
    auto* list = new PortServiceList();
    std::vector<PortBase*> ports = portsSnapshot();
    list->length(static_cast<CORBA::ULong>(ports.size()));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        (*list)[static_cast<CORBA::ULong>(i)] = ports[i]->getPortRef();
    }
    return list;
}

// ---- SDO

SDOPackage::OrganizationList* RTObject_impl::get_owned_organizations() {
    return new SDOPackage::OrganizationList();
}

char* RTObject_impl::get_sdo_id() {
    return CORBA::string_dup(getInstanceName().c_str());
}

char* RTObject_impl::get_sdo_type() {
    return CORBA::string_dup(getProperties().getProperty("description").c_str());
}

SDOPackage::DeviceProfile* RTObject_impl::get_device_profile() {
    return new SDOPackage::DeviceProfile();
}

SDOPackage::ServiceProfileList* RTObject_impl::get_service_profiles() {
    return new SDOPackage::ServiceProfileList();
}

SDOPackage::ServiceProfile* RTObject_impl::get_service_profile(const char*) {
    throw SDOPackage::InvalidParameter("no such service");
}

SDOPackage::SDOService_ptr RTObject_impl::get_sdo_service(const char*) {
    throw SDOPackage::InvalidParameter("no such service");
}

SDOPackage::Configuration_ptr RTObject_impl::get_configuration() {
    if (CORBA::is_nil(configurationRef_.in())) {
        throw SDOPackage::NotAvailable("not initialised");
    }
    return SDOPackage::Configuration::_duplicate(configurationRef_.in());
}

SDOPackage::Monitoring_ptr RTObject_impl::get_monitoring() {
    throw SDOPackage::InterfaceNotImplemented("monitoring");
}

SDOPackage::OrganizationList* RTObject_impl::get_organizations() {
    return new SDOPackage::OrganizationList();
}

SDOPackage::NVList* RTObject_impl::get_status_list() {
    return new SDOPackage::NVList();
}

CORBA::Any* RTObject_impl::get_status(const char*) {
    throw SDOPackage::InvalidParameter("no such status");
}

}  // namespace RTC
