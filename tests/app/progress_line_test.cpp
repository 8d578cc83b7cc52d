#include "app/progress_line.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace vostrel {
namespace {

TEST(ProgressLine, TheLineSaysWhereTheRunIsAndWhatIsLeft) {
    EXPECT_EQ(ProgressLine::format(120, 600, 12.0, 34, 40.0),
              "cycle 120/600  t 12.0 s  persons 34  40.0 cycles/s  0:00:12 left");
    EXPECT_EQ(ProgressLine::format(1, 100000, 0.1, 0, 2.5),
              "cycle 1/100000  t 0.1 s  persons 0  2.5 cycles/s  11:06:40 left");
    EXPECT_EQ(ProgressLine::format(0, 10, 0.0, 0, 0.0),
              "cycle 0/10  t 0.0 s  persons 0  - cycles/s  -:--:-- left");
    EXPECT_EQ(ProgressLine::format(10, 10, 1.0, 2, 0.0),
              "cycle 10/10  t 1.0 s  persons 2  - cycles/s  0:00:00 left");
}

TEST(ProgressLine, OnATerminalOneLineIsRedrawnAtMostEveryTenthOfASecond) {
    std::ostringstream out;
    SimulatedClock clock(5000);
    {
        ProgressLine line(out, 4, 100, clock, true);
        clock.advance(50);
        line.update(1, 3);  // the first is always shown
        clock.advance(50);
        line.update(2, 3);  // too soon
        clock.advance(100);
        line.update(3, 4);
        line.update(4, 5);  // the last is always shown
    }                       // the line is closed once
    EXPECT_EQ(out.str(),
              "\rcycle 1/4  t 0.1 s  persons 3  20.0 cycles/s  0:00:00 left\033[K"
              "\rcycle 3/4  t 0.3 s  persons 4  15.0 cycles/s  0:00:00 left\033[K"
              "\rcycle 4/4  t 0.4 s  persons 5  20.0 cycles/s  0:00:00 left\033[K\n");
}

TEST(ProgressLine, IntoAFileWholeLinesNowAndThen) {
    std::ostringstream out;
    SimulatedClock clock;
    ProgressLine line(out, 3000, 100, clock, false);
    for (int cycle = 1; cycle <= 3000; ++cycle) {
        clock.advance(1);
        line.update(cycle, 7);
    }
    line.finish();
    const std::string text = out.str();
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.find('\033'), std::string::npos);
    const std::regex lines(
        "(cycle \\d+/3000  t [0-9.]+ s  persons 7  [0-9.]+ cycles/s  "
        "\\d+:\\d\\d:\\d\\d left\n){4}");
    EXPECT_TRUE(std::regex_match(text, lines)) << text;  // 1, 1001, 2001, 3000
    EXPECT_NE(text.find("cycle 3000/3000  t 300.0 s  persons 7  1000.0 cycles/s  0:00:00 left\n"),
              std::string::npos);
}

}  // namespace
}  // namespace vostrel
