#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "environment/pose_2d.hpp"
#include "environment/segment.hpp"
#include "environment/vec2.hpp"
#include "platform/c_random.hpp"
#include "robot/range_data.hpp"
#include "robot/range_sensor_settings.hpp"
#include "robot/ray_buckets.hpp"

namespace vostrel {

// A planar scanning laser on the robot. Rays fan out counter-clockwise from the start angle in
// steps of (end - start) / n; angles are on the sensor's scale, where 90 degrees is straight
// ahead. Each ray reports the nearest wall or person disc in millimetres, plus noise, or the far
// code when it sees nothing within the maximum distance.
class RangeSensor {
  public:
    // No rays.
    RangeSensor() = default;
    explicit RangeSensor(const RangeSensorSettings& settings);

    // Casts every ray from the sensor's world pose on the robot at robotPose against the walls
    // and the persons (disc centres, radius personRadius; none seen when the radius is not
    // above 0). Draws one Gaussian value (two values of rng) for each ray that hits something,
    // in ray order. Reuses its buffers: no allocation.
    void scan(const Pose2D& robotPose, std::span<const Segment> walls,
              std::span<const Vec2> persons, double personRadius, CRandom& rng);
    // The walls' part of the next scan() from the same pose against the same walls (the same
    // span), which then only adds the persons: lets a caller cast at the walls while the persons
    // still move. The walls in the span must be those of the last call: while the pose stays the
    // same bit for bit, the last cast is kept.
    void castAtWalls(const Pose2D& robotPose, std::span<const Segment> walls);

    // With true, every ray is tested against every wall and person, as the reference the
    // per-ray candidate lists are checked against; the readings are the same bit for bit.
    void usePlainLoops(bool on) { plainLoops_ = on; }

    // The last scan into the port record; distance keeps its capacity from cycle to cycle.
    void fill(RangeData& out) const;

    double startAngle() const { return start_; }
    double endAngle() const { return end_; }
    double angularStep() const { return rayCount_ > 0 ? (end_ - start_) / rayCount_ : 0.0; }
    std::int32_t rayCount() const { return rayCount_; }
    double maxDistance() const { return maxDistance_; }
    std::int32_t farCode() const { return farCode_; }
    // Millimetres, or the far code; noise included.
    std::span<const std::int32_t> readings() const { return readings_; }
    // From the sensor to the noise-free hit, or the full length for rays that saw nothing.
    std::span<const Segment> displayRays() const { return rays_; }

  private:
    double start_ = 0.0;
    double end_ = 0.0;
    double maxDistance_ = 0.0;
    std::int32_t farCode_ = 0;
    std::int32_t rayCount_ = 0;
    double sensorX_ = 0.0;
    double sensorY_ = 0.0;
    double sensorHeading_ = 0.0;
    double noiseSigma_ = 0.0;
    // Fills directions_ for the fan starting at alpha; kept while the pose keeps its heading.
    void aim(double alpha, double step);
    // The sensor's spot, the angle of the first ray and the angle between rays.
    struct Fan {
        Vec2 origin;
        double alpha = 0.0;
        double step = 0.0;
    };
    Fan fanAt(const Pose2D& robotPose) const;
    // Whether walls and persons are sorted into the rays they may meet: not for the plain
    // loops, nor for a fan too odd for it (then every ray looks at everything).
    bool canSort(Vec2 o, double step) const;
    // Whether the last cast at the walls was made from this fan against these walls.
    bool castFrom(const Fan& fan, std::span<const Segment> walls) const;
    void cast(const Fan& fan, std::span<const Segment> walls);
    void sortWallsIntoRays(Vec2 o, double alpha, double step, std::span<const Segment> walls);
    void sortPersonsIntoRays(Vec2 o, double alpha, double step, std::span<const Vec2> persons,
                             double personRadius);

    std::vector<std::int32_t> readings_;
    std::vector<Segment> rays_;
    bool plainLoops_ = false;
    std::vector<Vec2> directions_;
    double aimedAlpha_ = 0.0;
    double aimedStep_ = 0.0;
    bool aimed_ = false;
    RayBuckets wallRays_;
    RayBuckets personRays_;
    std::vector<double> wallReach_;  // per wall: no hit nearer than this, in millimetres
    // The last cast at the walls: each ray's nearest wall reading, and what it was cast from.
    std::vector<std::int32_t> wallReadings_;
    bool cast_ = false;
    Fan castFan_;
    std::span<const Segment> castWalls_;
    bool castPlain_ = false;
    bool castAhead_ = false;  // castAtWalls() was called for the next scan()
};

}  // namespace vostrel
