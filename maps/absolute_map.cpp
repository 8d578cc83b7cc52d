#include "maps/absolute_map.hpp"

#include <cmath>
#include <optional>

#include "environment/error.hpp"
#include "maps/grid_map.hpp"

namespace vostrel {

namespace {

struct GridSize {
    std::int32_t width;
    std::int32_t height;
};

// Cell counts for the extent at scale, or nothing when they would not fit. Checked in floating
// point before any conversion to int.
std::optional<GridSize> gridSize(double maxX, double maxY, double scale) {
    const double w = std::trunc(maxX / scale) + 1.0;
    const double h = std::trunc(maxY / scale) + 1.0;
    if (!(w >= 1.0 && h >= 1.0 && w * h <= static_cast<double>(kMaxGridCells))) return {};
    return GridSize{static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
}

// First source index of a window, or nothing when the position cannot address any cell (no
// map yet, or a coordinate so far out that no window of 2^32 cells could reach back).
std::optional<std::int64_t> firstIndex(double position, double scale) {
    const double i = std::trunc(position / scale);
    constexpr double kFar = 1e15;
    if (!(i > -kFar && i < kFar)) return {};
    return static_cast<std::int64_t>(i);
}

// Walks the window in answer order and hands each cell's source value, or nothing when off
// the map, to put(index, value).
template <typename Put>
void cutWindow(const AbsoluteMapData& map, double x, double y, std::uint32_t w, std::uint32_t h,
               Put put) {
    const auto c0 = firstIndex(x, map.mapconfig.xScale);
    const auto r0 = firstIndex(y, map.mapconfig.yScale);
    const std::int64_t width = map.mapconfig.width;
    const std::int64_t height = map.mapconfig.height;
    // A record whose cells do not match its size is treated as having no map at all.
    const bool usable =
        c0 && r0 && std::uint64_t{map.mapconfig.width} * map.mapconfig.height == map.cells.size();
    std::size_t index = 0;
    for (std::int64_t j = 0; j < h; ++j) {
        for (std::int64_t k = 0; k < w; ++k, ++index) {
            if (!usable) {
                put(index, std::nullopt);
                continue;
            }
            const std::int64_t c = *c0 + k;
            const std::int64_t r = *r0 + j;
            if (c < 0 || r < 0 || c >= width || r >= height)
                put(index, std::nullopt);
            else
                put(index, std::optional<std::uint8_t>(
                               map.cells[static_cast<std::size_t>(r * width + c)]));
        }
    }
}

MapConfig windowConfig(const MapConfig& config, double x, double y) {
    MapConfig c = config;
    c.origin.x = x;
    c.origin.y = y;
    return c;
}

}  // namespace

bool absoluteMapFits(const Walls& walls, double scale) {
    return gridSize(walls.maxX(), walls.maxY(), scale).has_value();
}

void buildAbsoluteMap(AbsoluteMapData& record, const Walls& walls,
                      const AbsoluteMapSettings& settings, TimeStamp tm) {
    record = AbsoluteMapData{};
    record.tm = tm;
    const double scale = settings.scale;
    const std::optional<GridSize> size = gridSize(walls.maxX(), walls.maxY(), scale);
    if (!size) return;
    record.mapconfig.xScale = record.mapconfig.yScale = scale;
    record.mapconfig.width = static_cast<std::uint32_t>(size->width);
    record.mapconfig.height = static_cast<std::uint32_t>(size->height);
    record.mapconfig.origin = Pose2D{0.0, 0.0, 0.0};

    GridMap grid(size->width, size->height, scale);
    grid.update(walls.all(), Pose2D{walls.maxX() / 2.0, walls.maxY() / 2.0, 0.0});
    record.cells.resize(grid.cells().size());
    for (std::size_t i = 0; i < record.cells.size(); ++i)
        record.cells[i] = grid.cells()[i] == GridMap::kOccupied ? kCellOccupied : kCellFree;
}

AbsoluteMapData subMap(const AbsoluteMapData& map, double x, double y, std::uint32_t w,
                       std::uint32_t h) {
    AbsoluteMapData answer;
    answer.tm = map.tm;
    answer.mapconfig = windowConfig(map.mapconfig, x, y);
    if (std::uint64_t{w} * std::uint64_t{h} > kMaxSubMapCells) throw Error(kSubMapTooLarge);
    answer.cells.resize(std::size_t{w} * std::size_t{h});
    cutWindow(map, x, y, w, h, [&](std::size_t i, std::optional<std::uint8_t> v) {
        answer.cells[i] = v ? *v : kCellUnknown;
    });
    return answer;
}

FloatAbsoluteMapData floatSubMap(const AbsoluteMapData& map, double x, double y, std::uint32_t w,
                                 std::uint32_t h) {
    FloatAbsoluteMapData answer;
    answer.tm = map.tm;
    answer.mapconfig = windowConfig(map.mapconfig, x, y);
    if (std::uint64_t{w} * std::uint64_t{h} > kMaxSubMapCells) throw Error(kSubMapTooLarge);
    answer.cells.resize(std::size_t{w} * std::size_t{h});
    cutWindow(map, x, y, w, h, [&](std::size_t i, std::optional<std::uint8_t> v) {
        answer.cells[i] = v ? static_cast<float>(*v * 0.01) : kFloatCellUnknown;
    });
    return answer;
}

}  // namespace vostrel
