#include <gtest/gtest.h>

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

std::vector<DebugImage::Line> lines(const DebugImage& image) {
    std::vector<DebugImage::Line> out;
    for (const auto& s : image.shapes)
        if (const auto* l = std::get_if<DebugImage::Line>(&s)) out.push_back(*l);
    return out;
}

std::vector<DebugImage::Circle> circles(const DebugImage& image) {
    std::vector<DebugImage::Circle> out;
    for (const auto& s : image.shapes)
        if (const auto* c = std::get_if<DebugImage::Circle>(&s)) out.push_back(*c);
    return out;
}

int countLines(const DebugImage& image, DebugImage::Rgb colour, int thickness) {
    int n = 0;
    for (const auto& l : lines(image)) n += l.colour == colour && l.thickness == thickness;
    return n;
}

bool linesBeforeCircles(const DebugImage& image) {
    bool circleSeen = false;
    for (const auto& s : image.shapes) {
        if (std::holds_alternative<DebugImage::Circle>(s)) circleSeen = true;
        else if (circleSeen) return false;
    }
    return true;
}

TEST(NetworkImages, ThreeStepPicturesAndThePolygonPicture) {
    Walls walls;
    for (auto [a, b] : {std::pair{Vec2{0, 0}, Vec2{10, 0}}, {Vec2{10, 0}, Vec2{10, 6}},
                        {Vec2{10, 6}, Vec2{0, 6}}, {Vec2{0, 6}, Vec2{0, 0}}, {Vec2{3, 3}, Vec2{7, 3}}})
        walls.add(Segment::fromPoints(a, b));
    RecordingSink sink;
    std::ostringstream err, out;
    const SpatialNetworkBuilder builder(walls, err, out, &sink);

    ASSERT_EQ(sink.images.size(), 4u);
    EXPECT_EQ(sink.images[0].first, "Images/0000.png");
    EXPECT_EQ(sink.images[1].first, "Images/0001.png");
    EXPECT_EQ(sink.images[2].first, "Images/0002.png");
    EXPECT_EQ(sink.images[3].first, "Images/Polygons.png");
    for (const auto& [name, image] : sink.images) {
        EXPECT_EQ(image.width, 401) << name;
        EXPECT_EQ(image.height, 241) << name;
        EXPECT_TRUE(linesBeforeCircles(image)) << name;
    }

    // Walls only, as loaded; every vertex a green ring.
    const DebugImage& walled = sink.images[0].second;
    EXPECT_EQ(countLines(walled, DebugImage::kBlack, 3), 5);
    EXPECT_EQ(lines(walled).size(), 5u);
    EXPECT_EQ(lines(walled)[0].from, (DebugImage::Pixel{0, 240}));
    EXPECT_EQ(lines(walled)[0].to, (DebugImage::Pixel{400, 240}));
    ASSERT_EQ(circles(walled).size(), 6u);
    for (const auto& c : circles(walled)) {
        EXPECT_EQ(c.colour, DebugImage::kGreen);
        EXPECT_EQ(c.radius, 6);
        EXPECT_EQ(c.thickness, 2);
    }

    // Six cuts from the free-standing wall's ends split the room walls.
    const DebugImage& cut = sink.images[1].second;
    EXPECT_EQ(countLines(cut, DebugImage::kBlack, 3), 11);
    EXPECT_EQ(countLines(cut, DebugImage::kRed, 1), 6);
    EXPECT_EQ(circles(cut).size(), 12u);
    int redRings = 0;
    for (const auto& c : circles(cut)) redRings += c.colour == DebugImage::kRed;
    EXPECT_EQ(redRings, 6);

    const DebugImage& triangulated = sink.images[2].second;
    EXPECT_EQ(countLines(triangulated, DebugImage::kBlack, 3), 11);
    EXPECT_EQ(countLines(triangulated, DebugImage::kRed, 1), 6);
    EXPECT_EQ(lines(triangulated).size(), builder.graph().edges().size());
    EXPECT_GT(countLines(triangulated, DebugImage::kBlue, 1), 0);

    // Sides of the final polygons first, the walls drawn over them.
    const DebugImage& polygons = sink.images[3].second;
    std::size_t sides = 0;
    for (const NetworkPolygon& p : builder.polygons())
        if (p.mergedInto == -1) sides += p.shape.corners().size();
    const std::vector<DebugImage::Line> drawn = lines(polygons);
    ASSERT_EQ(drawn.size(), sides + 11);
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(drawn[i].colour, i < sides ? DebugImage::kBlue : DebugImage::kBlack);
        EXPECT_EQ(drawn[i].thickness, i < sides ? 1 : 3);
    }
}

std::vector<NetworkVertex> vertexList(std::initializer_list<Vec2> points) {
    std::vector<NetworkVertex> v;
    for (Vec2 p : points) v.push_back({p.x, p.y, 0});
    return v;
}

TEST(NetworkImages, PixelMapping) {
    // Truncation, not rounding; y runs down from the highest vertex.
    const NetworkCanvas canvas(vertexList({{0.3, 0.01}, {10, 6}}));
    EXPECT_EQ(canvas.width(), 401);
    EXPECT_EQ(canvas.height(), 241);
    EXPECT_EQ(canvas.pixel({0.3, 0.01}), (DebugImage::Pixel{12, 239}));
    EXPECT_EQ(canvas.pixel({10, 6}), (DebugImage::Pixel{400, 0}));

    // The extent starts at the origin, whatever lies below it.
    const NetworkCanvas negative(vertexList({{-1, -1}}));
    EXPECT_EQ(negative.width(), 1);
    EXPECT_EQ(negative.height(), 1);
    EXPECT_EQ(negative.pixel({-1, -1}), (DebugImage::Pixel{-40, 40}));
    EXPECT_EQ(NetworkCanvas(vertexList({})).width(), 1);

    // Absurd coordinates saturate instead of overflowing int.
    const NetworkCanvas huge(vertexList({{1e30, 1e30}}));
    EXPECT_GT(huge.width(), 1 << 20);
    EXPECT_EQ(huge.pixel({-1e30, 0}).x, -huge.width() + 1);
}

}  // namespace
}  // namespace vostrel
