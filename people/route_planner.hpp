#pragma once

#include <span>
#include <vector>

#include "environment/area_index.hpp"
#include "environment/area_lookup.hpp"
#include "environment/subarea_graph.hpp"
#include "environment/vec2.hpp"
#include "people/route.hpp"

namespace vostrel {

// Least-cost search over a subarea graph in which walking slows down with crowd density.
// Keeps its search nodes and open list between calls so that planning does not allocate
// once the buffers have grown to the size of the subarea list.
class RoutePlanner {
  public:
    // The route from the subarea containing p to the one containing q. A start or goal outside
    // every subarea, a shared subarea or no path at all give a route without subareas whose
    // cost is the straight-line distance from p to q. The result stays valid until the next call.
    // populations holds the persons counted in each subarea of the list (none when empty). An
    // index built from the list, when given, locates p and q; a graph built from it, when given,
    // names the neighbours and the open list becomes a heap. Without them every step scans the
    // list and the open list is kept sorted: the reference the fast search is compared with.
    const Route& find(const SubareaList& list, std::span<const int> populations, Vec2 p, Vec2 q,
                      const AreaIndex* index = nullptr, const SubareaGraph* graph = nullptr);

    // Free walking speed through a subarea of that density; at or below 0 it is not walked through.
    static double speedAt(double density) { return 1.356 - 0.341 * density; }

  private:
    struct SearchNode {
        bool open = false;
        bool closed = false;
        double cost = 0.0;
        double estimate = 0.0;
        int parent = 0;
    };

    // Ties of the key go in the order of opening, in both kinds of open list.
    struct HeapEntry {
        double key;
        unsigned order;
        int c;
    };
    // Heap order: the entry taken first compares greatest.
    static bool later(const HeapEntry& a, const HeapEntry& b);

    void open(int c, double cost, double estimate, int parent);
    int takeFirstOpen();
    // Positions c != a that link to a (towards) or that a links to, ascending, by a scan.
    std::span<const int> scanLinks(const SubareaList& list, int a, bool towards);
    const Route& straight(Vec2 p, Vec2 q);

    std::vector<SearchNode> nodes_;
    bool heap_ = false;
    std::vector<int> openList_;        // ascending by cost + estimate / 2 (no graph)
    std::vector<HeapEntry> openHeap_;  // the same order as a heap (with a graph)
    unsigned opened_ = 0;
    std::vector<int> scanned_;
    Route route_;
};

}  // namespace vostrel
