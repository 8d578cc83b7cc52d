#pragma once
// Configuration sets ("conf.<set>.<param>") and the variables bound to them. Tools change
// sets from ORB threads; values reach the variables only when update() or
// updateIfChanged() runs, which the component does on its execution-context thread at
// fixed points, so a cycle never sees a value change under it.

#include "rtc/idl/SDOPackage.hh"
#include "rtc/properties.hpp"

#include <functional>
#include <iosfwd>
#include <mutex>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace rtc {

// Text to value; false if the whole text is not a value of T.
template <typename T>
bool stringTo(T& out, const std::string& text) {
    if constexpr (std::is_same_v<T, std::string>) {
        out = text;
        return true;
    } else if constexpr (std::is_same_v<T, bool>) {
        std::string t;
        for (char c : text) {
            t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (t == "1" || t == "true" || t == "yes" || t == "on") {
            out = true;
            return true;
        }
        if (t == "0" || t == "false" || t == "no" || t == "off") {
            out = false;
            return true;
        }
        return false;
    } else {
        std::istringstream in(text);
        T value{};
        in >> value;
        if (in.fail()) {
            return false;
        }
        in >> std::ws;
        if (!in.eof()) {
            return false;
        }
        out = value;
        return true;
    }
}

class ConfigAdmin {
  public:
    // log receives one line for every value that could not be converted.
    ConfigAdmin(const coil::Properties& initialConf, const std::string& activeSet,
                std::ostream& log);

    template <typename T>
    bool bindParameter(const std::string& name, T& var, const std::string& defaultValue,
                       bool (*trans)(T&, const char*) = nullptr) {
        Param param;
        param.name = name;
        param.defaultValue = defaultValue;
        param.assign = [&var, trans](const std::string& text) {
            return trans != nullptr ? trans(var, text.c_str()) : stringTo(var, text);
        };
        return addParam(std::move(param));
    }

    // Copies the active set into the variables.
    void update();
    // Copies only if a set was activated since the last copy.
    bool updateIfChanged();

    std::string activeSetId() const;
    coil::Properties snapshot() const;  // the whole "conf" tree

    // SDO Configuration semantics. Each returns false where the operation is refused.
    SDOPackage::ConfigurationSetList getSets() const;
    bool getSet(const std::string& id, SDOPackage::ConfigurationSet& out) const;
    bool setSetValues(const SDOPackage::ConfigurationSet& set);
    bool addSet(const SDOPackage::ConfigurationSet& set);
    bool removeSet(const std::string& id);
    bool activateSet(const std::string& id);

  private:
    struct Param {
        std::string name;
        std::string defaultValue;
        std::function<bool(const std::string&)> assign;
    };
    bool addParam(Param param);
    void apply(const Param& param, const coil::Properties* set);
    SDOPackage::ConfigurationSet toSet(const coil::Properties& node) const;

    mutable std::mutex mutex_;  // guards everything below
    coil::Properties conf_;
    std::string active_;
    std::vector<std::string> addedSets_;
    bool changed_ = false;
    std::vector<Param> params_;
    std::ostream& log_;
};

}  // namespace rtc
