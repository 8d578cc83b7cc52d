#include "app/output_json.hpp"

namespace vostrel {

namespace {

using nlohmann::json;

json stamp(const TimeStamp& t) {
    return {{"sec", t.sec}, {"nsec", t.nsec}};
}
json point(double x, double y) {
    return {{"x", x}, {"y", y}};
}
json velocity(const Velocity& v) {
    return {{"vx", v.vx}, {"vy", v.vy}, {"va", v.va}};
}
json empty() {
    return json::array();
}

}  // namespace

json toJson(const CycleOutputs& o) {
    json persons = json::array();
    for (const Vec2& p : o.persons.data) persons.push_back(point(p.x, p.y));

    json tracked = json::array();
    for (const TrackedPerson& p : o.peopleData.person)
        tracked.push_back({{"position", {{"x", p.x}, {"y", p.y}, {"z", p.z}}},
                           {"velocity", velocity(p.velocity)}});

    const RangeData& r = o.rangeData.data;
    return {
        {"robot_state",
         {{"tm", stamp(o.robotState.tm)},
          {"id", empty()},
          {"data",
           {{"position", point(o.robotState.data.x, o.robotState.data.y)},
            {"heading", o.robotState.data.heading}}},
          {"error", empty()}}},
        {"robot_velocity",
         {{"tm", stamp(o.robotVelocity.tm)},
          {"id", empty()},
          {"data", velocity(o.robotVelocity.data)},
          {"error", empty()}}},
        {"persons", {{"tm", stamp(o.persons.tm)}, {"data", persons}}},
        {"peopledata",
         {{"tm", stamp(o.peopleData.tm)},
          {"data", {{"id", o.peopleData.id}, {"person", tracked}}}}},
        {"rangedata",
         {{"tm", stamp(o.rangeData.tm)},
          {"data",
           {{"startPosition", r.startPosition},
            {"endPosition", r.endPosition},
            {"scanInterval", r.scanInterval},
            {"dataGroupingNumber", r.dataGroupingNumber},
            {"distance", r.distance},
            {"dataInterval", r.dataInterval},
            {"sensorState", r.sensorState}}}}},
    };
}

}  // namespace vostrel
