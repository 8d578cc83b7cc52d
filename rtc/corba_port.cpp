#include "rtc/corba_port.hpp"

#include "rtc/manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/string_util.hpp"

namespace RTC {

CorbaPort::CorbaPort(const char* name) : PortBase(name) {
    addProperty("port.port_type", "CorbaPort");
}

CorbaPort::~CorbaPort() = default;

bool CorbaPort::registerProvider(const char* instance_name, const char* type_name,
                                 PortableServer::ServantBase& provider) {
    PortableServer::POA_var poa = Manager::instance().getPOA();
    CORBA::ORB_var orb = Manager::instance().getORB();
    Provider entry;
    entry.instanceName = instance_name;
    entry.typeName = type_name;
    try {
        entry.oid = poa->activate_object(&provider);
        CORBA::Object_var obj = poa->id_to_reference(entry.oid.in());
        CORBA::String_var ior = orb->object_to_string(obj.in());
        entry.ior = ior.in();
    } catch (const CORBA::Exception&) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& p : providers_) {
            if (p.instanceName == entry.instanceName) {
                return false;
            }
        }
        providers_.push_back(std::move(entry));
    }
    refreshInterfaces();
    return true;
}

bool CorbaPort::registerConsumer(const char* instance_name, const char* type_name,
                                 CorbaConsumerBase& consumer) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        consumers_.push_back(Consumer{instance_name, type_name, &consumer});
    }
    refreshInterfaces();
    return true;
}

void CorbaPort::refreshInterfaces() {
    PortInterfaceProfileList list;
    std::lock_guard<std::mutex> lock(mutex_);
    list.length(static_cast<CORBA::ULong>(providers_.size() + consumers_.size()));
    CORBA::ULong i = 0;
    for (const auto& p : providers_) {
        list[i].instance_name = p.instanceName.c_str();
        list[i].type_name = p.typeName.c_str();
        list[i].polarity = PROVIDED;
        ++i;
    }
    for (const auto& c : consumers_) {
        list[i].instance_name = c.instanceName.c_str();
        list[i].type_name = c.typeName.c_str();
        list[i].polarity = REQUIRED;
        ++i;
    }
    setInterfaces(list);
}

ReturnCode_t CorbaPort::publishInterfaces(ConnectorProfile& profile) {
    std::string prefix = getInstanceName() + ".port." + getShortName() + ".provided.";
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : providers_) {
        rtc::appendString(profile.properties, prefix + p.typeName + "." + p.instanceName, p.ior);
        rtc::appendString(profile.properties, "port." + p.typeName + "." + p.instanceName, p.ior);
    }
    return RTC_OK;
}

ReturnCode_t CorbaPort::subscribeInterfaces(const ConnectorProfile& profile) {
    coil::Properties props = rtc::toProperties(profile.properties);
    bool strict = rtc::toLower(props.getProperty("port.connection.strictness")) == "strict";
    std::string prefix = getInstanceName() + ".port." + getShortName() + ".required.";
    std::vector<Consumer> consumers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        consumers = consumers_;
    }
    CORBA::ORB_var orb = Manager::instance().getORB();
    for (const auto& c : consumers) {
        std::string ior;
        // The flat property list keeps dotted keys whole; look them up in the NVList itself.
        if (auto mapped =
                rtc::findString(profile.properties, prefix + c.typeName + "." + c.instanceName)) {
            ior = rtc::findString(profile.properties, *mapped).value_or("");
        }
        if (ior.empty()) {
            ior = rtc::findString(profile.properties, "port." + c.typeName + "." + c.instanceName)
                      .value_or("");
        }
        std::string lowered = rtc::toLower(ior);
        if (lowered == "nil" || lowered == "null") {
            continue;
        }
        if (ior.rfind("IOR:", 0) != 0) {
            if (strict) {
                return RTC_ERROR;
            }
            continue;
        }
        try {
            CORBA::Object_var obj = orb->string_to_object(ior.c_str());
            c.consumer->setObject(obj.in());
        } catch (const CORBA::Exception&) {
            if (strict) {
                return RTC_ERROR;
            }
        }
    }
    return RTC_OK;
}

void CorbaPort::unsubscribeInterfaces(const ConnectorProfile& /*profile*/) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& c : consumers_) {
        c.consumer->releaseObject();
    }
}

void CorbaPort::detach() {
    PortBase::detach();
    std::vector<PortableServer::ObjectId_var> oids;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& p : providers_) {
            oids.emplace_back(p.oid._retn());
        }
        providers_.clear();
    }
    PortableServer::POA_var poa = Manager::instance().getPOA();
    for (auto& oid : oids) {
        try {
            poa->deactivate_object(oid.in());
        } catch (const CORBA::Exception&) {
        }
    }
}

}  // namespace RTC
