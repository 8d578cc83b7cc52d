#include "rtc/config_admin.hpp"

#include "rtc/nv_util.hpp"

#include <algorithm>
#include <ostream>

namespace rtc {

ConfigAdmin::ConfigAdmin(const coil::Properties& initialConf, const std::string& activeSet,
                         std::ostream& log)
    : conf_(initialConf), active_(activeSet.empty() ? "default" : activeSet), log_(log) {
    conf_.getNode("default");
    if (conf_.findNode(active_) == nullptr || active_[0] == '_') {
        active_ = "default";
    }
}

bool ConfigAdmin::addParam(Param param) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : params_) {
        if (p.name == param.name) {
            return false;
        }
    }
    coil::Properties& def = conf_.getNode("default");
    if (def.findNode(param.name) == nullptr) {
        def.setProperty(param.name, param.defaultValue);
    }
    apply(param, conf_.findNode(active_));
    params_.push_back(std::move(param));
    return true;
}

void ConfigAdmin::apply(const Param& param, const coil::Properties* set) {
    const coil::Properties* node = set != nullptr ? set->findNode(param.name) : nullptr;
    if (node == nullptr) {
        param.assign(param.defaultValue);
        return;
    }
    if (!param.assign(node->getValue())) {
        log_ << "configuration: parameter \"" << param.name << "\": bad value \""
             << node->getValue() << "\", using the default \"" << param.defaultValue << "\""
             << std::endl;
        param.assign(param.defaultValue);
    }
}

void ConfigAdmin::update() {
    std::lock_guard<std::mutex> lock(mutex_);
    const coil::Properties* set = conf_.findNode(active_);
    for (const auto& p : params_) {
        apply(p, set);
    }
    changed_ = false;
}

bool ConfigAdmin::updateIfChanged() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!changed_) {
            return false;
        }
    }
    update();
    return true;
}

std::string ConfigAdmin::activeSetId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

coil::Properties ConfigAdmin::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return conf_;
}

SDOPackage::ConfigurationSet ConfigAdmin::toSet(const coil::Properties& node) const {
    SDOPackage::ConfigurationSet set;
    set.id = node.getName().c_str();
    set.description = node.getProperty("description").c_str();
    for (const auto& key : node.propertyNames()) {
        appendString(set.configuration_data, key, node.getProperty(key));
    }
    return set;
}

SDOPackage::ConfigurationSetList ConfigAdmin::getSets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    SDOPackage::ConfigurationSetList list;
    list.length(static_cast<CORBA::ULong>(conf_.children().size()));
    CORBA::ULong i = 0;
    for (const auto& child : conf_.children()) {
        list[i++] = toSet(*child);
    }
    return list;
}

bool ConfigAdmin::getSet(const std::string& id, SDOPackage::ConfigurationSet& out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id.empty() || id.find('.') != std::string::npos) {
        return false;
    }
    const coil::Properties* node = conf_.findNode(id);
    if (node == nullptr) {
        return false;
    }
    out = toSet(*node);
    return true;
}

bool ConfigAdmin::setSetValues(const SDOPackage::ConfigurationSet& set) {
    std::string id = static_cast<const char*>(set.id);
    if (id.empty() || id.find('.') != std::string::npos) {
        return false;
    }
    coil::Properties values = toProperties(set.configuration_data);
    std::lock_guard<std::mutex> lock(mutex_);
    coil::Properties& node = conf_.getNode(id);
    for (const auto& key : values.propertyNames()) {
        node.setProperty(key, values.getProperty(key));
    }
    return true;
}

bool ConfigAdmin::addSet(const SDOPackage::ConfigurationSet& set) {
    std::string id = static_cast<const char*>(set.id);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (id.empty() || id.find('.') != std::string::npos || conf_.findNode(id) != nullptr) {
            return false;
        }
        conf_.getNode(id);
        addedSets_.push_back(id);
    }
    return setSetValues(set);
}

bool ConfigAdmin::removeSet(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find(addedSets_.begin(), addedSets_.end(), id);
    if (it == addedSets_.end() || id == active_) {
        return false;
    }
    addedSets_.erase(it);
    return conf_.removeNode(id);
}

bool ConfigAdmin::activateSet(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (id.empty() || id[0] == '_' || id.find('.') != std::string::npos ||
        conf_.findNode(id) == nullptr) {
        return false;
    }
    active_ = id;
    changed_ = true;
    return true;
}

}  // namespace rtc
