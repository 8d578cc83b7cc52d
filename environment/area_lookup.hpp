#pragma once

#include <vector>

#include "environment/subarea.hpp"

namespace vostrel {

using SubareaList = std::vector<Subarea>;

// Point location over a subarea list: the first subarea in list order whose polygon contains
// the point wins, so a point on a shared border belongs to the earlier one. Kept behind these
// functions so that a spatial index can replace the scan without touching the callers.
int indexAt(const SubareaList& list, double x, double y);
int idAt(const SubareaList& list, double x, double y);
// Throws Error("Error: Coordinate is out of subareas.") when no subarea contains the point.
Subarea subareaAt(const SubareaList& list, double x, double y);

inline constexpr const char* kOutOfSubareas = "Error: Coordinate is out of subareas.";

}  // namespace vostrel
