#pragma once
// Sending side of a data port: one connector per push connection, each calling the
// peer's OpenRTM::InPortCdr::put. "flush" pushes in the writer's thread; "new" hands the
// newest sample to a thread of its own. A connector whose put raises is dropped at once
// and disconnected off the writer's thread, so a dead peer costs the cycle one failed
// call at most.

#include "rtc/cdr_codec.hpp"
#include "rtc/idl/DataPort.hh"
#include "rtc/port_base.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace RTC {

class OutPortBase : public PortBase {
  public:
    OutPortBase(const char* name, const std::string& dataType);
    ~OutPortBase() override;

    std::size_t connectionCount() const;
    void detach() override;

  protected:
    // True if every connection took the sample.
    bool writePayload(const rtc::CdrPayload& payload);

    ReturnCode_t publishInterfaces(ConnectorProfile& profile) override;
    ReturnCode_t subscribeInterfaces(const ConnectorProfile& profile) override;
    void unsubscribeInterfaces(const ConnectorProfile& profile) override;
    void completeRequest(ConnectorProfile& profile) override;

  private:
    class Connector;
    void connectionLost(const std::shared_ptr<Connector>& connector);

    mutable std::mutex mutex_;  // guards connectors_
    std::vector<std::shared_ptr<Connector>> connectors_;
};

}  // namespace RTC
