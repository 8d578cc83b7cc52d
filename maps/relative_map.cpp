#include "maps/relative_map.hpp"

namespace vostrel {

void refreshRelativeMap(RelativeMapData& record, const GridMap& local, TimeStamp tm,
                        const Pose2D& robot, bool copyCells) {
    // The size comes from the grid, not from the configuration of the moment: the grid is
    // only rebuilt at activation, and a record claiming another size than its cells would
    // send readers past the end.
    const double scale = local.scale();
    record.tm = tm;
    record.mapconfig.xScale = record.mapconfig.yScale = scale;
    record.mapconfig.width = static_cast<std::uint32_t>(local.width());
    record.mapconfig.height = static_cast<std::uint32_t>(local.height());
    record.mapconfig.origin =
        Pose2D{-scale * local.width() / 2.0, -scale * local.height() / 2.0, 0.0};
    record.pose = robot;
    if (!copyCells) return;
    const auto cells = local.cells();
    record.cells.resize(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i)
        record.cells[i] = cells[i] == GridMap::kOccupied ? kCellOccupied : kCellFree;
}

FloatRelativeMapData toFloat(const RelativeMapData& record) {
    FloatRelativeMapData f;
    f.tm = record.tm;
    f.mapconfig = record.mapconfig;
    f.pose = record.pose;
    f.cells.resize(record.cells.size());
    for (std::size_t i = 0; i < record.cells.size(); ++i)
        f.cells[i] = static_cast<float>(record.cells[i] * 0.01);
    return f;
}

}  // namespace vostrel
