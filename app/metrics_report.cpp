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
