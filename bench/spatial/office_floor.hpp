#pragma once

#include "environment/walls.hpp"

namespace vostrel {

// A generated office floor for measurements and tests. A 2 m corridor runs up the west side;
// from it, one 2 m corridor per band runs east between a row of 4 m x 5 m rooms on each side.
// Every room has a 1 m door onto its corridor; bands are separated by a wall. The whole
// floor, 2 + 4 * roomsPerRow by 12 * bands metres, is reachable from the west corridor.
// Wall count: 6 * roomsPerRow * bands + bands + 3.
inline Walls officeFloor(int roomsPerRow, int bands) {
    Walls walls;
    const auto wall = [&](double x1, double y1, double x2, double y2) {
        walls.add(Segment::fromPoints({x1, y1}, {x2, y2}));
    };
    const double width = 2.0 + 4.0 * roomsPerRow;
    const double height = 12.0 * bands;
    wall(0, 0, width, 0);
    wall(width, 0, width, height);
    wall(width, height, 0, height);
    wall(0, height, 0, 0);
    for (int b = 0; b < bands; ++b) {
        const double y0 = 12.0 * b;
        for (int i = 0; i < roomsPerRow; ++i) {
            const double x0 = 2.0 + 4.0 * i;
            wall(x0, y0, x0, y0 + 5);          // room partitions (the first one faces the
            wall(x0, y0 + 7, x0, y0 + 12);     // west corridor)
            wall(x0, y0 + 5, x0 + 1, y0 + 5);  // corridor walls with a door from x0 + 1 to x0 + 2
            wall(x0 + 2, y0 + 5, x0 + 4, y0 + 5);
            wall(x0, y0 + 7, x0 + 1, y0 + 7);
            wall(x0 + 2, y0 + 7, x0 + 4, y0 + 7);
        }
        if (b + 1 < bands) wall(2, y0 + 12, width, y0 + 12);
    }
    return walls;
}

}  // namespace vostrel
