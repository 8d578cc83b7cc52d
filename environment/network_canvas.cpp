#include "environment/network_canvas.hpp"

#include <algorithm>

namespace vostrel {

namespace {

// Far beyond any image that can be written, yet safely inside int: coordinates of an
// absurdly large or broken environment must not overflow the conversion.
constexpr double kPixelLimit = 1 << 24;

int toPixel(double v) {
    if (!(v > -kPixelLimit)) return -static_cast<int>(kPixelLimit);
    if (v > kPixelLimit) return static_cast<int>(kPixelLimit);
    return static_cast<int>(v);  // truncation, as the pictures have always been drawn
}

DebugImage::Line line(const NetworkCanvas& c, Vec2 a, Vec2 b, DebugImage::Rgb colour,
                      int thickness) {
    return {c.pixel(a), c.pixel(b), colour, thickness};
}

}  // namespace

NetworkCanvas::NetworkCanvas(const std::vector<NetworkVertex>& vertices) {
    double right = 0.0;
    for (const NetworkVertex& v : vertices) {
        right = std::max(right, kScale * v.x);
        top_ = std::max(top_, kScale * v.y);
    }
    width_ = toPixel(right) + 1;
    height_ = toPixel(top_) + 1;
}

DebugImage::Pixel NetworkCanvas::pixel(Vec2 p) const {
    return {toPixel(kScale * p.x), toPixel(top_ - kScale * p.y)};
}

DebugImage NetworkCanvas::graphImage(const NetworkGraph& graph) {
    const NetworkCanvas canvas(graph.vertices());
    DebugImage image = canvas.blank();
    for (const NetworkEdge& e : graph.edges()) {
        const Vec2 a = graph.point(e.vertexA);
        const Vec2 b = graph.point(e.vertexB);
        switch (e.kind) {
            case EdgeKind::WallEdge:
                image.shapes.push_back(line(canvas, a, b, DebugImage::kBlack, 3));
                break;
            case EdgeKind::TriangleEdge:
                image.shapes.push_back(line(canvas, a, b, DebugImage::kBlue, 1));
                break;
            case EdgeKind::CutEdge:
                image.shapes.push_back(line(canvas, a, b, DebugImage::kRed, 1));
                break;
        }
    }
    for (const NetworkVertex& v : graph.vertices()) {
        const DebugImage::Rgb colour = v.cut == 1 ? DebugImage::kRed : DebugImage::kGreen;
        image.shapes.push_back(DebugImage::Circle{canvas.pixel(v.point()), 6, colour, 2});
    }
    return image;
}

DebugImage NetworkCanvas::polygonImage(const NetworkGraph& graph,
                                       const std::vector<Polygon>& shapes) {
    const NetworkCanvas canvas(graph.vertices());
    DebugImage image = canvas.blank();
    for (const Polygon& shape : shapes) {
        const std::vector<Vec2>& c = shape.corners();
        for (std::size_t k = 0; k < c.size(); ++k)
            image.shapes.push_back(line(canvas, c[k], c[(k + 1) % c.size()], DebugImage::kBlue, 1));
    }
    for (const NetworkEdge& e : graph.edges())
        if (e.kind == EdgeKind::WallEdge)
            image.shapes.push_back(line(canvas, graph.point(e.vertexA), graph.point(e.vertexB),
                                        DebugImage::kBlack, 3));
    return image;
}

}  // namespace vostrel
