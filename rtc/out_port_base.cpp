#include "rtc/out_port_base.hpp"

#include "rtc/manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/string_util.hpp"

#include <condition_variable>
#include <iostream>
#include <optional>
#include <thread>

namespace RTC {

namespace {
enum class PushResult { Ok, Refused, Lost };

std::string subscriptionOf(const coil::Properties& props) {
    std::string type = rtc::toLower(rtc::trim(props.getProperty("dataport.subscription_type")));
    return type.empty() ? "flush" : type;
}
}  // namespace

class OutPortBase::Connector {
  public:
    Connector(std::string id, OpenRTM::InPortCdr_ptr sink, bool threaded)
        : id_(std::move(id)), sink_(OpenRTM::InPortCdr::_duplicate(sink)) {
        if (threaded) {
            thread_ = std::thread([this] { run(); });
        }
    }
    ~Connector() { stop(); }
    Connector(const Connector&) = delete;
    Connector& operator=(const Connector&) = delete;

    const std::string& id() const { return id_; }
    void setOwner(OutPortBase* port, std::weak_ptr<Connector> self) {
        port_ = port;
        self_ = std::move(self);
    }

    PushResult push(const rtc::CdrPayload& payload) {
        if (!thread_.joinable()) {
            return send(payload);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (lost_) {
            return PushResult::Lost;
        }
        pending_ = payload;
        cv_.notify_one();
        return PushResult::Ok;
    }

    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_one();
        if (!thread_.joinable()) {
            return;
        }
        if (thread_.get_id() == std::this_thread::get_id()) {
            // The last reference went away in our own publisher thread, which is returning.
            thread_.detach();
        } else {
            thread_.join();
        }
    }

  private:
    PushResult send(const rtc::CdrPayload& payload) {
        OpenRTM::CdrData data(static_cast<CORBA::ULong>(payload.size()),
                              static_cast<CORBA::ULong>(payload.size()),
                              const_cast<CORBA::Octet*>(payload.data()), false);
        try {
            return sink_->put(data) == OpenRTM::PORT_OK ? PushResult::Ok : PushResult::Refused;
        } catch (const CORBA::Exception&) {
            return PushResult::Lost;
        }
    }

    void run() {
        for (;;) {
            rtc::CdrPayload payload;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                cv_.wait(lock, [this] { return stopping_ || pending_.has_value(); });
                if (stopping_) {
                    return;
                }
                payload = std::move(*pending_);
                pending_.reset();
            }
            if (send(payload) == PushResult::Lost) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    lost_ = true;
                }
                if (auto self = self_.lock()) {
                    port_->connectionLost(self);
                }
                return;
            }
        }
    }

    std::string id_;
    OpenRTM::InPortCdr_var sink_;
    OutPortBase* port_ = nullptr;
    std::weak_ptr<Connector> self_;
    std::mutex mutex_;  // guards pending_, stopping_, lost_
    std::condition_variable cv_;
    std::optional<rtc::CdrPayload> pending_;
    bool stopping_ = false;
    bool lost_ = false;
    std::thread thread_;
};

OutPortBase::OutPortBase(const char* name, const std::string& dataType) : PortBase(name) {
    addProperty("port.port_type", "DataOutPort");
    addProperty("dataport.data_type", dataType);
    addProperty("dataport.subscription_type", "flush,new");
    addProperty("dataport.dataflow_type", "push");
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
    if (rtc::toLower(rtc::trim(props.getProperty("dataport.dataflow_type", "push"))) != "push" ||
        rtc::toLower(rtc::trim(props.getProperty("dataport.interface_type"))) != "corba_cdr") {
        return BAD_PARAMETER;
    }
    std::string type = subscriptionOf(props);
    if (type != "flush" && type != "new") {
        return BAD_PARAMETER;
    }
    return RTC_OK;
}

ReturnCode_t OutPortBase::subscribeInterfaces(const ConnectorProfile& profile) {
    coil::Properties props = rtc::toProperties(profile.properties);
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
    auto connector = std::make_shared<Connector>(static_cast<const char*>(profile.connector_id),
                                                 sink.in(), subscriptionOf(props) == "new");
    connector->setOwner(this, connector);
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& existing : connectors_) {
        if (existing->id() == connector->id()) {
            existing = connector;
            return RTC_OK;
        }
    }
    connectors_.push_back(connector);
    return RTC_OK;
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

bool OutPortBase::writePayload(const rtc::CdrPayload& payload) {
    std::vector<std::shared_ptr<Connector>> targets;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        targets = connectors_;
    }
    bool ok = true;
    for (const auto& connector : targets) {
        PushResult result = connector->push(payload);
        if (result == PushResult::Lost) {
            connectionLost(connector);
        }
        ok = ok && result == PushResult::Ok;
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
