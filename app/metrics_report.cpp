#include "app/metrics_report.hpp"

#include <fmt/format.h>

#include <fstream>
#include <ostream>

namespace vostrel {

namespace {

nlohmann::json orNull(const std::optional<double>& v) {
    return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
}

std::string metres(const std::optional<double>& v) {
    return v ? fmt::format("{:.3f} m", *v) : std::string("-");
}

double share(std::int64_t part, std::int64_t whole) {
    return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

}  // namespace

nlohmann::json toJson(const RunMetrics::Summary& s) {
    return {
        {"cycles", s.cycles},
        {"path_length_m", s.pathLength},
        {"followed_person",
         {{"cycles_present", s.followCycles},
          {"median_distance_m", orNull(s.followMedian)},
          {"min_distance_m", orNull(s.followMinimum)},
          {"cycles_within_0.5_3_m", s.followWithinBand},
          {"share_within_0.5_3_m", share(s.followWithinBand, s.cycles)}}},
        {"closest_approach_m", orNull(s.closestApproach)},
        {"personal_space_intrusion_cycles", s.intrusionCycles},
        {"wall_overlap_cycles", s.wallOverlapCycles},
        {"persons",
         {{"inside_at_start", s.personsAtStart},
          {"entered", s.personsEntered},
          {"left", s.personsLeft},
          {"inside_at_end", s.personsAtEnd}}},
    };
}

void printMetrics(std::ostream& out, const RunMetrics::Summary& s) {
    out << "Run metrics (" << s.cycles << " cycles)\n"
        << fmt::format("  path length of the robot      : {:.3f} m\n", s.pathLength)
        << fmt::format(
               "  followed person               : present in {} cycles, median {}, "
               "minimum {}, 0.5-3 m in {:.1f} % of the cycles\n",
               s.followCycles, metres(s.followMedian), metres(s.followMinimum),
               100.0 * share(s.followWithinBand, s.cycles))
        << fmt::format(
               "  closest approach to a person  : {}, {} cycles with a person within "
               "0.5 m\n",
               metres(s.closestApproach), s.intrusionCycles)
        << fmt::format("  cycles overlapping a wall     : {}\n", s.wallOverlapCycles)
        << fmt::format(
               "  persons                       : {} inside at the start, {} entered, "
               "{} left, {} inside at the end\n",
               s.personsAtStart, s.personsEntered, s.personsLeft, s.personsAtEnd);
}

}  // namespace vostrel

namespace vostrel {

bool reportMetrics(const RunMetrics::Summary& summary, const std::string& path, std::ostream& out,
                   std::ostream& err) {
    out << '\n';
    printMetrics(out, summary);
    std::ofstream file(path);
    file << toJson(summary).dump(2) << '\n';
    if (!file) {
        err << "cannot write the metrics to " << path << "\n";
        return false;
    }
    return true;
}

}  // namespace vostrel

namespace vostrel {

namespace {

std::optional<double> optionalOf(const nlohmann::json& j, const char* key) {
    return j.contains(key) && j[key].is_number() ? std::optional(j[key].get<double>())
                                                 : std::nullopt;
}

}  // namespace

RunMetrics::Summary summaryFromJson(const nlohmann::json& j) {
    RunMetrics::Summary s;
    const nlohmann::json none = nlohmann::json::object();
    const nlohmann::json& follow = j.contains("followed_person") ? j["followed_person"] : none;
    const nlohmann::json& persons = j.contains("persons") ? j["persons"] : none;
    s.cycles = j.value("cycles", std::int64_t{0});
    s.pathLength = j.value("path_length_m", 0.0);
    s.followCycles = follow.value("cycles_present", std::int64_t{0});
    s.followMedian = optionalOf(follow, "median_distance_m");
    s.followMinimum = optionalOf(follow, "min_distance_m");
    s.followWithinBand = follow.value("cycles_within_0.5_3_m", std::int64_t{0});
    s.closestApproach = optionalOf(j, "closest_approach_m");
    s.intrusionCycles = j.value("personal_space_intrusion_cycles", std::int64_t{0});
    s.wallOverlapCycles = j.value("wall_overlap_cycles", std::int64_t{0});
    s.personsAtStart = persons.value("inside_at_start", std::int64_t{0});
    s.personsEntered = persons.value("entered", std::int64_t{0});
    s.personsLeft = persons.value("left", std::int64_t{0});
    s.personsAtEnd = persons.value("inside_at_end", std::int64_t{0});
    return s;
}

}  // namespace vostrel
