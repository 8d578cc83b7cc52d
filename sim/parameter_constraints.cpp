#include "sim/parameter_constraints.hpp"

#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>

#include "rtc/config_constraint.hpp"

namespace vostrel {

namespace {

std::string shortText(const Configuration& config, const Parameter& p, int precision) {
    return std::visit(
        [&](auto member) -> std::string {
            std::ostringstream s;
            s << std::setprecision(precision) << config.*member;
            return s.str();
        },
        p.field);
}

}  // namespace

const std::vector<ParameterConstraint>& parameterConstraints() {
    static const std::vector<ParameterConstraint> table{
        {"robot_tread", "x>0", nullptr},
        {"robot_acceleration", "x>0", nullptr},
        {"robot_deceleration", "x>0", nullptr},
        {"robot_move_error_x", "x>=0", nullptr},
        {"robot_move_error_y", "x>=0", nullptr},
        {"robot_move_error_heading", "x>=0", nullptr},
        {"walkingrate_mean", "x>=0", "persons draw their walking speeds around a negative mean"},
        {"walkingrate_std_deviation", "x>=0", nullptr},
        {"localmap_width", "x>=1", nullptr},
        {"localmap_height", "x>=1", nullptr},
        {"localmap_scale", "x>0", nullptr},
        {"globalmap_scale", "x>0", nullptr},
        {"show_map_scale", "x>0", nullptr},
        {"range_max_distance", "x>=0", "no beam can measure anything"},
        {"range_data_num", "x>=1", "every scan is empty"},
        {"range_std_deviation", "x>=0", nullptr},
        {"range_person_radius", "x>=0", nullptr},
        {"display_range_data", "(0,1)", nullptr},
        {"simulate_people", "(0,1)", nullptr},
        {"simulate_skip", "(0,1,2)", "the warm-up waits for the first person, as with 1"},
    };
    return table;
}

void warnAboutSettings(const Configuration& config, const Environment& environment,
                       std::ostream& err) {
    for (const ParameterConstraint& c : parameterConstraints()) {
        const Parameter* p = findParameter(c.key);
        std::string why;
        if (c.asGiven == nullptr || p == nullptr ||
            rtc::satisfiesConstraint(c.constraint, shortText(config, *p, 17), why))
            continue;
        err << "Warning: " << c.key << " " << shortText(config, *p, 6) << " is outside "
            << c.constraint << ": " << c.asGiven << ".\n";
    }
    const Walls& walls = environment.walls;
    const double x = config.robot_init_x;
    const double y = config.robot_init_y;
    if (walls.count() > 0 && !(x >= 0.0 && x <= walls.maxX() && y >= 0.0 && y <= walls.maxY()))
        err << "Warning: robot_init_x " << x << ", robot_init_y " << y
            << ": the robot starts outside the environment (0.." << walls.maxX() << " by 0.."
            << walls.maxY() << ").\n";
}

}  // namespace vostrel
