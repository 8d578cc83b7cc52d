#include "bench/crowd/environment_text.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace vostrel::bench {

namespace {
// Plain decimals: the loader reads no exponents, and "3." is a word to it.
std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return buf;
}

std::string record(std::initializer_list<std::string> values) {
    std::string r = "  ";
    bool first = true;
    for (const std::string& v : values) {
        if (!first) r += ", ";
        r += v;
        first = false;
    }
    return r + ";\n";
}
}  // namespace

void EnvironmentText::note(std::string_view line) {
    notes_ += "# ";
    notes_ += line;
    notes_ += '\n';
}

void EnvironmentText::wall(double x1, double y1, double x2, double y2) {
    walls_text_ += record({num(x1), num(y1), num(x2), num(y2)});
    ++walls_;
}

void EnvironmentText::box(double x1, double y1, double x2, double y2) {
    wall(x1, y1, x2, y1);
    wall(x2, y1, x2, y2);
    wall(x2, y2, x1, y2);
    wall(x1, y2, x1, y1);
}

void EnvironmentText::shell(double width, double height, std::initializer_list<Opening> openings) {
    for (const Side side : {Side::kSouth, Side::kEast, Side::kNorth, Side::kWest}) {
        const bool alongX = side == Side::kSouth || side == Side::kNorth;
        const double across = side == Side::kEast ? width : side == Side::kNorth ? height : 0.0;
        const auto piece = [&](double a, double b) {
            if (alongX)
                wall(a, across, b, across);
            else
                wall(across, a, across, b);
        };
        std::vector<Opening> gaps;
        for (const Opening& o : openings)
            if (o.side == side) gaps.push_back(o);
        std::sort(gaps.begin(), gaps.end(),
                  [](const Opening& a, const Opening& b) { return a.from < b.from; });
        double from = 0.0;
        for (const Opening& g : gaps) {
            if (g.from > from) piece(from, g.from);
            from = g.to;
        }
        const double end = alongX ? width : height;
        if (end > from) piece(from, end);
    }
}

void EnvironmentText::entrance(int id, double x1, double y1, double x2, double y2, double mean,
                               double sd) {
    entrances_ +=
        record({std::to_string(id), num(x1), num(y1), num(x2), num(y2), num(mean), num(sd)});
}

void EnvironmentText::exit(int id, double x1, double y1, double x2, double y2) {
    destinations_ += record({"X", std::to_string(id), num(x1), num(y1), num(x2), num(y2)});
}

void EnvironmentText::point(int id, double x, double y, double radius) {
    destinations_ += record({"P", std::to_string(id), num(x), num(y), num(radius)});
}

void EnvironmentText::seat(int id, double x, double y) {
    destinations_ += record({"S", std::to_string(id), num(x), num(y)});
}

void EnvironmentText::queue(int id, double x, double y, double dx, double dy) {
    destinations_ += record({"Q", std::to_string(id), num(x), num(y), num(dx), num(dy)});
}

void EnvironmentText::action(int id, char kind, int destination, int next, double mean, double sd) {
    actions_ += record({std::to_string(id), std::string(1, kind), std::to_string(destination),
                        std::to_string(next), num(mean), num(sd)});
}

void EnvironmentText::firstAction(int id) {
    first_ += first_.empty() ? "FirstActions " : ", ";
    first_ += std::to_string(id);
}

std::string EnvironmentText::text() const {
    std::string t = notes_;
    t += "\nWalls {\n" + walls_text_ + "}\n";
    t += "\nEntrance {\n" + entrances_ + "}\n";
    t += "\nDestination {\n" + destinations_ + "}\n";
    t += "\nActions {\n" + actions_ + "}\n";
    if (!first_.empty()) t += "\n" + first_ + ";\n";
    return t;
}

}  // namespace vostrel::bench
