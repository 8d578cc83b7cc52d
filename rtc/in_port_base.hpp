#pragma once
// Receiving side of a data port: serves one OpenRTM::InPortCdr object per push
// connection; every connection feeds the port's one receive buffer. A pull connection is
// read (OpenRTM::OutPortCdr::get on the peer) when the component reads the port.

#include "rtc/idl/DataPort.hh"
#include "rtc/port_base.hpp"
#include "rtc/receive_buffer.hpp"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace RTC {

class InPortBase : public PortBase {
  public:
    InPortBase(const char* name, const std::string& dataType);
    ~InPortBase() override;

    // Port-level options (the "port.inport.<name>" node of the component's properties).
    void init(const coil::Properties& portProps);
    bool isNew() const { return buffer_->isNew(); }
    bool isEmpty() const { return !buffer_->isNew(); }
    std::size_t unreadCount() const { return buffer_->unread(); }
    // Samples refused on arrival because they were not exactly one encoding of the port's type.
    std::uint64_t droppedCount() const { return dropped_->load(); }
    // The connection the last sample read came from.
    const std::string& lastOrigin() const { return lastOrigin_; }
    void detach() override;

  protected:
    ReturnCode_t publishInterfaces(ConnectorProfile& profile) override;
    ReturnCode_t subscribeInterfaces(const ConnectorProfile& profile) override;
    void unsubscribeInterfaces(const ConnectorProfile& profile) override;
    void completeRequest(ConnectorProfile& profile) override;

    std::optional<rtc::CdrPayload> readPayload();
    // Decides on arrival whether a payload decodes; set by the typed port.
    using Decodes = std::function<bool(const rtc::CdrPayload&)>;
    void setDecodes(Decodes decodes) { decodes_ = std::move(decodes); }

  private:
    class Sink;
    struct SinkEntry {
        Sink* servant;
        PortableServer::ObjectId_var oid;
    };
    void releaseSink(const std::string& id);
    void pullAll();

    std::shared_ptr<rtc::ReceiveBuffer> buffer_;
    Decodes decodes_;
    std::shared_ptr<std::atomic<std::uint64_t>> dropped_ =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    std::string lastOrigin_;
    std::mutex sinksMutex_;  // guards sinks_
    std::map<std::string, SinkEntry> sinks_;
    struct PullEntry {
        OpenRTM::OutPortCdr_var source;
        bool little = true;
    };
    std::map<std::string, PullEntry> pulls_;  // guarded by sinksMutex_
};

}  // namespace RTC
