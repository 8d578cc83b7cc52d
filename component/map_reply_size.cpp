#include "component/map_reply_size.hpp"

#include <omniORB4/CORBA.h>

namespace {

// Reply header without the GIOP header: request id, reply status and an empty service context
// list. The body then starts 24 bytes into the message, on an 8-byte boundary, so that its
// alignment counts from 0.
constexpr std::uint64_t kReplyHeader = 12;
// Time (2 x 4), OGMapConfig (2 doubles, 2 ulongs, a 3-double pose: 48) and the cell count.
constexpr std::uint64_t kBeforeCells = 8 + 48 + 4;
constexpr std::uint64_t kPose = 24;

std::uint64_t cellBytes(MapReplySize::Kind kind, std::uint64_t cells) {
    // Floats follow the 4-aligned count without padding.
    return kind == MapReplySize::Kind::Bytes ? cells : cells * 4;
}

}  // namespace

std::uint64_t MapReplySize::absolute(Kind kind, std::uint64_t cells) {
    return kReplyHeader + kBeforeCells + cellBytes(kind, cells);
}

std::uint64_t MapReplySize::relative(Kind kind, std::uint64_t cells) {
    const std::uint64_t afterCells = kBeforeCells + cellBytes(kind, cells);
    return kReplyHeader + (afterCells + 7) / 8 * 8 + kPose;
}

bool MapReplySize::fits(std::uint64_t replyBytes) {
    return replyBytes <= omniORB::giopMaxMsgSize();
}
