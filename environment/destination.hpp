#pragma once

#include "environment/segment.hpp"

namespace vostrel {

enum DestinationKind : int { kExit = 0, kPoint = 1, kSeat = 2, kQueue = 3, kNoDestination = 4 };

// Where a person walks to. The kinds derive virtually so that a kind can be viewed through
// the common base without caring which one it is.
class Destination {
  public:
    Destination() = default;
    Destination(int kind, int id, double x, double y) : kind_(kind), id_(id), x_(x), y_(y) {}
    virtual ~Destination() = default;
    Destination(const Destination&) = default;
    Destination& operator=(const Destination&) = default;

    int kind() const { return kind_; }
    int id() const { return id_; }
    double x() const { return x_; }
    double y() const { return y_; }
    Vec2 position() const { return {x_, y_}; }

  private:
    int kind_ = kNoDestination;
    int id_ = -1;
    double x_ = 0.0;  // a default destination sits at the origin
    double y_ = 0.0;
};

// Leaving through a line; the position is the line's midpoint.
class Exit : public virtual Destination {
  public:
    Exit() : Destination(kExit, -1, 0.0, 0.0) {}
    Exit(int id, Segment line)
        : Destination(kExit, id, line.midpoint().x, line.midpoint().y), line_(line) {}
    const Segment& line() const { return line_; }

  private:
    Segment line_;
};

// A place to reach within an arrival radius (value, metres).
class Point : public virtual Destination {
  public:
    Point() : Destination(kPoint, -1, 0.0, 0.0) {}
    Point(int id, double x, double y, double value)
        : Destination(kPoint, id, x, y), value_(value) {}
    double value() const { return value_; }

  private:
    double value_ = 0.0;
};

class Seat : public virtual Destination {
  public:
    Seat() : Destination(kSeat, -1, 0.0, 0.0) {}
    Seat(int id, double x, double y) : Destination(kSeat, id, x, y) {}
};

// A waiting line: origin is the head, direction the spacing from one waiting person to the next.
class Queue : public virtual Destination {
  public:
    Queue() : Destination(kQueue, -1, 0.0, 0.0) {}
    Queue(int id, double x, double y, double dx, double dy)
        : Destination(kQueue, id, x, y), line_({dx, dy}, {x, y}) {}
    const Segment& line() const { return line_; }

  private:
    Segment line_;
};

}  // namespace vostrel
