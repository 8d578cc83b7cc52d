#include "sim/configuration.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "sim/parameter_constraints.hpp"

namespace vostrel {

namespace {

using C = Configuration;
constexpr unsigned kBoth = kAtActivation | kEveryCycle;

const std::array<Parameter, kParameterCount> kParameters{{
    {"FieldDataFile", ParameterType::String, "Field.txt", "path", kAtActivation, &C::FieldDataFile},
    {"robot_tread", ParameterType::Double, "0.3325", "m", kAtActivation, &C::robot_tread},
    {"robot_acceleration", ParameterType::Double, "0.400", "m/s^2", kAtActivation,
     &C::robot_acceleration},
    {"robot_deceleration", ParameterType::Double, "0.400", "m/s^2", kAtActivation,
     &C::robot_deceleration},
    {"robot_init_x", ParameterType::Double, "3.5", "m", kBoth, &C::robot_init_x},
    {"robot_init_y", ParameterType::Double, "1.0", "m", kBoth, &C::robot_init_y},
    {"robot_init_heading", ParameterType::Double, "200.0", "deg", kBoth, &C::robot_init_heading},
    {"robot_move_error_x", ParameterType::Double, "0.0", "m/m", kEveryCycle,
     &C::robot_move_error_x},
    {"robot_move_error_y", ParameterType::Double, "0.0", "m/m", kEveryCycle,
     &C::robot_move_error_y},
    {"robot_move_error_heading", ParameterType::Double, "0.0", "deg/m", kEveryCycle,
     &C::robot_move_error_heading},
    {"walkingrate_mean", ParameterType::Double, "1.33", "m/s", kAtActivation, &C::walkingrate_mean},
    {"walkingrate_std_deviation", ParameterType::Double, "0.1", "m/s", kAtActivation,
     &C::walkingrate_std_deviation},
    {"localmap_width", ParameterType::Int, "200", "cells", kBoth, &C::localmap_width},
    {"localmap_height", ParameterType::Int, "200", "cells", kBoth, &C::localmap_height},
    {"localmap_scale", ParameterType::Double, "0.05", "m/cell", kBoth, &C::localmap_scale},
    {"globalmap_scale", ParameterType::Double, "0.1", "m/cell", kAtActivation, &C::globalmap_scale},
    {"show_map_scale", ParameterType::Double, "0.05", "m/pixel", kAtActivation, &C::show_map_scale},
    {"following_target_id", ParameterType::Int, "2", "person id", kBoth, &C::following_target_id},
    {"range_start_position", ParameterType::Double, "-30.0", "deg", kAtActivation,
     &C::range_start_position},
    {"range_end_position", ParameterType::Double, "210.0", "deg", kAtActivation,
     &C::range_end_position},
    {"range_max_distance", ParameterType::Double, "30.0", "m", kAtActivation,
     &C::range_max_distance},
    {"range_far_code", ParameterType::Long, "-1", "code", kAtActivation, &C::range_far_code},
    {"range_data_num", ParameterType::Int, "480", "beams", kAtActivation, &C::range_data_num},
    {"range_sensor_x", ParameterType::Double, "0.0", "m", kAtActivation, &C::range_sensor_x},
    {"range_sensor_y", ParameterType::Double, "0.0", "m", kAtActivation, &C::range_sensor_y},
    {"range_sensor_heading", ParameterType::Double, "0.0", "deg", kAtActivation,
     &C::range_sensor_heading},
    {"range_std_deviation", ParameterType::Double, "0.0", "m", kAtActivation,
     &C::range_std_deviation},
    {"range_person_radius", ParameterType::Double, "0.2", "m", kEveryCycle,
     &C::range_person_radius},
    {"display_range_data", ParameterType::Int, "0", "flag", kEveryCycle, &C::display_range_data},
    {"simulate_people", ParameterType::Int, "1", "flag", kBoth, &C::simulate_people},
    {"simulate_skip", ParameterType::Int, "1", "mode", kAtActivation, &C::simulate_skip},
}};

std::string_view trim(std::string_view t) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!t.empty() && blank(t.front())) t.remove_prefix(1);
    while (!t.empty() && blank(t.back())) t.remove_suffix(1);
    return t;
}

const char* typeName(ParameterType t) {
    switch (t) {
        case ParameterType::String:
            return "string";
        case ParameterType::Double:
            return "double";
        case ParameterType::Int:
            return "int";
        case ParameterType::Long:
            return "long";
    }
    return "";
}

}  // namespace

const std::array<Parameter, kParameterCount>& parameters() {
    return kParameters;
}

const Parameter* findParameter(std::string_view key) {
    for (const Parameter& p : kParameters)
        if (key == p.key) return &p;
    return nullptr;
}

bool setParameter(Configuration& config, std::string_view key, std::string_view text,
                  std::string& error) {
    const Parameter* p = findParameter(key);
    if (p == nullptr) {
        error = "unknown parameter \"" + std::string(key) + "\"";
        return false;
    }
    const std::string t(trim(text));
    const auto bad = [&] {
        error = "parameter \"" + std::string(key) + "\" needs a " + typeName(p->type) +
                " value, not \"" + std::string(text) + "\"";
        return false;
    };
    if (p->type == ParameterType::String) {
        config.*std::get<std::string C::*>(p->field) = std::string(text);
        return true;
    }
    if (t.empty()) return bad();
    char* end = nullptr;
    errno = 0;
    if (p->type == ParameterType::Double) {
        const double v = std::strtod(t.c_str(), &end);
        if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return bad();
        config.*std::get<double C::*>(p->field) = v;
        return true;
    }
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return bad();
    config.*std::get<std::int32_t C::*>(p->field) = static_cast<std::int32_t>(v);
    return true;
}

std::string parameterText(const Configuration& config, const Parameter& p) {
    return std::visit(
        [&](auto member) -> std::string {
            const auto& v = config.*member;
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
                return v;
            else
                return std::to_string(v);
        },
        p.field);
}

const std::vector<std::string>& componentProfile() {
    static const std::vector<std::string> profile = [] {
        std::vector<std::string> list = {
            "implementation_id",
            kComponentName,
            "type_name",
            kComponentName,
            "description",
            "Simulate robot and people movement and provide connecting RTC sensor information",
            "version",
            "1.0.0",
            "vendor",
            "vostrel.dev",
            "category",
            "Simulato",
            "activity_type",
            "PERIODIC",
            "kind",
            "DataFlowComponent",
            "max_instance",
            "0",
            "language",
            "C++",
            "lang_type",
            "compile",
        };
        for (const Parameter& p : kParameters) {
            list.push_back(std::string("conf.default.") + p.key);
            list.push_back(p.defaultText);
        }
        for (const Parameter& p : kParameters) {
            list.push_back(std::string("conf.__widget__.") + p.key);
            list.push_back("text");
        }
        // Tools check values against these before they set them.
        for (const ParameterConstraint& c : parameterConstraints()) {
            list.push_back(std::string("conf.__constraints__.") + c.key);
            list.push_back(c.constraint);
        }
        for (const Parameter& p : kParameters) {
            list.push_back(std::string("conf.__type__.") + p.key);
            list.push_back(typeName(p.type));
        }
        list.push_back("");
        return list;
    }();
    return profile;
}

}  // namespace vostrel
