#pragma once
// Service port: provided interfaces are published as IOR strings under both the
// "<instance>.port.<port>.provided.<type>.<name>" and "port.<type>.<name>" keys; required
// interfaces are bound from the same keys of the peer. Providers stay reachable whatever
// the component's state.

#include "rtc/corba_consumer.hpp"
#include "rtc/port_base.hpp"

#include <string>
#include <vector>

namespace RTC {

class CorbaPort : public PortBase {
  public:
    explicit CorbaPort(const char* name);
    ~CorbaPort() override;

    bool registerProvider(const char* instance_name, const char* type_name,
                          PortableServer::ServantBase& provider);
    bool registerConsumer(const char* instance_name, const char* type_name,
                          CorbaConsumerBase& consumer);
    void detach() override;

  protected:
    ReturnCode_t publishInterfaces(ConnectorProfile& profile) override;
    ReturnCode_t subscribeInterfaces(const ConnectorProfile& profile) override;
    void unsubscribeInterfaces(const ConnectorProfile& profile) override;

  private:
    struct Provider {
        std::string instanceName;
        std::string typeName;
        std::string ior;
        PortableServer::ObjectId_var oid;
    };
    struct Consumer {
        std::string instanceName;
        std::string typeName;
        CorbaConsumerBase* consumer;
    };
    void refreshInterfaces();

    std::mutex mutex_;  // guards providers_ and consumers_
    std::vector<Provider> providers_;
    std::vector<Consumer> consumers_;
};

}  // namespace RTC
