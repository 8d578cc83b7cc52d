#include "app/ctl_refusal.hpp"

#include "rtc/config_constraint.hpp"
#include "rtc/nv_util.hpp"

#include <optional>
#include <set>

namespace ctl {

namespace {

std::string property(const RTC::PortProfile& p, const char* name) {
    return rtc::findString(p.properties, name).value_or("");
}

// "IDL:RTC/TimedLong:1.0", "RTC::TimedLong" and "TimedLong" name the same type; peers of
// different framework versions publish different forms.
std::string typeName(std::string t, bool last) {
    if (t.rfind("IDL:", 0) == 0) t = t.substr(4, t.rfind(':') - 4);
    for (auto p = t.find("::"); p != std::string::npos; p = t.find("::")) t.replace(p, 2, "/");
    return last ? t.substr(t.rfind('/') + 1) : t;
}

bool sameType(const std::string& a, const std::string& b) {
    const bool qualified = typeName(a, false).find('/') != std::string::npos &&
                           typeName(b, false).find('/') != std::string::npos;
    return typeName(a, !qualified) == typeName(b, !qualified);
}

std::string portLabel(const RTC::PortProfile& p) {
    return std::string(static_cast<const char*>(p.name));
}

}  // namespace

std::string portMismatch(const RTC::PortProfile& a, const RTC::PortProfile& b) {
    const std::string kindA = property(a, "port.port_type");
    const std::string kindB = property(b, "port.port_type");
    if (kindA.empty() || kindB.empty()) return {};  // a peer that does not say
    if (kindA == kindB && kindA != "CorbaPort")
        return portLabel(a) + " and " + portLabel(b) + " are both " + kindA +
               "s; connect an out-port to an in-port";
    if ((kindA == "CorbaPort") != (kindB == "CorbaPort"))
        return portLabel(a) + " is a " + kindA + " and " + portLabel(b) + " a " + kindB +
               "; a service port connects only to a service port";
    const std::string typeA = property(a, "dataport.data_type");
    const std::string typeB = property(b, "dataport.data_type");
    if (!typeA.empty() && !typeB.empty() && !sameType(typeA, typeB))
        return portLabel(a) + " carries " + typeA + " but " + portLabel(b) + " carries " + typeB;
    return {};
}

std::string setNames(SDOPackage::Configuration_ptr conf) {
    SDOPackage::ConfigurationSetList_var sets = conf->get_configuration_sets();
    std::string out;
    for (CORBA::ULong i = 0; i < sets->length(); ++i)
        out += (i > 0 ? ", " : "") + std::string(static_cast<const char*>(sets[i].id));
    return out;
}

std::string parameterRefusal(SDOPackage::Configuration_ptr conf, const std::string& setId,
                             const std::string& key, const std::string& value, bool add,
                             bool force) {
    if (setId.rfind('_', 0) == 0)
        return "set " + setId + " describes the parameters and cannot be activated";
    SDOPackage::ConfigurationSetList_var sets = conf->get_configuration_sets();
    std::set<std::string> known;
    std::optional<std::string> constraint;
    std::optional<std::string> type;
    for (CORBA::ULong i = 0; i < sets->length(); ++i) {
        const std::string id = static_cast<const char*>(sets[i].id);
        const auto found = rtc::findString(sets[i].configuration_data, key);
        if (id == rtc::kConstraintSet) {
            constraint = found;
            continue;
        }
        if (id == rtc::kTypeSet) {
            type = found;
            continue;
        }
        if (id != "default" && id != setId) continue;
        for (CORBA::ULong j = 0; j < sets[i].configuration_data.length(); ++j)
            known.insert(static_cast<const char*>(sets[i].configuration_data[j].name));
    }
    if (!add && known.count(key) == 0) {
        std::string names;
        for (const auto& k : known) names += (names.empty() ? "" : ", ") + k;
        return "no parameter \"" + key + "\" (--add creates it); the parameters are: " + names;
    }
    std::string why;
    if (!force && type && !rtc::convertsTo(*type, value, why))
        return "value for " + key + " refused: " + why + " (--force sets it anyway)";
    if (!force && constraint && !rtc::satisfiesConstraint(*constraint, value, why))
        return "value for " + key + " refused: " + why + " (--force sets it anyway)";
    return {};
}

std::string transitionRefusal(const std::string& operation, const std::string& state) {
    const char* needs = operation == "activate"     ? "INACTIVE"
                        : operation == "deactivate" ? "ACTIVE"
                                                    : "ERROR";
    std::string text = "it is " + state + ", and " + operation + " needs it " + needs;
    if (operation == "activate" && state == "ERROR") text += " (reset it first)";
    return text;
}

}  // namespace ctl
