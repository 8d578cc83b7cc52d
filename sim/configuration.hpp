#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vostrel {

// The component's 31 parameters, named by their configuration keys. The defaults here are the
// values of the default texts in the parameter table below.
struct Configuration {
    std::string FieldDataFile = "Field.txt";
    double robot_tread = 0.3325;
    double robot_acceleration = 0.400;
    double robot_deceleration = 0.400;
    double robot_init_x = 3.5;
    double robot_init_y = 1.0;
    double robot_init_heading = 200.0;
    double robot_move_error_x = 0.0;
    double robot_move_error_y = 0.0;
    double robot_move_error_heading = 0.0;
    double walkingrate_mean = 1.33;
    double walkingrate_std_deviation = 0.1;
    int localmap_width = 200;
    int localmap_height = 200;
    double localmap_scale = 0.05;
    double globalmap_scale = 0.1;
    double show_map_scale = 0.05;
    int following_target_id = 2;
    double range_start_position = -30.0;
    double range_end_position = 210.0;
    double range_max_distance = 30.0;
    std::int32_t range_far_code = -1;  // a "long", 32 bits wide like the int
    int range_data_num = 480;
    double range_sensor_x = 0.0;
    double range_sensor_y = 0.0;
    double range_sensor_heading = 0.0;
    double range_std_deviation = 0.0;
    double range_person_radius = 0.2;
    int display_range_data = 0;
    int simulate_people = 1;
    int simulate_skip = 1;
};

enum class ParameterType { String, Double, Int, Long };

// When the component reads a parameter: a change takes effect at the next activation, at the
// next cycle, or both.
enum ReadAt : unsigned { kAtActivation = 1u, kEveryCycle = 2u };

struct Parameter {
    using Field = std::variant<std::string Configuration::*, double Configuration::*,
                               std::int32_t Configuration::*>;
    const char* key;
    ParameterType type;
    const char* defaultText;
    const char* unit;
    unsigned readAt;
    Field field;
};

inline constexpr std::size_t kParameterCount = 31;

// The parameters in binding order.
const std::array<Parameter, kParameterCount>& parameters();
const Parameter* findParameter(std::string_view key);

// Converts text to the parameter's type the way the framework's binding does (the whole text,
// surrounding blanks allowed) and stores it. On failure returns false, leaves the value alone and
// says why in `error`, naming the key.
bool setParameter(Configuration& config, std::string_view key, std::string_view text,
                  std::string& error);
std::string parameterText(const Configuration& config, const Parameter& p);

// The component profile as the flat key/value list the framework reads, closed by an empty key:
// identity first, then every conf.default.<key>, then every conf.__widget__.<key>.
const std::vector<std::string>& componentProfile();

inline constexpr const char* kComponentName = "Vostrel";

}  // namespace vostrel
