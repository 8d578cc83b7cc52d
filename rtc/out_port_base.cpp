#include "rtc/out_port_base.hpp"

#include "rtc/connector_sender.hpp"
#include "rtc/manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/receive_buffer.hpp"
#include "rtc/string_util.hpp"

#include <cstring>
#include <iostream>

namespace RTC {

using rtc::ConnectorSender;

// One connection: a push connection sends through its own sender thread; a pull connection
// keeps the samples in a buffer that the peer reads with OutPortCdr::get.
class OutPortBase::Connector {
  public:
    explicit Connector(std::string id) : id_(std::move(id)) {}
    const std::string& id() const { return id_; }

    OpenRTM::InPortCdr_var sinkRef;
    std::unique_ptr<ConnectorSender> sender;  // push only, declared after what it uses
    std::shared_ptr<rtc::ReceiveBuffer> pullBuffer;
    PortableServer::ObjectId_var pullOid;

    ~Connector() {
        sender.reset();  // joins the sender thread
        if (pullBuffer) {
            try {
                PortableServer::POA_var poa = Manager::instance().getPOA();
                poa->deactivate_object(pullOid.in());
            } catch (const CORBA::Exception&) {
            }
        }
    }
    Connector(const Connector&) = delete;
    Connector& operator=(const Connector&) = delete;

  private:
    std::string id_;
};

// Serves get() on a pull connection from that connection's buffer.
class OutPortBase::PullSource : public virtual POA_OpenRTM::OutPortCdr {
  public:
    explicit PullSource(std::shared_ptr<rtc::ReceiveBuffer> buffer) : buffer_(std::move(buffer)) {}
    OpenRTM::PortStatus get(OpenRTM::CdrData_out data) override {
        auto payload = buffer_->read();
        if (!payload) {
            data = new OpenRTM::CdrData();
            return OpenRTM::BUFFER_EMPTY;
        }
        auto size = static_cast<CORBA::ULong>(payload->size());
        CORBA::Octet* bytes = OpenRTM::CdrData::allocbuf(size);
        std::memcpy(bytes, payload->data(), payload->size());
        data = new OpenRTM::CdrData(size, size, bytes, true);
        return OpenRTM::PORT_OK;
    }

  private:
    std::shared_ptr<rtc::ReceiveBuffer> buffer_;
};

namespace {
bool isPull(const coil::Properties& props) {
    return rtc::toLower(rtc::trim(props.getProperty("dataport.dataflow_type", "push"))) == "pull";
}

// The buffer options of the sending side: dataport.buffer.*, then dataport.outport.buffer.*.
void configureOutBuffer(rtc::ReceiveBuffer& buffer, const coil::Properties& props) {
    for (const char* node : {"dataport.buffer", "dataport.outport.buffer"}) {
        if (const coil::Properties* options = props.findNode(node)) {
            buffer.configure(*options);
        }
    }
}

ConnectorSender::Result putTo(OpenRTM::InPortCdr_ptr sink, const rtc::CdrPayload& payload) {
    OpenRTM::CdrData data(static_cast<CORBA::ULong>(payload.size()),
                          static_cast<CORBA::ULong>(payload.size()),
                          const_cast<CORBA::Octet*>(payload.data()), false);
    try {
        return sink->put(data) == OpenRTM::PORT_OK ? ConnectorSender::Result::Ok
                                                   : ConnectorSender::Result::Refused;
    } catch (const CORBA::Exception&) {
        return ConnectorSender::Result::Lost;
    }
}
}  // namespace

OutPortBase::OutPortBase(const char* name, const std::string& dataType) : PortBase(name) {
    addProperty("port.port_type", "DataOutPort");
    addProperty("dataport.data_type", dataType);
    addProperty("dataport.subscription_type", "flush,new,periodic");
    addProperty("dataport.dataflow_type", "push,pull");
    addProperty("dataport.interface_type", "corba_cdr");
}

OutPortBase::~OutPortBase() {
    std::lock_guard<std::mutex> lock(mutex_);
    connectors_.clear();
}

std::size_t OutPortBase::connectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connectors_.size();
}

void OutPortBase::completeRequest(ConnectorProfile& profile) {
    if (!rtc::findString(profile.properties, "dataport.serializer.cdr.endian")) {
        rtc::appendString(profile.properties, "dataport.serializer.cdr.endian", "little,big");
    }
}

ReturnCode_t OutPortBase::publishInterfaces(ConnectorProfile& profile) {
    coil::Properties props = rtc::toProperties(profile.properties);
    std::string flow = rtc::toLower(rtc::trim(props.getProperty("dataport.dataflow_type", "push")));
    if ((flow != "push" && flow != "pull") ||
        rtc::toLower(rtc::trim(props.getProperty("dataport.interface_type"))) != "corba_cdr") {
        return BAD_PARAMETER;
    }
    if (flow == "push") {
        ConnectorSender::Options options;
        std::string error = ConnectorSender::parse(props, options);
        if (!error.empty()) {
            std::cerr << getName() << ": connection refused: " << error << std::endl;
            return BAD_PARAMETER;
        }
        return RTC_OK;
    }
    // Pull: the peer reads from a buffer of this connection through an object of ours.
    auto connector = std::make_shared<Connector>(static_cast<const char*>(profile.connector_id));
    connector->pullBuffer = std::make_shared<rtc::ReceiveBuffer>();
    configureOutBuffer(*connector->pullBuffer, props);
    auto* source = new PullSource(connector->pullBuffer);
    PortableServer::POA_var poa = Manager::instance().getPOA();
    connector->pullOid = poa->activate_object(source);
    source->_remove_ref();  // the POA owns it now
    CORBA::Object_var obj = poa->id_to_reference(connector->pullOid.in());
    CORBA::ORB_var orb = Manager::instance().getORB();
    CORBA::String_var ior = orb->object_to_string(obj.in());
    rtc::appendString(profile.properties, "dataport.corba_cdr.outport_ior", ior.in());
    rtc::appendObject(profile.properties, "dataport.corba_cdr.outport_ref", obj.in());
    storeConnector(connector);
    return RTC_OK;
}

ReturnCode_t OutPortBase::subscribeInterfaces(const ConnectorProfile& profile) {
    coil::Properties props = rtc::toProperties(profile.properties);
    if (isPull(props)) {
        return RTC_OK;  // set up in publishInterfaces
    }
    CORBA::Object_var obj;
    auto ior = rtc::findString(profile.properties, "dataport.corba_cdr.inport_ior");
    try {
        if (ior && !ior->empty()) {
            CORBA::ORB_var orb = Manager::instance().getORB();
            obj = orb->string_to_object(ior->c_str());
        } else {
            obj = rtc::findObject(profile.properties, "dataport.corba_cdr.inport_ref");
        }
    } catch (const CORBA::Exception&) {
        return BAD_PARAMETER;
    }
    // Narrowing an IOR that already names the type needs no call to the peer.
    OpenRTM::InPortCdr_var sink;
    try {
        sink = OpenRTM::InPortCdr::_narrow(obj.in());
    } catch (const CORBA::Exception&) {
        return RTC_ERROR;
    }
    if (CORBA::is_nil(sink.in())) {
        return BAD_PARAMETER;
    }
    ConnectorSender::Options options;
    if (!ConnectorSender::parse(props, options).empty()) {
        return BAD_PARAMETER;
    }
    auto connector = std::make_shared<Connector>(static_cast<const char*>(profile.connector_id));
    std::weak_ptr<Connector> weak = connector;
    OpenRTM::InPortCdr_ptr target = sink.in();
    connector->sinkRef = sink._retn();  // outlives the sender that uses target
    connector->sender = std::make_unique<ConnectorSender>(
        options, [target](const rtc::CdrPayload& payload) { return putTo(target, payload); },
        [this, weak] {
            if (auto self = weak.lock()) {
                connectionLost(self);
            }
        });
    storeConnector(connector);
    return RTC_OK;
}

void OutPortBase::storeConnector(const std::shared_ptr<Connector>& connector) {
    std::shared_ptr<Connector> replaced;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& existing : connectors_) {
        if (existing->id() == connector->id()) {
            replaced = existing;  // released after the lock, below
            existing = connector;
            return;
        }
    }
    connectors_.push_back(connector);
}

void OutPortBase::unsubscribeInterfaces(const ConnectorProfile& profile) {
    std::string id = static_cast<const char*>(profile.connector_id);
    std::shared_ptr<Connector> removed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = connectors_.begin(); it != connectors_.end(); ++it) {
            if ((*it)->id() == id) {
                removed = *it;
                connectors_.erase(it);
                break;
            }
        }
    }
    // Joining a publisher thread happens here, outside the lock.
    removed.reset();
}

void OutPortBase::connectionLost(const std::shared_ptr<Connector>& connector) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = connectors_.begin(); it != connectors_.end(); ++it) {
            if (*it == connector) {
                connectors_.erase(it);
                break;
            }
        }
    }
    // The peer is told (if it still answers) from the manager's worker thread; the
    // connector itself is released there too, never in its own publisher thread.
    std::shared_ptr<Connector> keep = connector;
    Manager::instance().post([this, keep]() mutable {
        disconnect(keep->id().c_str());
        keep.reset();
    });
}

void OutPortBase::setWriteBudget(std::chrono::nanoseconds budget) {
    writeBudget_.store(budget.count());
}

bool OutPortBase::writePayload(const rtc::CdrPayload& payload) {
    std::vector<std::shared_ptr<Connector>> targets;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        targets = connectors_;
    }
    // Every connection gets the sample first; then the writer waits for the flush ones,
    // all against one deadline.
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::nanoseconds(writeBudget_.load());
    bool ok = true;
    std::vector<std::pair<ConnectorSender*, std::uint64_t>> waits;
    for (const auto& connector : targets) {
        if (connector->pullBuffer) {
            ok = connector->pullBuffer->put(payload) == rtc::ReceiveBuffer::PutResult::Ok && ok;
            continue;
        }
        ConnectorSender::Result result = ConnectorSender::Result::Ok;
        std::uint64_t ticket = connector->sender->enqueue(payload, result);
        ok = ok && result == ConnectorSender::Result::Ok;
        if (ticket != 0) {
            waits.emplace_back(connector->sender.get(), ticket);
        }
    }
    for (const auto& [sender, ticket] : waits) {
        ok = sender->waitDelivered(ticket, deadline) == ConnectorSender::Result::Ok && ok;
    }
    return ok;
}

void OutPortBase::detach() {
    PortBase::detach();
    std::vector<std::shared_ptr<Connector>> rest;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rest.swap(connectors_);
    }
}

}  // namespace RTC
