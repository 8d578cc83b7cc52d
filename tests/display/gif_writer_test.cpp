#include "display/gif_writer.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "display/display_colours.hpp"
#include "gif_reader.hpp"

namespace vostrel {
namespace {

using testing::readGif;

// A blue, green, red image of w x h pixels.
struct Image {
    int w, h;
    std::vector<std::uint8_t> bgr =
        std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 3, 255);
    void set(int x, int y, Rgb c) {
        std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * w + x) * 3];
        p[0] = c.blue, p[1] = c.green, p[2] = c.red;
    }
    Rgb get(int x, int y) const {
        const std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * w + x) * 3];
        return {p[2], p[1], p[0]};
    }
};

std::string scratch(const std::string& name) {
    return ::testing::TempDir() + name;
}

// What the palette turns a colour into.
Rgb stored(const testing::GifFile& gif, std::uint8_t index) {
    return {gif.palette[3 * index], gif.palette[3 * index + 1], gif.palette[3 * index + 2]};
}

bool same(Rgb a, Rgb b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

TEST(GifWriter, TheDisplaysFlatColoursAreStoredExactly) {
    const std::uint8_t* rgb = GifWriter::paletteRgb();
    std::vector<Rgb> flat{{255, 255, 255}, {0, 0, 0}, {0, 0, 255}, {255, 0, 0}, {0, 255, 0}};
    flat.insert(flat.end(), std::begin(colours::kExtra), std::end(colours::kExtra));
    for (const Rgb c : flat) {
        const std::uint8_t i = GifWriter::paletteIndex(c.red, c.green, c.blue);
        EXPECT_TRUE(same({rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]}, c))
            << int(c.red) << "," << int(c.green) << "," << int(c.blue);
    }
    // Anti-aliased greys go to a near grey, not to some colour.
    const std::uint8_t g = GifWriter::paletteIndex(120, 120, 120);
    EXPECT_NEAR(rgb[3 * g], 120, 8);
    EXPECT_EQ(rgb[3 * g], rgb[3 * g + 2]);
}

TEST(GifWriter, FramesDecodeToWhatWasDrawn) {
    // A noisy frame fills the code table many times over (clear codes, all code widths); the
    // later frames change a small part only, then nothing.
    Image a{97, 61};
    std::mt19937 draw(7);
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x)
            a.set(x, y,
                  {static_cast<std::uint8_t>(draw() % 6 * 51),
                   static_cast<std::uint8_t>(draw() % 6 * 51),
                   static_cast<std::uint8_t>(draw() % 6 * 51)});
    Image b = a;
    for (int x = 10; x < 20; ++x) b.set(x, 30, colours::kRobot);
    const std::vector<Image> frames{a, b, b, Image{97, 61}};

    const std::string path = scratch("frames.gif");
    {
        GifWriter gif(path, 100);
        for (const Image& f : frames)
            ASSERT_TRUE(gif.addFrame(f.bgr.data(), f.w, f.h, static_cast<std::size_t>(f.w) * 3))
                << gif.error();
        EXPECT_TRUE(gif.finish());
        EXPECT_EQ(gif.frames(), 4u);
    }
    const testing::GifFile gif = readGif(path);
    ASSERT_EQ(gif.error, "");
    EXPECT_EQ(gif.width, 97);
    EXPECT_EQ(gif.height, 61);
    EXPECT_TRUE(gif.loops);
    ASSERT_EQ(gif.frames.size(), 4u);
    EXPECT_EQ(gif.delays, (std::vector<int>{10, 10, 10, 10}));
    for (std::size_t f = 0; f < frames.size(); ++f)
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x)
                ASSERT_TRUE(same(stored(gif, gif.frames[f][y * a.w + x]), frames[f].get(x, y)))
                    << "frame " << f << " pixel " << x << "," << y;
    // Later frames store only what changed.
    EXPECT_LT(std::filesystem::file_size(path), 3u * 97 * 61);
}

TEST(GifWriter, RefusesWhatItCannotStore) {
    GifWriter bad("/no/such/dir/run.gif", 100);
    EXPECT_FALSE(bad.ok());
    EXPECT_NE(bad.error(), "");

    const std::string path = scratch("sizes.gif");
    GifWriter gif(path, 40);
    const Image small{4, 3}, large{5, 3};
    EXPECT_TRUE(gif.addFrame(small.bgr.data(), 4, 3, 12));
    EXPECT_FALSE(gif.addFrame(large.bgr.data(), 5, 3, 15));
    EXPECT_NE(gif.error().find("5 x 3"), std::string::npos) << gif.error();
    EXPECT_FALSE(gif.addFrame(small.bgr.data(), 4, 3, 12));  // stays failed
    EXPECT_FALSE(gif.finish());
    // The frames before the refusal are still a sound file.
    const testing::GifFile read = readGif(path);
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.frames.size(), 1u);
    EXPECT_EQ(read.delays, std::vector<int>{4});
}

TEST(GifWriter, AnEmptyRunIsStillAnImage) {
    const std::string path = scratch("empty.gif");
    EXPECT_TRUE(GifWriter(path, 100).finish());
    const testing::GifFile gif = readGif(path);
    EXPECT_EQ(gif.error, "");
    EXPECT_EQ(gif.frames.size(), 1u);
}

}  // namespace
}  // namespace vostrel
