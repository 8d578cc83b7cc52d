#include "robot/range_sensor.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/gaussian_random.hpp"

namespace vostrel {

namespace {

constexpr double kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr double kInt32Max = std::numeric_limits<std::int32_t>::max();

// Millimetres truncated towards zero. Saturates rather than wrapping, so an absurd maximum
// distance or noise level gives a large reading instead of undefined behaviour.
std::int32_t toReading(double mm) {
    return static_cast<std::int32_t>(std::clamp(std::trunc(mm), kInt32Min, kInt32Max));
}

// Keeps the nearer of the reading so far and a new hit at mm. The far code is compared by
// value: a real reading that happens to equal it still counts as "nothing yet".
void takeNearer(std::int32_t& reading, double mm, std::int32_t farCode) {
    if (std::isnan(mm)) return;
    if (reading == farCode || reading > mm) reading = toReading(mm);
}

// Distance along the unit ray (origin o, direction u) to a wall it properly crosses within
// the ray segment; false when it does not cross. End points touching count as no hit.
bool wallHit(const Segment& raySegment, const Segment& unitRay, const Segment& wall, double& t) {
    if (!raySegment.crosses(wall)) return false;
    t = unitRay.lineParameter(wall);
    return true;
}

// Range to a person disc (centre p, radius r) seen along the ray segment o..o + maxDistance*u:
// the distance tc along the ray to the point nearest the centre, plus that point's distance d
// from the centre, minus r. Exact for a ray through the centre and for a grazing ray; a linear
// blend in between, which is the sensor's model rather than the true chord entry.
bool personHit(Vec2 o, Vec2 u, double maxDistance, Vec2 p, double r, double& range) {
    // Most persons are nowhere near a given ray. The distance to the ray's line bounds the
    // distance to the segment from below; the micrometre of slack keeps rounding from ever
    // rejecting a disc the exact test below would accept.
    if (std::fabs(u.cross(p - o)) > r + 1e-6) return false;
    const Vec2 p1 = o;
    const Vec2 p2 = o + u * maxDistance;
    const double along = (p - o).dot(u);
    const Vec2 foot = o + u * along;
    Vec2 nearest;
    double tc = 0.0;
    if ((foot - p1).dot(foot - p2) < 0.0) {
        nearest = foot;
        tc = along;
    } else if ((p - p1).length() < (p - p2).length()) {
        nearest = p1;
        tc = 0.0;
    } else {
        nearest = p2;
        tc = maxDistance;
    }
    const double d = (p - nearest).length();
    if (d > r) return false;
    range = tc + d - r;
    return true;
}

}  // namespace

RangeSensor::RangeSensor(double start, double end, double maxDistance, std::int32_t farCode,
                         std::int32_t rayCount, double sensorX, double sensorY,
                         double sensorHeading, double noiseSigma)
    : start_(start),
      end_(end),
      maxDistance_(maxDistance),
      farCode_(farCode),
      rayCount_(rayCount),
      sensorX_(sensorX),
      sensorY_(sensorY),
      sensorHeading_(sensorHeading),
      noiseSigma_(noiseSigma) {
    if (start_ > end_) std::swap(start_, end_);
    const auto n = static_cast<std::size_t>(std::max(rayCount_, 0));
    readings_.assign(n, farCode_);
    rays_.assign(n, Segment{});
}

void RangeSensor::scan(const Pose2D& robotPose, std::span<const Segment> walls,
                       std::span<const Vec2> persons, double personRadius, CRandom& rng) {
    const double c = std::cos(robotPose.heading);
    const double s = std::sin(robotPose.heading);
    const Vec2 o{robotPose.x + c * sensorX_ - s * sensorY_,
                 robotPose.y + s * sensorX_ + c * sensorY_};
    double alpha = robotPose.heading + sensorHeading_ + (start_ - 90.0) * kRadiansPerDegree;
    const double step = angularStep() * kRadiansPerDegree;
    const GaussianRandom noise{0.0, noiseSigma_};

    for (std::size_t i = 0; i < readings_.size(); ++i, alpha += step) {
        const Vec2 u{std::cos(alpha), std::sin(alpha)};
        const Segment unitRay{u, o};
        const Segment raySegment{u * maxDistance_, o};
        std::int32_t reading = farCode_;

        for (const Segment& wall : walls) {
            double t = 0.0;
            if (wallHit(raySegment, unitRay, wall, t)) takeNearer(reading, 1000.0 * t, farCode_);
        }
        if (personRadius > 0.0) {
            for (const Vec2& p : persons) {
                double range = 0.0;
                if (personHit(o, u, maxDistance_, p, personRadius, range))
                    takeNearer(reading, 1000.0 * range, farCode_);
            }
        }

        if (reading == farCode_) {
            rays_[i] = raySegment;
        } else {
            rays_[i] = Segment{u * (reading / 1000.0), o};
            // Noise comes after the display ray so the picture shows the true hit; it is never
            // clamped, so a noisy reading may fall below zero or past the maximum distance.
            const double noisy =
                static_cast<double>(reading) + std::trunc(1000.0 * noise.draw(rng));
            reading = toReading(noisy);
        }
        readings_[i] = reading;
    }
}

void RangeSensor::fill(RangeData& out) const {
    out.startPosition = static_cast<float>(start_);
    out.endPosition = static_cast<float>(end_);
    out.dataGroupingNumber = 1;
    out.dataInterval = static_cast<float>(angularStep());
    out.sensorState = "NORMAL";
    out.distance.assign(readings_.begin(), readings_.end());
}

}  // namespace vostrel
