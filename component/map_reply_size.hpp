#pragma once

#include <cstdint>

// Bytes on the wire of a map service's reply, counted as the ORB counts against its message
// limit (giopMaxMsgSize: the whole GIOP message without its 12-byte header), so that a request
// whose answer cannot be sent is refused before a single cell is copied.
class MapReplySize {
  public:
    enum class Kind { Bytes, Floats };
    // A reply carrying a TimedAbsoluteOGMapData or TimedFloatAbsoluteOGMapData of `cells` cells.
    static std::uint64_t absolute(Kind kind, std::uint64_t cells);
    // The same for TimedRelativeOGMapData or TimedFloatRelativeOGMapData, whose robot pose
    // follows the cells.
    static std::uint64_t relative(Kind kind, std::uint64_t cells);
    // Whether such a reply fits the limit the ORB of this process enforces.
    static bool fits(std::uint64_t replyBytes);
};
