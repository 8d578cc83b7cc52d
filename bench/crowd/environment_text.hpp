#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vostrel::bench {

// Writes an environment file section by section. Records are kept in the order they are added,
// so that a generated file is the same byte for byte on every run.
class EnvironmentText {
  public:
    // A comment line (without the '#') at the top of the file.
    void note(std::string_view line);
    void wall(double x1, double y1, double x2, double y2);
    // The four sides of an axis-aligned box, counter-clockwise.
    void box(double x1, double y1, double x2, double y2);
    // A gap in one side of a shell: from and to run along the side (x on south and north, y on
    // west and east), from < to.
    enum class Side { kSouth, kEast, kNorth, kWest };
    struct Opening {
        Side side;
        double from;
        double to;
    };
    // The outer walls of a width x height floor from the origin, open where the openings say.
    void shell(double width, double height, std::initializer_list<Opening> openings);
    void entrance(int id, double x1, double y1, double x2, double y2, double mean, double sd);
    void exit(int id, double x1, double y1, double x2, double y2);
    void point(int id, double x, double y, double radius);
    void seat(int id, double x, double y);
    void queue(int id, double x, double y, double dx, double dy);
    void action(int id, char kind, int destination, int next, double mean, double sd);
    void firstAction(int id);

    int walls() const { return walls_; }
    std::string text() const;

  private:
    std::string notes_, walls_text_, entrances_, destinations_, actions_, first_;
    int walls_ = 0;
};

}  // namespace vostrel::bench
