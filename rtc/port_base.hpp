#pragma once
// Common part of every port: the profile, stored connections and the connect /
// notify_connect / disconnect chain. No lock is held across an outgoing call: a peer may
// call back into this port while we wait for it.

#include "rtc/idl/RTC.hh"
#include "rtc/properties.hpp"

#include <atomic>
#include <mutex>
#include <string>

namespace RTC {

class PortBase : public virtual POA_RTC::PortService {
  public:
    explicit PortBase(const char* name);
    ~PortBase() override;
    PortBase(const PortBase&) = delete;
    PortBase& operator=(const PortBase&) = delete;

    // PortService
    PortProfile* get_port_profile() override;
    ConnectorProfileList* get_connector_profiles() override;
    ConnectorProfile* get_connector_profile(const char* connector_id) override;
    ReturnCode_t connect(ConnectorProfile& connector_profile) override;
    ReturnCode_t disconnect(const char* connector_id) override;
    ReturnCode_t disconnect_all() override;
    ReturnCode_t notify_connect(ConnectorProfile& connector_profile) override;
    ReturnCode_t notify_disconnect(const char* connector_id) override;

    // Full name "<instance>.<port>" once the port belongs to a component.
    std::string getName() const;
    // The name the component author gave the port.
    std::string getShortName() const;
    std::string getInstanceName() const;
    PortService_ptr getPortRef() const;
    // Local copy of the profile, without the dead-peer sweep.
    PortProfile getPortProfile() const;
    coil::Properties getProperties() const;
    void addProperty(const std::string& key, const std::string& value);

    // Called by the component: activates the servant and sets the owner.
    void attach(RTObject_ptr owner, const std::string& instanceName);
    // Disconnects everything and deactivates the servant (component exit).
    virtual void detach();

  protected:
    // publish: append what this port offers. subscribe: take what the others offered.
    // unsubscribe: release what subscribe or publish set up for that connection.
    virtual ReturnCode_t publishInterfaces(ConnectorProfile& profile) = 0;
    virtual ReturnCode_t subscribeInterfaces(const ConnectorProfile& profile) = 0;
    virtual void unsubscribeInterfaces(const ConnectorProfile& profile) = 0;
    // Lets data ports add their defaults before the chain starts.
    virtual void completeRequest(ConnectorProfile& /*profile*/) {}
    void setInterfaces(const PortInterfaceProfileList& interfaces);
    bool isSelf(PortService_ptr port) const;

  private:
    void removeDeadConnections();
    // Runs removeDeadConnections in the background, once at a time.
    void requestSweep();
    bool findConnector(const std::string& id, ConnectorProfile& out) const;
    void eraseConnector(const std::string& id);

    mutable std::mutex mutex_;  // guards profile_ and shortName_
    PortProfile profile_;
    std::string shortName_;
    std::string instanceName_;
    PortService_var ref_;
    PortableServer::ObjectId_var oid_;
    bool attached_ = false;
    std::atomic<bool> sweepPending_{false};
};

}  // namespace RTC
