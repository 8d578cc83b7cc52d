#include "rtc/port_base.hpp"

#include "rtc/manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/string_util.hpp"

#include <vector>

namespace RTC {

PortBase::PortBase(const char* name) : shortName_(name) {
    profile_.name = name;
    profile_.port_ref = RTC::PortService::_nil();
    profile_.owner = RTC::RTObject::_nil();
}

PortBase::~PortBase() = default;

std::string PortBase::getName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<const char*>(profile_.name);
}

std::string PortBase::getShortName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shortName_;
}

std::string PortBase::getInstanceName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return instanceName_;
}

RTC::PortService_ptr PortBase::getPortRef() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return RTC::PortService::_duplicate(ref_.in());
}

PortProfile PortBase::getPortProfile() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return profile_;
}

coil::Properties PortBase::getProperties() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rtc::toProperties(profile_.properties);
}

void PortBase::addProperty(const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (CORBA::ULong i = 0; i < profile_.properties.length(); ++i) {
        if (key == static_cast<const char*>(profile_.properties[i].name)) {
            profile_.properties[i].value <<= value.c_str();
            return;
        }
    }
    rtc::appendString(profile_.properties, key, value);
}

void PortBase::setInterfaces(const PortInterfaceProfileList& interfaces) {
    std::lock_guard<std::mutex> lock(mutex_);
    profile_.interfaces = interfaces;
}

void PortBase::attach(RTC::RTObject_ptr owner, const std::string& instanceName) {
    PortableServer::POA_var poa = Manager::instance().getPOA();
    PortableServer::ObjectId_var oid = poa->activate_object(this);
    CORBA::Object_var obj = poa->id_to_reference(oid.in());
    std::lock_guard<std::mutex> lock(mutex_);
    oid_ = oid._retn();
    attached_ = true;
    ref_ = RTC::PortService::_narrow(obj.in());
    instanceName_ = instanceName;
    profile_.name = (instanceName + "." + shortName_).c_str();
    profile_.port_ref = RTC::PortService::_duplicate(ref_.in());
    profile_.owner = RTC::RTObject::_duplicate(owner);
}

void PortBase::detach() {
    disconnect_all();
    PortableServer::ObjectId_var oid;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!attached_) {
            return;
        }
        attached_ = false;
        oid = oid_._retn();
    }
    try {
        PortableServer::POA_var poa = Manager::instance().getPOA();
        poa->deactivate_object(oid.in());
    } catch (const CORBA::Exception&) {
        // Already gone with the POA at shutdown.
    }
}

bool PortBase::isSelf(RTC::PortService_ptr port) const {
    RTC::PortService_var self = getPortRef();
    if (CORBA::is_nil(port) || CORBA::is_nil(self.in())) {
        return false;
    }
    try {
        return port->_is_equivalent(self.in());
    } catch (const CORBA::Exception&) {
        return false;
    }
}

bool PortBase::findConnector(const std::string& id, ConnectorProfile& out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (CORBA::ULong i = 0; i < profile_.connector_profiles.length(); ++i) {
        if (id == static_cast<const char*>(profile_.connector_profiles[i].connector_id)) {
            out = profile_.connector_profiles[i];
            return true;
        }
    }
    return false;
}

void PortBase::eraseConnector(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    ConnectorProfileList& list = profile_.connector_profiles;
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (id == static_cast<const char*>(list[i].connector_id)) {
            for (CORBA::ULong j = i + 1; j < list.length(); ++j) {
                list[j - 1] = list[j];
            }
            list.length(list.length() - 1);
            return;
        }
    }
}

void PortBase::removeDeadConnections() {
    ConnectorProfileList stored;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stored = profile_.connector_profiles;
    }
    for (CORBA::ULong i = 0; i < stored.length(); ++i) {
        bool dead = false;
        for (CORBA::ULong j = 0; j < stored[i].ports.length() && !dead; ++j) {
            RTC::PortService_ptr port = stored[i].ports[j];
            if (isSelf(port)) {
                continue;
            }
            try {
                dead = CORBA::is_nil(port) || port->_non_existent();
            } catch (const CORBA::TIMEOUT&) {
                // Hung, not gone: a data connection drops it on its own if it stays so,
                // and a service link may come back.
            } catch (const CORBA::Exception&) {
                dead = true;
            }
        }
        if (dead) {
            disconnect(stored[i].connector_id);
        }
    }
}

void PortBase::requestSweep() {
    if (sweepPending_.exchange(true)) {
        return;
    }
    Manager::instance().post([this] {
        removeDeadConnections();
        sweepPending_ = false;
    });
}

// Queries answer from what is stored at once; the peers are checked afterwards, on the
// manager's worker thread, so a hung peer never holds the caller.
PortProfile* PortBase::get_port_profile() {
    requestSweep();
    return new PortProfile(getPortProfile());
}

ConnectorProfileList* PortBase::get_connector_profiles() {
    requestSweep();
    std::lock_guard<std::mutex> lock(mutex_);
    return new ConnectorProfileList(profile_.connector_profiles);
}

ConnectorProfile* PortBase::get_connector_profile(const char* connector_id) {
    auto* out = new ConnectorProfile();
    if (!findConnector(connector_id, *out)) {
        out->ports.length(0);
    }
    return out;
}

ReturnCode_t PortBase::connect(ConnectorProfile& profile) {
    std::string id = static_cast<const char*>(profile.connector_id);
    if (id.empty()) {
        id = rtc::makeUuid();
        profile.connector_id = id.c_str();
    } else {
        ConnectorProfile existing;
        if (findConnector(id, existing)) {
            return PRECONDITION_NOT_MET;
        }
    }
    if (profile.ports.length() == 0) {
        return BAD_PARAMETER;
    }
    completeRequest(profile);

    ReturnCode_t rc = RTC_OK;
    try {
        if (isSelf(profile.ports[0])) {
            rc = notify_connect(profile);
        } else {
            rc = profile.ports[0]->notify_connect(profile);
        }
    } catch (const CORBA::Exception&) {
        rc = BAD_PARAMETER;
    }
    if (rc != RTC_OK) {
        // Peers that stored the failed connection get the chance to forget it.
        for (CORBA::ULong i = 0; i < profile.ports.length(); ++i) {
            if (isSelf(profile.ports[i])) {
                continue;
            }
            try {
                profile.ports[i]->notify_disconnect(id.c_str());
            } catch (const CORBA::Exception&) {
            }
        }
    }
    return rc;
}

ReturnCode_t PortBase::notify_connect(ConnectorProfile& profile) {
    std::string id = static_cast<const char*>(profile.connector_id);
    coil::Properties props = rtc::toProperties(profile.properties);
    if (!rtc::isYes(props.getProperty("dataport.allow_dup_connection"))) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (CORBA::ULong i = 0; i < profile_.connector_profiles.length(); ++i) {
            const ConnectorProfile& stored = profile_.connector_profiles[i];
            if (id == static_cast<const char*>(stored.connector_id)) {
                continue;
            }
            bool same = stored.ports.length() == profile.ports.length();
            for (CORBA::ULong j = 0; same && j < profile.ports.length(); ++j) {
                same = profile.ports[j]->_is_equivalent(stored.ports[j]);
            }
            if (same && profile.ports.length() > 1) {
                return PRECONDITION_NOT_MET;
            }
        }
    }

    ReturnCode_t rc = publishInterfaces(profile);
    if (rc != RTC_OK) {
        unsubscribeInterfaces(profile);
        return rc;
    }

    CORBA::ULong self = profile.ports.length();
    for (CORBA::ULong i = 0; i < profile.ports.length(); ++i) {
        if (isSelf(profile.ports[i])) {
            self = i;
            break;
        }
    }
    if (self + 1 < profile.ports.length()) {
        try {
            rc = profile.ports[self + 1]->notify_connect(profile);
        } catch (const CORBA::Exception&) {
            rc = RTC_ERROR;
        }
    }
    if (rc == RTC_OK) {
        rc = subscribeInterfaces(profile);
    }
    if (rc != RTC_OK) {
        unsubscribeInterfaces(profile);
        return rc;
    }

    std::lock_guard<std::mutex> lock(mutex_);
    ConnectorProfileList& list = profile_.connector_profiles;
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (id == static_cast<const char*>(list[i].connector_id)) {
            list[i] = profile;
            return RTC_OK;
        }
    }
    list.length(list.length() + 1);
    list[list.length() - 1] = profile;
    return RTC_OK;
}

ReturnCode_t PortBase::disconnect(const char* connector_id) {
    ConnectorProfile profile;
    if (!findConnector(connector_id, profile)) {
        return BAD_PARAMETER;
    }
    for (CORBA::ULong i = 0; i < profile.ports.length(); ++i) {
        if (isSelf(profile.ports[i])) {
            return notify_disconnect(connector_id);
        }
        try {
            return profile.ports[i]->notify_disconnect(connector_id);
        } catch (const CORBA::Exception&) {
            // That peer is gone; the next one in the list may still answer.
        }
    }
    unsubscribeInterfaces(profile);
    eraseConnector(connector_id);
    return RTC_ERROR;
}

ReturnCode_t PortBase::disconnect_all() {
    std::vector<std::string> ids;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (CORBA::ULong i = 0; i < profile_.connector_profiles.length(); ++i) {
            ids.emplace_back(static_cast<const char*>(profile_.connector_profiles[i].connector_id));
        }
    }
    ReturnCode_t rc = RTC_OK;
    for (const auto& id : ids) {
        ReturnCode_t r = disconnect(id.c_str());
        if (r != RTC_OK) {
            rc = r;
        }
    }
    return rc;
}

ReturnCode_t PortBase::notify_disconnect(const char* connector_id) {
    ConnectorProfile profile;
    if (!findConnector(connector_id, profile)) {
        return BAD_PARAMETER;
    }
    ReturnCode_t rc = RTC_OK;
    CORBA::ULong self = profile.ports.length();
    for (CORBA::ULong i = 0; i < profile.ports.length(); ++i) {
        if (isSelf(profile.ports[i])) {
            self = i;
            break;
        }
    }
    for (CORBA::ULong i = self + 1; i < profile.ports.length(); ++i) {
        try {
            rc = profile.ports[i]->notify_disconnect(connector_id);
            break;
        } catch (const CORBA::Exception&) {
        }
    }
    unsubscribeInterfaces(profile);
    eraseConnector(connector_id);
    return rc;
}

}  // namespace RTC
