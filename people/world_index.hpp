#pragma once

#include "environment/area_index.hpp"
#include "environment/subarea_graph.hpp"
#include "environment/wall_grid.hpp"
#include "environment/world.hpp"

namespace vostrel {

// A world with the indexes the crowd asks many times per step: walls in a grid, subareas in a
// grid. With plain loops on, every query scans the whole list instead; the answers are the
// same bit for bit, which is what tests compare.
class WorldIndex {
  public:
    // The world must outlive the index.
    explicit WorldIndex(const World& world)
        : world_(world),
          walls_(world.environment.walls.all()),
          areas_(world.subareas),
          graph_(world.subareas) {}

    const World& world() const { return world_; }
    const Environment& environment() const { return world_.environment; }
    const SubareaList& subareas() const { return world_.subareas; }
    const Subarea& subarea(int i) const { return world_.subareas[static_cast<std::size_t>(i)]; }

    void usePlainLoops(bool on) { plain_ = on; }
    bool plainLoops() const { return plain_; }

    // The position in the subarea list of the first subarea containing p, -1 when none does.
    int areaAt(Vec2 p) const {
        return plain_ ? indexAt(world_.subareas, p.x, p.y)
                      : areas_.indexAt(world_.subareas, p.x, p.y);
    }
    // The subarea index unless plain loops are asked for.
    const AreaIndex* areaIndex() const { return plain_ ? nullptr : &areas_; }
    // The subareas' links as list positions unless plain loops are asked for.
    const SubareaGraph* areaGraph() const { return plain_ ? nullptr : &graph_; }
    bool isClear(const Segment& s) const {
        return plain_ ? world_.environment.walls.isClear(s) : walls_.isClear(s);
    }
    const WallGrid& wallGrid() const { return walls_; }

  private:
    const World& world_;
    WallGrid walls_;
    AreaIndex areas_;
    SubareaGraph graph_;
    bool plain_ = false;
};

}  // namespace vostrel
