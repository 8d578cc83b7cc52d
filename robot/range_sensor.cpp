#include "robot/range_sensor.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
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

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Walls whose line passes this close to the sensor, and persons this close to it, are offered
// to every ray: there the side-of-line tests turn on rounding, not on geometry.
constexpr double kNearLine = 1e-3;
// Beyond what rounding can move a hit; far smaller than a ray's spacing either way.
constexpr double kSlack = 1e-3;

bool finite(Vec2 v) {
    return std::isfinite(v.x) && std::isfinite(v.y);
}

// Adds item to the rays whose angle lies in [lo, lo + width] (width below pi), with one ray
// to spare on each side, which is far more than rounding of the angles can account for.
void addArc(RayBuckets& buckets, std::uint32_t item, double lo, double width, double alpha,
            double step) {
    double rel = std::remainder(lo - alpha, kTwoPi);
    if (rel < 0.0) rel += kTwoPi;
    for (const double shift : {-kTwoPi, 0.0, kTwoPi}) {
        const double a = rel + shift;
        const double b = a + width;
        if (b < -step) continue;
        buckets.add(item, static_cast<std::int64_t>(std::ceil(a / step)) - 1,
                    static_cast<std::int64_t>(std::floor(b / step)) + 1);
    }
}

}  // namespace

RangeSensor::RangeSensor(const RangeSensorSettings& settings)
    : start_(settings.startAngle),
      end_(settings.endAngle),
      maxDistance_(settings.maxDistance),
      farCode_(settings.farCode),
      rayCount_(settings.rayCount),
      sensorX_(settings.x),
      sensorY_(settings.y),
      sensorHeading_(settings.heading),
      noiseSigma_(settings.noiseSigma) {
    if (start_ > end_) std::swap(start_, end_);
    const auto n = static_cast<std::size_t>(std::max(rayCount_, 0));
    readings_.assign(n, farCode_);
    rays_.assign(n, Segment{});
}

void RangeSensor::aim(double alpha, double step) {
    if (aimed_ && directions_.size() == readings_.size() &&
        std::bit_cast<std::uint64_t>(alpha) == std::bit_cast<std::uint64_t>(aimedAlpha_) &&
        std::bit_cast<std::uint64_t>(step) == std::bit_cast<std::uint64_t>(aimedStep_))
        return;
    aimed_ = true;
    aimedAlpha_ = alpha;
    aimedStep_ = step;
    directions_.resize(readings_.size());
    // The angle grows by repeated addition, ray by ray.
    for (Vec2& u : directions_) {
        u = {std::cos(alpha), std::sin(alpha)};
        alpha += step;
    }
}

bool RangeSensor::canSort(Vec2 o, double step) const {
    // A handful of rays, or a fan wrapping more than once and a half, gains nothing.
    const std::size_t n = readings_.size();
    return !plainLoops_ && n >= 16 && step > 0.0 && finite(o) &&
           static_cast<double>(n) * step <= 3.0 * std::numbers::pi;
}

void RangeSensor::sortWallsIntoRays(Vec2 o, double alpha, double step,
                                    std::span<const Segment> walls) {
    const std::size_t n = readings_.size();
    wallRays_.reset(n);
    // Unknown unless the wall is well clear of the sensor's spot.
    wallReach_.assign(walls.size(), -std::numeric_limits<double>::infinity());
    for (std::size_t k = 0; k < walls.size(); ++k) {
        const auto item = static_cast<std::uint32_t>(k);
        const Segment& w = walls[k];
        const Vec2 a = w.origin - o;
        const Vec2 b = w.end() - o;
        if (!finite(a) || !finite(b) || !finite(w.direction)) {
            wallRays_.add(item, 0, static_cast<std::int64_t>(n) - 1);
            continue;
        }
        const double length = w.direction.length();
        if (length == 0.0) continue;  // both ends on one side of every ray: never crossed
        if (std::fabs(w.direction.cross(a)) / length < kNearLine) {
            wallRays_.add(item, 0, static_cast<std::int64_t>(n) - 1);
            continue;
        }
        const double along = std::clamp(-a.dot(w.direction) / (length * length), 0.0, 1.0);
        const double nearest = (a + w.direction * along).length();
        if (nearest > maxDistance_ + kSlack) continue;
        // No ray meets the wall nearer than this many millimetres; the wall's line keeps a
        // millimetre from the sensor, so the rays that cross it do so at a clear angle and
        // their hit distances are exact to far better than a micrometre.
        wallReach_[k] = 1000.0 * (nearest - 1e-6);
        const double fromA = std::atan2(a.y, a.x);
        const double delta = std::remainder(std::atan2(b.y, b.x) - fromA, kTwoPi);
        if (std::fabs(delta) > std::numbers::pi - 1e-6) {
            wallRays_.add(item, 0, static_cast<std::int64_t>(n) - 1);
            continue;
        }
        addArc(wallRays_, item, delta >= 0.0 ? fromA : fromA + delta, std::fabs(delta), alpha,
               step);
    }
    wallRays_.finish();
}

void RangeSensor::sortPersonsIntoRays(Vec2 o, double alpha, double step,
                                      std::span<const Vec2> persons, double personRadius) {
    const std::size_t n = readings_.size();
    personRays_.reset(n);
    if (personRadius > 0.0) {
        for (std::size_t j = 0; j < persons.size(); ++j) {
            const auto item = static_cast<std::uint32_t>(j);
            const Vec2 v = persons[j] - o;
            const double d = v.length();
            if (!finite(v) || !(d > personRadius + kSlack)) {
                personRays_.add(item, 0, static_cast<std::int64_t>(n) - 1);
                continue;
            }
            if (d > maxDistance_ + personRadius + kSlack) continue;
            // Only rays ahead within this angle pass the distance-to-line test of a hit.
            const double half = std::asin(std::min(1.0, (personRadius + 1e-6) / d));
            addArc(personRays_, item, std::atan2(v.y, v.x) - half, 2.0 * half, alpha, step);
        }
    }
    personRays_.finish();
}

RangeSensor::Fan RangeSensor::fanAt(const Pose2D& robotPose) const {
    const double c = std::cos(robotPose.heading);
    const double s = std::sin(robotPose.heading);
    return {{robotPose.x + c * sensorX_ - s * sensorY_, robotPose.y + s * sensorX_ + c * sensorY_},
            robotPose.heading + sensorHeading_ + (start_ - 90.0) * kRadiansPerDegree,
            angularStep() * kRadiansPerDegree};
}

bool RangeSensor::castFrom(const Fan& fan, std::span<const Segment> walls) const {
    const auto same = [](double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    };
    return cast_ && same(fan.origin.x, castFan_.origin.x) &&
           same(fan.origin.y, castFan_.origin.y) && same(fan.alpha, castFan_.alpha) &&
           same(fan.step, castFan_.step) && walls.data() == castWalls_.data() &&
           walls.size() == castWalls_.size() && castPlain_ == plainLoops_;
}

void RangeSensor::castAtWalls(const Pose2D& robotPose, std::span<const Segment> walls) {
    const Fan fan = fanAt(robotPose);
    castAhead_ = true;
    // A robot standing still sees the walls as it saw them in the last cycle.
    if (!castFrom(fan, walls)) cast(fan, walls);
}

void RangeSensor::cast(const Fan& fan, std::span<const Segment> walls) {
    aim(fan.alpha, fan.step);
    const Vec2 o = fan.origin;
    wallReadings_.resize(readings_.size());
    const bool sorted = canSort(o, fan.step);
    if (sorted) sortWallsIntoRays(o, fan.alpha, fan.step, walls);
    for (std::size_t i = 0; i < readings_.size(); ++i) {
        const Vec2 u = directions_[i];
        const Segment unitRay{u, o};
        const Segment raySegment{u * maxDistance_, o};
        std::int32_t reading = farCode_;
        const auto tryWall = [&](const Segment& wall) {
            double t = 0.0;
            if (wallHit(raySegment, unitRay, wall, t)) takeNearer(reading, 1000.0 * t, farCode_);
        };
        if (sorted) {
            for (const std::uint32_t k : wallRays_.items(i)) {
                // A wall that cannot come nearer than the reading so far cannot change it.
                if (reading != farCode_ && reading <= wallReach_[k]) continue;
                tryWall(walls[k]);
            }
        } else {
            for (const Segment& wall : walls) tryWall(wall);
        }
        wallReadings_[i] = reading;
    }
    cast_ = true;
    castFan_ = fan;
    castWalls_ = walls;
    castPlain_ = plainLoops_;
}

void RangeSensor::scan(const Pose2D& robotPose, std::span<const Segment> walls,
                       std::span<const Vec2> persons, double personRadius, CRandom& rng) {
    const Fan fan = fanAt(robotPose);
    if (!castAhead_ || !castFrom(fan, walls)) cast(fan, walls);
    castAhead_ = false;
    const Vec2 o = castFan_.origin;
    const GaussianRandom noise{0.0, noiseSigma_};
    const bool sorted = canSort(o, castFan_.step);
    if (sorted) sortPersonsIntoRays(o, castFan_.alpha, castFan_.step, persons, personRadius);

    for (std::size_t i = 0; i < readings_.size(); ++i) {
        const Vec2 u = directions_[i];
        const Segment raySegment{u * maxDistance_, o};
        // The walls first, then the persons, as one nearest-hit search over both.
        std::int32_t reading = wallReadings_[i];
        const auto tryPerson = [&](Vec2 p) {
            double range = 0.0;
            if (personHit(o, u, maxDistance_, p, personRadius, range))
                takeNearer(reading, 1000.0 * range, farCode_);
        };
        if (personRadius > 0.0) {
            if (sorted)
                for (const std::uint32_t j : personRays_.items(i)) tryPerson(persons[j]);
            else
                for (const Vec2& p : persons) tryPerson(p);
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
