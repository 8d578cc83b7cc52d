#include "people/route_planner.hpp"

#include <algorithm>
#include <cmath>

namespace vostrel {

namespace {
double manhattan(Vec2 a, Vec2 b) {
    return std::abs(a.x - b.x) + std::abs(a.y - b.y);
}
}  // namespace

bool RoutePlanner::later(const HeapEntry& a, const HeapEntry& b) {
    return a.key > b.key || (a.key == b.key && a.order > b.order);
}

const Route& RoutePlanner::straight(Vec2 p, Vec2 q) {
    route_.subareas.clear();
    route_.cost = (q - p).length();
    return route_;
}

void RoutePlanner::open(int c, double cost, double estimate, int parent) {
    SearchNode& n = nodes_[static_cast<std::size_t>(c)];
    n.open = true;
    n.cost = cost;
    n.estimate = estimate;
    n.parent = parent;
    const double key = cost + estimate / 2.0;
    if (heap_) {
        openHeap_.push_back({key, opened_++, c});
        std::push_heap(openHeap_.begin(), openHeap_.end(), later);
        return;
    }
    // Before the first strictly greater key, so equal keys keep their insertion order.
    const auto at = std::find_if(openList_.begin(), openList_.end(), [&](int o) {
        const SearchNode& on = nodes_[static_cast<std::size_t>(o)];
        return on.cost + on.estimate / 2.0 > key;
    });
    openList_.insert(at, c);
}

int RoutePlanner::takeFirstOpen() {
    if (heap_) {
        std::pop_heap(openHeap_.begin(), openHeap_.end(), later);
        const int c = openHeap_.back().c;
        openHeap_.pop_back();
        return c;
    }
    const int c = openList_.front();
    openList_.erase(openList_.begin());
    return c;
}

std::span<const int> RoutePlanner::scanLinks(const SubareaList& list, int a, bool towards) {
    const auto at = [&](int i) -> const Subarea& { return list[static_cast<std::size_t>(i)]; };
    scanned_.clear();
    const int n = static_cast<int>(list.size());
    for (int c = 0; c < n; ++c) {
        if (c == a) continue;
        if (towards ? at(c).isNeighbour(at(a).id()) : at(a).isNeighbour(at(c).id()))
            scanned_.push_back(c);
    }
    return scanned_;
}

const Route& RoutePlanner::find(const SubareaList& list, std::span<const int> populations, Vec2 p,
                                Vec2 q, const AreaIndex* index, const SubareaGraph* graph) {
    const int s = index != nullptr ? index->indexAt(list, p.x, p.y) : indexAt(list, p.x, p.y);
    const int g = index != nullptr ? index->indexAt(list, q.x, q.y) : indexAt(list, q.x, q.y);
    if (s == g || s < 0 || g < 0) return straight(p, q);

    const auto at = [&](int i) -> const Subarea& { return list[static_cast<std::size_t>(i)]; };
    // A list without counts (a plan outside any run) is an empty one.
    const auto populationOf = [&](int i) {
        return static_cast<std::size_t>(i) < populations.size()
                   ? populations[static_cast<std::size_t>(i)]
                   : 0;
    };
    nodes_.assign(list.size(), SearchNode{});
    heap_ = graph != nullptr;
    openList_.clear();
    openHeap_.clear();
    opened_ = 0;

    const int startId = at(s).id();
    const double startSpeed = speedAt(at(s).density(populationOf(s)));
    if (startSpeed > 0.0) {
        for (const int c : heap_ ? graph->linksTo(s) : scanLinks(list, s, true)) {
            const Vec2 m = at(c).borderWith(startId).midpoint();
            open(c, (m - p).length() / startSpeed, manhattan(p, q), s);
        }
    }
    nodes_[static_cast<std::size_t>(s)].closed = true;

    while (heap_ ? !openHeap_.empty() : !openList_.empty()) {
        const int a = takeFirstOpen();
        SearchNode& an = nodes_[static_cast<std::size_t>(a)];
        an.open = false;
        an.closed = true;
        const Subarea& area = at(a);
        const int parentId = at(an.parent).id();

        if (a == g) {
            an.cost += (area.borderWith(parentId).midpoint() - q).length();
            route_.subareas.clear();
            for (int i = a; i != s; i = nodes_[static_cast<std::size_t>(i)].parent)
                route_.subareas.push_back(i);
            route_.subareas.push_back(s);
            std::reverse(route_.subareas.begin(), route_.subareas.end());
            route_.cost = an.cost;
            return route_;
        }

        const double speed = speedAt(area.density(populationOf(a)));
        if (!(speed > 0.0)) continue;  // not walked through: opens nothing
        const double cost = an.cost;
        for (const int c : heap_ ? graph->linksFrom(a) : scanLinks(list, a, false)) {
            const SearchNode& cn = nodes_[static_cast<std::size_t>(c)];
            if (cn.open || cn.closed) continue;
            const int cId = at(c).id();
            const double w = area.passDistance(parentId, cId);
            const Vec2 m = area.borderWith(cId).midpoint();
            open(c, cost + w / speed, manhattan(m, q), a);
        }
    }
    return straight(p, q);
}

}  // namespace vostrel
