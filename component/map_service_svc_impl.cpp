#include "component/map_service_svc_impl.hpp"

#include "component/map_reply_size.hpp"
#include "component/wire_records.hpp"
#include "environment/error.hpp"
#include "maps/absolute_map.hpp"
#include "maps/relative_map.hpp"

namespace {

using namespace vostrel;

template <class Wire, class Cells>
void fillCells(Wire& to, const Cells& from) {
    to.cells.length(static_cast<CORBA::ULong>(from.size()));
    for (CORBA::ULong i = 0; i < to.cells.length(); ++i) to.cells[i] = from[i];
}

// An answer the ORB could not send would only cost memory and end in a closed connection.
void refuseUnlessFits(std::uint64_t replyBytes) {
    if (!MapReplySize::fits(replyBytes)) throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);
}

template <class Wire, class Record>
Wire* toWire(const Record& r) {
    auto* out = new Wire;
    out->tm = wire::time(r.tm);
    out->mapconfig = wire::mapConfig(r.mapconfig);
    fillCells(*out, r.cells);
    if constexpr (requires { r.pose; }) out->pose = wire::pose(r.pose);
    return out;
}

}  // namespace

RTC::OGMapConfig AbsoluteMapServiceSVC_impl::getAbsoluteOGMapConfig() {
    // Taken under the lock too: activation may be rewriting the record.
    return run_.withGlobalMap(
        [](const AbsoluteMapData& m) { return wire::mapConfig(m.mapconfig); });
}

MRFC::TimedAbsoluteOGMapData* AbsoluteMapServiceSVC_impl::getAbsoluteOGMap(CORBA::Double x,
                                                                           CORBA::Double y,
                                                                           CORBA::ULong w,
                                                                           CORBA::ULong h) {
    refuseUnlessFits(MapReplySize::absolute(MapReplySize::Kind::Bytes, std::uint64_t{w} * h));
    try {
        const AbsoluteMapData window =
            run_.withGlobalMap([&](const AbsoluteMapData& m) { return subMap(m, x, y, w, h); });
        return toWire<MRFC::TimedAbsoluteOGMapData>(window);
    } catch (const Error&) {
        throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);
    }
}

MRFC::TimedFloatAbsoluteOGMapData* AbsoluteMapServiceSVC_impl::getFloatAbsoluteOGMap(
    CORBA::Double x, CORBA::Double y, CORBA::ULong w, CORBA::ULong h) {
    refuseUnlessFits(MapReplySize::absolute(MapReplySize::Kind::Floats, std::uint64_t{w} * h));
    try {
        const FloatAbsoluteMapData window = run_.withGlobalMap(
            [&](const AbsoluteMapData& m) { return floatSubMap(m, x, y, w, h); });
        return toWire<MRFC::TimedFloatAbsoluteOGMapData>(window);
    } catch (const Error&) {
        throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);
    }
}

RTC::OGMapConfig RelativeMapServiceSVC_impl::getRelativeOGMapConfig() {
    return run_.withLocalMap([](const RelativeMapData& m) { return wire::mapConfig(m.mapconfig); });
}

MRFC::TimedRelativeOGMapData* RelativeMapServiceSVC_impl::getRelativeOGMap() {
    const RelativeMapData copy = run_.withLocalMap([](const RelativeMapData& m) {
        refuseUnlessFits(MapReplySize::relative(MapReplySize::Kind::Bytes, m.cells.size()));
        return m;
    });
    return toWire<MRFC::TimedRelativeOGMapData>(copy);
}

MRFC::TimedFloatRelativeOGMapData* RelativeMapServiceSVC_impl::getFloatRelativeOGMap() {
    const FloatRelativeMapData copy = run_.withLocalMap([](const RelativeMapData& m) {
        refuseUnlessFits(MapReplySize::relative(MapReplySize::Kind::Floats, m.cells.size()));
        return toFloat(m);
    });
    return toWire<MRFC::TimedFloatRelativeOGMapData>(copy);
}
