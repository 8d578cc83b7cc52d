#pragma once
// Sending side of a data port. Each push connection calls the peer's
// OpenRTM::InPortCdr::put from a sender thread of its own (flush, new or periodic); a
// write waits for flush connections at most the write budget. A pull connection keeps the
// samples in a buffer that the peer reads through our OpenRTM::OutPortCdr::get. A
// connection whose put raises is dropped and disconnected off the writer's thread.

#include "rtc/cdr_codec.hpp"
#include "rtc/idl/DataPort.hh"
#include "rtc/port_base.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
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
    // How long one write may wait for its flush connections to take the sample.
    void setWriteBudget(std::chrono::nanoseconds budget);
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
    class PullSource;
    void storeConnector(const std::shared_ptr<Connector>& connector);
    void connectionLost(const std::shared_ptr<Connector>& connector);

    mutable std::mutex mutex_;  // guards connectors_
    std::vector<std::shared_ptr<Connector>> connectors_;
    // A port outside any component waits until the sample is taken or the peer is lost;
    // a component sets half its period.
    std::atomic<std::int64_t> writeBudget_{std::chrono::nanoseconds(std::chrono::hours(1)).count()};
};

}  // namespace RTC
