#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "environment/network_canvas.hpp"
#include "environment/spatial_network_builder.hpp"

namespace vostrel {
namespace {

struct RecordingSink : DebugImageSink {
    std::vector<std::pair<std::string, DebugImage>> images;
    void write(const std::string& name, const DebugImage& image) override {
        images.emplace_back(name, image);
    }
};

// "C" a green ring, "c" a red one; a line is its colour and thickness: "K3" black 3, "B1" blue 1.
std::string style(const DebugImage::Shape& s) {
    if (const auto* c = std::get_if<DebugImage::Circle>(&s))
        return c->radius == 6 && c->thickness == 2 ? (c->colour == DebugImage::kRed ? "c" : "C")
                                                   : "?";
    const auto& l = std::get<DebugImage::Line>(s);
    const char colour = l.colour == DebugImage::kBlack  ? 'K'
                        : l.colour == DebugImage::kBlue ? 'B'
                        : l.colour == DebugImage::kRed  ? 'R'
                                                        : '?';
    return colour + std::to_string(l.thickness);
}

// The styles in drawing order, runs of equal styles collapsed: "K3x5 Cx6".
std::string runs(const std::vector<std::string>& styles) {
    std::string out;
    for (std::size_t i = 0, j = 0; i < styles.size(); i = j) {
        while (j < styles.size() && styles[j] == styles[i]) ++j;
        out += (out.empty() ? "" : " ") + styles[i] + "x" + std::to_string(j - i);
    }
    return out;
}

std::string summary(const DebugImage& image, bool sorted = false) {
    std::vector<std::string> styles;
    for (const auto& s : image.shapes) styles.push_back(style(s));
    // Lines come in edge order, where splitting interleaves kinds; rings always come last.
    if (sorted)
        std::stable_sort(styles.begin(), styles.end(), [](const auto& x, const auto& y) {
            return (x.size() > 1) > (y.size() > 1) || ((x.size() > 1) == (y.size() > 1) && x < y);
        });
    return runs(styles);
}

TEST(NetworkImages, StepPicturesAndPolygonPicture) {
    Walls walls;
    for (auto [a, b] : {std::pair{Vec2{0, 0}, Vec2{10, 0}},
                        {Vec2{10, 0}, Vec2{10, 6}},
                        {Vec2{10, 6}, Vec2{0, 6}},
                        {Vec2{0, 6}, Vec2{0, 0}},
                        {Vec2{3, 3}, Vec2{7, 3}}})
        walls.add(Segment::fromPoints(a, b));
    RecordingSink sink;
    std::ostringstream err, out;
    const SpatialNetworkBuilder builder(walls, err, out, &sink);

    ASSERT_EQ(sink.images.size(), 4u);
    const std::vector<std::string> names{"Images/0000.png", "Images/0001.png", "Images/0002.png",
                                         "Images/Polygons.png"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(sink.images[i].first, names[i]);
        EXPECT_EQ(sink.images[i].second.width, 401);
        EXPECT_EQ(sink.images[i].second.height, 241);
    }
    const auto& firstWall = std::get<DebugImage::Line>(sink.images[0].second.shapes[0]);
    EXPECT_EQ(firstWall.from, (DebugImage::Pixel{0, 240}));
    EXPECT_EQ(firstWall.to, (DebugImage::Pixel{400, 240}));

    // Six cuts from the free wall's ends split the room walls: 11 wall edges, 6 cut vertices.
    EXPECT_EQ(summary(sink.images[0].second), "K3x5 Cx6");
    EXPECT_EQ(summary(sink.images[1].second, true), "K3x11 R1x6 Cx6 cx6");
    EXPECT_TRUE(summary(sink.images[1].second).ends_with(" Cx6 cx6"));
    const std::size_t triangleEdges = builder.graph().edges().size() - 17;
    EXPECT_EQ(summary(sink.images[2].second, true),
              "B1x" + std::to_string(triangleEdges) + " K3x11 R1x6 Cx6 cx6");

    std::size_t sides = 0;
    for (const NetworkPolygon& p : builder.polygons())
        if (p.mergedInto == -1) sides += p.shape.corners().size();
    EXPECT_EQ(summary(sink.images[3].second), "B1x" + std::to_string(sides) + " K3x11");
}

std::vector<NetworkVertex> vertexList(std::initializer_list<Vec2> points) {
    std::vector<NetworkVertex> v;
    for (Vec2 p : points) v.push_back({p.x, p.y, 0});
    return v;
}

TEST(NetworkImages, PixelMapping) {
    // Truncation, not rounding; y runs down from the highest vertex.
    const NetworkCanvas canvas(vertexList({{0.3, 0.01}, {10, 6}}));
    EXPECT_EQ(canvas.pixel({0.3, 0.01}), (DebugImage::Pixel{12, 239}));
    // The extent starts at the origin, whatever lies below it.
    const NetworkCanvas negative(vertexList({{-1, -1}}));
    EXPECT_EQ(negative.width(), 1);
    EXPECT_EQ(negative.pixel({-1, -1}), (DebugImage::Pixel{-40, 40}));
    // Absurd coordinates saturate instead of overflowing int.
    const NetworkCanvas huge(vertexList({{1e30, 1e30}}));
    EXPECT_GT(huge.width(), 1 << 20);
    EXPECT_EQ(huge.pixel({-1e30, 0}).x, -huge.width() + 1);
}

}  // namespace
}  // namespace vostrel
