#pragma once

#include "IIS2.hh"
#include "InterfaceDataTypes.hh"
#include "LaserRangeSensorData.hh"
#include "MRFC.hh"
#include "OrvoGlobalPlanning.hh"
#include "sim/cycle_outputs.hpp"

// Copies of the simulation's plain records into the generated wire types.
namespace vostrel::wire {

RTC::Time time(const TimeStamp& t);
RTC::Pose2D pose(const Pose2D& p);
RTC::OGMapConfig mapConfig(const MapConfig& c);

void copy(const RobotStateSample& from, IIS::TimedPose2D& to);
void copy(const RobotVelocitySample& from, IIS::TimedVelocity2D& to);
void copy(const PersonsSample& from, ZYK::TimedPersonsGlobalPosition& to);
void copy(const PeopleDataSample& from, MRFC::TimedPeopleTrackingData& to);
void copy(const RangeDataSample& from, SensorRTC::LaserRangeSensor::idl::TimedMeasuredData& to);

}  // namespace vostrel::wire
