#include "gif_reader.hpp"

#include <fstream>
#include <iterator>

namespace vostrel::testing {

namespace {

struct Bytes {
    std::vector<std::uint8_t> data;
    std::size_t at = 0;
    bool more(std::size_t n) const { return at + n <= data.size(); }
    int u8() { return more(1) ? data[at++] : -1; }
    int u16() {
        const int lo = u8(), hi = u8();
        return lo < 0 || hi < 0 ? -1 : lo | hi << 8;
    }
    std::vector<std::uint8_t> subBlocks() {
        std::vector<std::uint8_t> out;
        for (int n = u8(); n > 0; n = u8()) {
            if (!more(static_cast<std::size_t>(n))) return {};
            out.insert(out.end(), data.begin() + at, data.begin() + at + n);
            at += n;
        }
        return out;
    }
};

// Returns false on any code the stream could not hold.
bool decodeLzw(const std::vector<std::uint8_t>& in, int minSize, std::vector<std::uint8_t>& out) {
    const int clear = 1 << minSize, end = clear + 1;
    std::vector<std::vector<std::uint8_t>> table;
    const auto reset = [&] {
        table.assign(clear + 2, {});
        for (int i = 0; i < clear; ++i) table[i] = {static_cast<std::uint8_t>(i)};
    };
    reset();
    int width = minSize + 1, previous = -1;
    std::size_t bit = 0;
    for (;;) {
        if (bit + width > in.size() * 8) return false;  // no end code
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit) code |= ((in[bit / 8] >> (bit % 8)) & 1) << i;
        if (code == clear) {
            reset();
            width = minSize + 1;
            previous = -1;
            continue;
        }
        if (code == end) return true;
        std::vector<std::uint8_t> entry;
        if (code < static_cast<int>(table.size()) && !table[code].empty())
            entry = table[code];
        else if (code == static_cast<int>(table.size()) && previous >= 0)
            entry = table[previous], entry.push_back(table[previous][0]);
        else
            return false;
        if (previous >= 0) {
            if (table.size() >= 4096) return false;
            std::vector<std::uint8_t> added = table[previous];
            added.push_back(entry[0]);
            table.push_back(std::move(added));
            if (table.size() == (1u << width) && width < 12) ++width;
        }
        out.insert(out.end(), entry.begin(), entry.end());
        previous = code;
    }
}

}  // namespace

GifFile readGif(const std::string& path) {
    GifFile gif;
    std::ifstream file(path, std::ios::binary);
    Bytes b{{std::istreambuf_iterator<char>(file), {}}};
    const auto fail = [&](const std::string& why) {
        gif.error = why + " at byte " + std::to_string(b.at);
        return gif;
    };
    if (b.data.size() < 13 || std::string(b.data.begin(), b.data.begin() + 6) != "GIF89a")
        return fail("no GIF89a header");
    b.at = 6;
    gif.width = b.u16();
    gif.height = b.u16();
    const int flags = b.u8();
    b.at += 2;
    if (!(flags & 0x80)) return fail("no global palette");
    const std::size_t colours = std::size_t{2} << (flags & 7);
    if (!b.more(colours * 3)) return fail("short palette");
    gif.palette.assign(b.data.begin() + b.at, b.data.begin() + b.at + colours * 3);
    b.at += colours * 3;
    std::vector<std::uint8_t> canvas(static_cast<std::size_t>(gif.width) * gif.height, 0);
    int delay = 0;
    for (;;) {
        const int block = b.u8();
        if (block == 0x3b) break;
        if (block == 0x21) {
            const int label = b.u8();
            const std::vector<std::uint8_t> body = b.subBlocks();
            if (label == 0xf9 && body.size() == 4) delay = body[1] | body[2] << 8;
            if (label == 0xff && body.size() >= 11 &&
                std::string(body.begin(), body.begin() + 11) == "NETSCAPE2.0")
                gif.loops = true;
            continue;
        }
        if (block != 0x2c) return fail("unknown block " + std::to_string(block));
        const int left = b.u16(), top = b.u16(), w = b.u16(), h = b.u16();
        const int imageFlags = b.u8();
        if (imageFlags != 0) return fail("local palette or interlace");
        if (w < 1 || h < 1 || left + w > gif.width || top + h > gif.height)
            return fail("frame outside the screen");
        const int minSize = b.u8();
        std::vector<std::uint8_t> pixels;
        if (!decodeLzw(b.subBlocks(), minSize, pixels)) return fail("bad LZW data");
        if (pixels.size() != static_cast<std::size_t>(w) * h)
            return fail("frame holds " + std::to_string(pixels.size()) + " pixels");
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                canvas[static_cast<std::size_t>(top + y) * gif.width + left + x] =
                    pixels[static_cast<std::size_t>(y) * w + x];
        gif.frames.push_back(canvas);
        gif.delays.push_back(delay);
    }
    if (b.at != b.data.size()) return fail("bytes after the trailer");
    return gif;
}

}  // namespace vostrel::testing
