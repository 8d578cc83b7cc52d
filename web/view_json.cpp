#include "web/view_json.hpp"

#include <cmath>

#include <nlohmann/json.hpp>

namespace vostrel {

namespace {

using nlohmann::json;

double mm(double v) {
    return std::isfinite(v) ? std::round(v * 1000.0) / 1000.0 : 0.0;
}
double mrad(double v) {
    return std::isfinite(v) ? std::round(v * 10000.0) / 10000.0 : 0.0;
}

json point(Vec2 p) {
    return json::array({mm(p.x), mm(p.y)});
}

json line(const Segment& s) {
    const Vec2 end = s.end();
    return json::array({mm(s.origin.x), mm(s.origin.y), mm(end.x), mm(end.y)});
}

}  // namespace

std::string stateJson(const ViewState& s) {
    json persons = json::array();
    for (const ViewPerson& p : s.persons)
        persons.push_back({{"id", p.id},
                           {"x", mm(p.position.x)},
                           {"y", mm(p.position.y)},
                           {"vx", mm(p.velocity.x)},
                           {"vy", mm(p.velocity.y)}});
    json ends = json::array();
    for (const Vec2& e : s.laser) ends.push_back(point(e));
    const json doc = {
        {"run", s.run},
        {"step", s.step},
        {"time", mm(s.time)},
        {"seed", s.seed},
        {"cycleMs", s.cycleMs},
        {"cycleAverageMs", s.cycleAverageMs},
        {"followed", s.followed},
        {"robot",
         {{"x", mm(s.robot.x)},
          {"y", mm(s.robot.y)},
          {"heading", mrad(s.robot.heading)},
          {"speed", mm(s.robotSpeed)},
          {"turnRate", mrad(s.robotTurnRate)}}},
        {"laser", {{"x", mm(s.sensor.x)}, {"y", mm(s.sensor.y)}, {"ends", std::move(ends)}}},
        {"persons", std::move(persons)},
        {"seats", s.seatOccupants},
        {"queues", s.queues},
        {"populations", s.populations},
    };
    return doc.dump();
}

std::string environmentJson(std::int32_t run, const Environment& environment,
                            const SubareaList& subareas) {
    json walls = json::array();
    for (const Segment& w : environment.walls.all()) walls.push_back(line(w));
    json areas = json::array();
    for (const Subarea& a : subareas) {
        json corners = json::array();
        for (const Vec2& c : a.corners()) corners.push_back(point(c));
        areas.push_back({{"id", a.id()}, {"corners", std::move(corners)}});
    }
    json entrances = json::array();
    for (const Entrance& e : environment.entrances)
        entrances.push_back({{"id", e.id}, {"line", line(e.line)}});
    json exits = json::array();
    for (const Exit& e : environment.exits.items())
        exits.push_back({{"id", e.id()}, {"line", line(e.line())}});
    json points = json::array();
    for (const Point& p : environment.points.items())
        points.push_back(
            {{"id", p.id()}, {"x", mm(p.x())}, {"y", mm(p.y())}, {"radius", mm(p.value())}});
    json seats = json::array();
    for (const Seat& s : environment.seats.items())
        seats.push_back({{"id", s.id()}, {"x", mm(s.x())}, {"y", mm(s.y())}});
    json queues = json::array();
    for (const Queue& q : environment.queues.items())
        queues.push_back({{"id", q.id()},
                          {"x", mm(q.x())},
                          {"y", mm(q.y())},
                          {"dx", mm(q.line().direction.x)},
                          {"dy", mm(q.line().direction.y)}});
    const json doc = {
        {"run", run},
        {"maxX", mm(environment.walls.maxX())},
        {"maxY", mm(environment.walls.maxY())},
        {"agentRadius", kViewAgentRadius},
        {"walls", std::move(walls)},
        {"subareas", std::move(areas)},
        {"entrances", std::move(entrances)},
        {"exits", std::move(exits)},
        {"points", std::move(points)},
        {"seats", std::move(seats)},
        {"queues", std::move(queues)},
    };
    return doc.dump();
}

}  // namespace vostrel
