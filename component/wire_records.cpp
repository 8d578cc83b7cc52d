#include "component/wire_records.hpp"

namespace vostrel::wire {

RTC::Time time(const TimeStamp& t) {
    return {t.sec, t.nsec};
}

RTC::Pose2D pose(const Pose2D& p) {
    RTC::Pose2D out;
    out.position.x = p.x;
    out.position.y = p.y;
    out.heading = p.heading;
    return out;
}

RTC::OGMapConfig mapConfig(const MapConfig& c) {
    RTC::OGMapConfig out;
    out.xScale = c.xScale;
    out.yScale = c.yScale;
    out.width = c.width;
    out.height = c.height;
    out.origin = pose(c.origin);
    return out;
}

void copy(const RobotStateSample& from, IIS::TimedPose2D& to) {
    to.tm = time(from.tm);
    to.data = pose(from.data);
}

void copy(const RobotVelocitySample& from, IIS::TimedVelocity2D& to) {
    to.tm = time(from.tm);
    to.data.vx = from.data.vx;
    to.data.vy = from.data.vy;
    to.data.va = from.data.va;
}

void copy(const PersonsSample& from, ZYK::TimedPersonsGlobalPosition& to) {
    to.tm = time(from.tm);
    to.data.length(static_cast<CORBA::ULong>(from.data.size()));
    for (CORBA::ULong i = 0; i < to.data.length(); ++i) {
        to.data[i].x = from.data[i].x;
        to.data[i].y = from.data[i].y;
    }
}

void copy(const PeopleDataSample& from, MRFC::TimedPeopleTrackingData& to) {
    to.tm = time(from.tm);
    to.data.id = from.id;
    to.data.person.length(static_cast<CORBA::ULong>(from.person.size()));
    for (CORBA::ULong i = 0; i < to.data.person.length(); ++i) {
        const TrackedPerson& p = from.person[i];
        MRFC::PersonData& q = to.data.person[i];
        q.position.x = p.x;
        q.position.y = p.y;
        q.position.z = p.z;
        q.velocity.vx = p.velocity.vx;
        q.velocity.vy = p.velocity.vy;
        q.velocity.va = p.velocity.va;
    }
}

void copy(const RangeDataSample& from, SensorRTC::LaserRangeSensor::idl::TimedMeasuredData& to) {
    const RangeData& r = from.data;
    to.tm = time(from.tm);
    to.data.startPosition = r.startPosition;
    to.data.endPosition = r.endPosition;
    to.data.scanInterval = r.scanInterval;
    to.data.dataGroupingNumber = r.dataGroupingNumber;
    to.data.distance.length(static_cast<CORBA::ULong>(r.distance.size()));
    for (CORBA::ULong i = 0; i < to.data.distance.length(); ++i)
        to.data.distance[i] = r.distance[i];
    to.data.dataInterval = r.dataInterval;
    to.data.sensorState = r.sensorState.c_str();
}

}  // namespace vostrel::wire
