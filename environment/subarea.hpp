#pragma once

#include <vector>

#include "environment/polygon.hpp"
#include "environment/segment.hpp"

namespace vostrel {

struct SubareaLink {
    int neighbourId = -1;
    Segment border;  // the shared border line
};

// A convex piece of the walkable space with its links to neighbours. Ids are not positions in
// the subarea list.
class Subarea : public virtual Polygon {
  public:
    Subarea() = default;
    Subarea(int id, std::vector<Vec2> corners) : Polygon(std::move(corners)), id_(id) {}
    Subarea(const Subarea&) = default;
    Subarea(Subarea&&) = default;
    // Move assignment is left to the copy: a virtual base must not be moved from twice.
    Subarea& operator=(const Subarea&) = default;

    int id() const { return id_; }
    const std::vector<SubareaLink>& links() const { return links_; }

    // Never merges duplicates: a neighbour across several collinear edges gets several links.
    void addLink(int neighbourId, const Segment& border) {
        links_.push_back({neighbourId, border});
    }
    bool isNeighbour(int id) const;
    // Border of the first link to id; all zeros when there is none.
    Segment borderWith(int id) const;
    // Distance between the midpoints of the last borders with fromId and toId; 0 unless both
    // are neighbours.
    double passDistance(int fromId, int toId) const;
    std::vector<int> neighbours() const;
    // Persons per square metre when population persons stand in it.
    double density(int population) const { return population / area(); }

  private:
    const SubareaLink* lastLinkTo(int id) const;

    int id_ = -1;
    std::vector<SubareaLink> links_;
};

}  // namespace vostrel
