#include "rtc/in_port_base.hpp"

#include "rtc/manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/string_util.hpp"

#include "platform/report_throttle.hpp"

#include <atomic>
#include <chrono>
#include <iostream>
#include <vector>

namespace RTC {

namespace {
const char* const kEndianKey = "dataport.serializer.cdr.endian";

// "little" (also when absent), "big", or nothing for a value we cannot honour.
std::optional<bool> littleEndianFrom(const coil::Properties& props) {
    const std::string& value = props.getProperty(kEndianKey);
    if (value.empty()) {
        return true;
    }
    auto tokens = rtc::split(value, ',');
    std::string first = tokens.empty() ? "little" : rtc::toLower(tokens.front());
    if (first == "little") {
        return true;
    }
    if (first == "big") {
        return false;
    }
    return std::nullopt;
}
}  // namespace

class InPortBase::Sink : public virtual POA_OpenRTM::InPortCdr {
  public:
    struct Context {
        std::shared_ptr<rtc::ReceiveBuffer> buffer;
        Decodes decodes;
        std::shared_ptr<std::atomic<std::uint64_t>> dropped;
        std::string port;
        std::string dataType;
    };
    Sink(Context context, std::shared_ptr<const std::string> origin)
        : context_(std::move(context)), origin_(std::move(origin)) {}
    void setLittleEndian(bool little) { little_ = little; }

    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override {
        rtc::CdrPayload payload(data.get_buffer(), data.length(), little_);
        payload.setOrigin(origin_);
        if (context_.decodes && !context_.decodes(payload)) {
            drop();
            return OpenRTM::PORT_ERROR;
        }
        return context_.buffer->put(std::move(payload)) == rtc::ReceiveBuffer::PutResult::Ok
                   ? OpenRTM::PORT_OK
                   : OpenRTM::BUFFER_FULL;
    }

  private:
    // A peer can send garbage thousands of times a second: one line per second at most.
    void drop() {
        ++*context_.dropped;
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        std::lock_guard<std::mutex> lock(reportMutex_);
        if (!throttle_.note(static_cast<std::uint32_t>(now.count()))) {
            return;
        }
        const std::uint64_t recent = throttle_.takeSinceReport();
        std::cerr << context_.port << ": dropped " << recent
                  << (recent == 1 ? " sample" : " samples") << " from " << *origin_
                  << " that did not decode as " << context_.dataType << " (" << throttle_.total()
                  << " in all)" << std::endl;
    }

    Context context_;
    std::shared_ptr<const std::string> origin_;
    std::atomic<bool> little_{true};
    std::mutex reportMutex_;  // guards throttle_
    vostrel::ReportThrottle throttle_;
};

InPortBase::InPortBase(const char* name, const std::string& dataType)
    : PortBase(name), buffer_(std::make_shared<rtc::ReceiveBuffer>()) {
    addProperty("port.port_type", "DataInPort");
    addProperty("dataport.data_type", dataType);
    addProperty("dataport.subscription_type", "Any");
    addProperty("dataport.dataflow_type", "push,pull");
    addProperty("dataport.interface_type", "corba_cdr");
}

InPortBase::~InPortBase() = default;

void InPortBase::init(const coil::Properties& portProps) {
    if (const coil::Properties* buffer = portProps.findNode("buffer")) {
        buffer_->configure(*buffer);
    }
}

void InPortBase::completeRequest(ConnectorProfile& profile) {
    if (!rtc::findString(profile.properties, kEndianKey)) {
        rtc::appendString(profile.properties, kEndianKey, "little,big");
    }
}

namespace {
std::string flowOf(const coil::Properties& props) {
    return rtc::toLower(rtc::trim(props.getProperty("dataport.dataflow_type", "push")));
}
}  // namespace

ReturnCode_t InPortBase::publishInterfaces(ConnectorProfile& profile) {
    coil::Properties props = rtc::toProperties(profile.properties);
    std::string flow = flowOf(props);
    if ((flow != "push" && flow != "pull") ||
        rtc::toLower(rtc::trim(props.getProperty("dataport.interface_type"))) != "corba_cdr") {
        return BAD_PARAMETER;
    }
    if (flow == "pull") {
        return RTC_OK;  // the out-port publishes its object; we take it in subscribe
    }
    std::string id = static_cast<const char*>(profile.connector_id);
    releaseSink(id);

    const std::string connectorName = static_cast<const char*>(profile.name);
    auto* sink = new Sink(Sink::Context{buffer_, decodes_, dropped_, getName(),
                                        getProperties().getProperty("dataport.data_type")},
                          std::make_shared<const std::string>(
                              connectorName.empty() ? id : connectorName + " (" + id + ")"));
    sink->setLittleEndian(littleEndianFrom(props).value_or(true));
    PortableServer::POA_var poa = Manager::instance().getPOA();
    PortableServer::ObjectId_var oid = poa->activate_object(sink);
    sink->_remove_ref();  // the POA owns it now
    CORBA::Object_var obj = poa->id_to_reference(oid.in());
    CORBA::ORB_var orb = Manager::instance().getORB();
    CORBA::String_var ior = orb->object_to_string(obj.in());
    rtc::appendString(profile.properties, "dataport.corba_cdr.inport_ior", ior.in());
    rtc::appendObject(profile.properties, "dataport.corba_cdr.inport_ref", obj.in());

    std::lock_guard<std::mutex> lock(sinksMutex_);
    sinks_[id] = SinkEntry{sink, oid._retn()};
    return RTC_OK;
}

ReturnCode_t InPortBase::subscribeInterfaces(const ConnectorProfile& profile) {
    coil::Properties props = rtc::toProperties(profile.properties);
    auto little = littleEndianFrom(props);
    if (!little) {
        return UNSUPPORTED;
    }
    if (const coil::Properties* buffer = props.findNode("dataport.buffer")) {
        buffer_->configure(*buffer);
    }
    if (const coil::Properties* buffer = props.findNode("dataport.inport.buffer")) {
        buffer_->configure(*buffer);
    }
    if (flowOf(props) == "pull") {
        CORBA::Object_var obj;
        auto ior = rtc::findString(profile.properties, "dataport.corba_cdr.outport_ior");
        OpenRTM::OutPortCdr_var source;
        try {
            if (ior && !ior->empty()) {
                CORBA::ORB_var orb = Manager::instance().getORB();
                obj = orb->string_to_object(ior->c_str());
            } else {
                obj = rtc::findObject(profile.properties, "dataport.corba_cdr.outport_ref");
            }
            source = OpenRTM::OutPortCdr::_narrow(obj.in());
        } catch (const CORBA::Exception&) {
            return BAD_PARAMETER;
        }
        if (CORBA::is_nil(source.in())) {
            return BAD_PARAMETER;
        }
        std::lock_guard<std::mutex> lock(sinksMutex_);
        pulls_[static_cast<const char*>(profile.connector_id)] = PullEntry{source._retn(), *little};
        return RTC_OK;
    }
    std::lock_guard<std::mutex> lock(sinksMutex_);
    auto it = sinks_.find(static_cast<const char*>(profile.connector_id));
    if (it != sinks_.end()) {
        it->second.servant->setLittleEndian(*little);
    }
    return RTC_OK;
}

void InPortBase::unsubscribeInterfaces(const ConnectorProfile& profile) {
    releaseSink(static_cast<const char*>(profile.connector_id));
}

void InPortBase::releaseSink(const std::string& id) {
    PortableServer::ObjectId_var oid;
    {
        std::lock_guard<std::mutex> lock(sinksMutex_);
        pulls_.erase(id);
        auto it = sinks_.find(id);
        if (it == sinks_.end()) {
            return;
        }
        oid = it->second.oid._retn();
        sinks_.erase(it);
    }
    try {
        PortableServer::POA_var poa = Manager::instance().getPOA();
        poa->deactivate_object(oid.in());
    } catch (const CORBA::Exception&) {
    }
}

std::optional<rtc::CdrPayload> InPortBase::readPayload() {
    pullAll();
    auto payload = buffer_->read();
    if (payload) {
        lastOrigin_ = payload->origin();
    }
    return payload;
}

void InPortBase::pullAll() {
    std::vector<std::pair<std::string, PullEntry>> sources;
    {
        std::lock_guard<std::mutex> lock(sinksMutex_);
        for (const auto& [id, entry] : pulls_) {
            sources.emplace_back(id, entry);
        }
    }
    // The calls happen in the reader's thread, without a lock: that is what pull means.
    for (auto& [id, entry] : sources) {
        OpenRTM::CdrData_var data;
        try {
            if (entry.source->get(data.out()) == OpenRTM::PORT_OK) {
                buffer_->put(rtc::CdrPayload(data->get_buffer(), data->length(), entry.little));
            }
        } catch (const CORBA::Exception&) {
            // The sender is gone: forget the connection, telling the peers off this thread.
            releaseSink(id);
            std::string lost = id;
            Manager::instance().post([this, lost] { disconnect(lost.c_str()); });
        }
    }
}

void InPortBase::detach() {
    PortBase::detach();
    std::vector<std::string> ids;
    {
        std::lock_guard<std::mutex> lock(sinksMutex_);
        for (const auto& entry : sinks_) {
            ids.push_back(entry.first);
        }
    }
    for (const auto& id : ids) {
        releaseSink(id);
    }
}

}  // namespace RTC
