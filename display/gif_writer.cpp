#include "display/gif_writer.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "display/display_colours.hpp"

namespace vostrel {

namespace {

constexpr int kCubeLevels = 6;

struct Palette {
    std::array<std::uint8_t, 256 * 3> rgb{};
    // Nearest palette entry of every colour at 5 bits per channel.
    std::array<std::uint8_t, 32768> nearest{};

    static int key(int r, int g, int b) { return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3); }

    Palette() {
        int n = 0;
        const auto add = [&](int r, int g, int b) {
            rgb[3 * n] = static_cast<std::uint8_t>(r);
            rgb[3 * n + 1] = static_cast<std::uint8_t>(g);
            rgb[3 * n + 2] = static_cast<std::uint8_t>(b);
            ++n;
        };
        for (int r = 0; r < kCubeLevels; ++r)
            for (int g = 0; g < kCubeLevels; ++g)
                for (int b = 0; b < kCubeLevels; ++b) add(r * 51, g * 51, b * 51);
        for (const Rgb& c : colours::kExtra) add(c.red, c.green, c.blue);
        const int greys = 256 - n;
        for (int i = 1; i <= greys; ++i) {
            const int v = static_cast<int>(std::lround(255.0 * i / (greys + 1)));
            add(v, v, v);
        }
        for (int k = 0; k < 32768; ++k) {
            const int r = (k >> 10) << 3 | 4, g = ((k >> 5) & 31) << 3 | 4, b = (k & 31) << 3 | 4;
            int best = 0, bestDistance = std::numeric_limits<int>::max();
            for (int i = 0; i < 256; ++i) {
                const int dr = r - rgb[3 * i], dg = g - rgb[3 * i + 1], db = b - rgb[3 * i + 2];
                const int d = dr * dr + dg * dg + db * db;
                if (d < bestDistance) best = i, bestDistance = d;
            }
            nearest[k] = static_cast<std::uint8_t>(best);
        }
        // Exact colours win their own cell, whatever lies nearer to its centre.
        const int exact =
            kCubeLevels * kCubeLevels * kCubeLevels + static_cast<int>(std::size(colours::kExtra));
        for (int i = 0; i < exact; ++i)
            nearest[key(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2])] = static_cast<std::uint8_t>(i);
    }
};

const Palette& palette() {
    static const Palette p;
    return p;
}

void put16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xff));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
}

// Variable-width LZW as the format wants it: 8-bit symbols, codes of 9 to 12 bits, least
// significant bit first, a clear code whenever the table is full.
class LzwEncoder {
  public:
    explicit LzwEncoder(std::vector<std::uint8_t>& out) : out_(out), table_(4096 * 256, 0) {}

    void encode(const std::vector<std::uint8_t>& symbols) {
        reset();
        emit(kClear);
        int prefix = symbols.front();
        for (std::size_t i = 1; i < symbols.size(); ++i) {
            const std::uint8_t c = symbols[i];
            std::uint16_t& entry = table_[static_cast<std::size_t>(prefix) * 256 + c];
            if (entry != 0) {
                prefix = entry;
                continue;
            }
            emit(prefix);
            if (next_ < 4096) {
                entry = static_cast<std::uint16_t>(next_++);
                used_.push_back(static_cast<std::size_t>(prefix) * 256 + c);
                // The decoder learns each code one step later, hence ">" rather than ">=".
                if (next_ > (1 << width_) && width_ < 12) ++width_;
            } else {
                emit(kClear);
                reset();
            }
            prefix = c;
        }
        emit(prefix);
        emit(kEnd);
        if (bits_ > 0) out_.push_back(static_cast<std::uint8_t>(buffer_ & 0xff));
    }

  private:
    static constexpr int kClear = 256;
    static constexpr int kEnd = 257;

    void reset() {
        // Only the entries made since the last reset: wiping all 2 MiB each time would cost
        // more than the encoding.
        for (const std::size_t i : used_) table_[i] = 0;
        used_.clear();
        next_ = kEnd + 1;
        width_ = 9;
    }
    void emit(int code) {
        buffer_ |= static_cast<std::uint32_t>(code) << bits_;
        bits_ += width_;
        while (bits_ >= 8) {
            out_.push_back(static_cast<std::uint8_t>(buffer_ & 0xff));
            buffer_ >>= 8;
            bits_ -= 8;
        }
    }

    std::vector<std::uint8_t>& out_;
    std::vector<std::uint16_t> table_;  // (prefix code, symbol) -> code; 0 is "none"
    std::vector<std::size_t> used_;
    int next_ = kEnd + 1;
    int width_ = 9;
    std::uint32_t buffer_ = 0;
    int bits_ = 0;
};

}  // namespace

std::uint8_t GifWriter::paletteIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return palette().nearest[static_cast<std::size_t>(Palette::key(red, green, blue))];
}

const std::uint8_t* GifWriter::paletteRgb() {
    return palette().rgb.data();
}

GifWriter::GifWriter(std::string path, int frameMs)
    : path_(std::move(path)),
      file_(path_, std::ios::binary | std::ios::trunc),
      delay_(std::clamp((frameMs + 5) / 10, 2, 65535)) {
    if (!file_) fail("cannot be opened for writing");
}

GifWriter::~GifWriter() {
    finish();
}

void GifWriter::fail(std::string reason) {
    if (error_.empty()) error_ = std::move(reason);
}

bool GifWriter::addFrame(const std::uint8_t* bgr, int width, int height, std::size_t stride) {
    if (!ok() || finished_) return false;
    if (width < 1 || height < 1 || width > 65535 || height > 65535) {
        fail("a frame of " + std::to_string(width) + " x " + std::to_string(height) +
             " pixels cannot be stored");
        return false;
    }
    if (frames_ == 0) {
        width_ = width;
        height_ = height;
        writeHeader(width, height);
    } else if (width != width_ || height != height_) {
        fail("frame sizes differ (" + std::to_string(width) + " x " + std::to_string(height) +
             " after " + std::to_string(width_) + " x " + std::to_string(height_) + ")");
        return false;
    }
    const Palette& p = palette();
    current_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bgr + static_cast<std::size_t>(y) * stride;
        std::uint8_t* out = current_.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x, row += 3)
            out[x] = p.nearest[static_cast<std::size_t>(Palette::key(row[2], row[1], row[0]))];
    }
    int left = 0, top = 0, right = width - 1, bottom = height - 1;
    if (frames_ > 0) {
        // The changed rectangle; an unchanged frame still needs one pixel to carry its delay.
        left = width, top = height, right = -1, bottom = -1;
        for (int y = 0; y < height; ++y) {
            const std::size_t row = static_cast<std::size_t>(y) * width;
            for (int x = 0; x < width; ++x) {
                if (current_[row + x] == previous_[row + x]) continue;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
        if (right < 0) left = top = right = bottom = 0;
    }
    writeFrame(left, top, right - left + 1, bottom - top + 1);
    std::swap(current_, previous_);
    ++frames_;
    if (!file_) fail("write failed");
    return ok();
}

void GifWriter::writeHeader(int width, int height) {
    std::vector<std::uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};
    put16(out, width);
    put16(out, height);
    out.push_back(0xf7);  // global palette of 256 entries, 8 bits per primary
    out.push_back(0);     // background: palette entry 0
    out.push_back(0);     // square pixels
    out.insert(out.end(), palette().rgb.begin(), palette().rgb.end());
    // Loop for ever.
    const char loop[] = "\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00";
    out.insert(out.end(), loop, loop + sizeof loop - 1);
    file_.write(reinterpret_cast<const char*>(out.data()),
                static_cast<std::streamsize>(out.size()));
}

void GifWriter::writeFrame(int left, int top, int width, int height) {
    std::vector<std::uint8_t> out{0x21, 0xf9, 0x04, 0x04};  // control: keep the frame below
    put16(out, delay_);
    out.push_back(0);  // no transparent colour
    out.push_back(0);
    out.push_back(0x2c);
    put16(out, left);
    put16(out, top);
    put16(out, width);
    put16(out, height);
    out.push_back(0);  // no local palette, not interlaced
    out.push_back(8);  // minimum code size

    std::vector<std::uint8_t> symbols;
    symbols.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = top; y < top + height; ++y) {
        const auto row = current_.begin() + static_cast<std::ptrdiff_t>(y) * width_;
        symbols.insert(symbols.end(), row + left, row + left + width);
    }
    std::vector<std::uint8_t> data;
    LzwEncoder(data).encode(symbols);
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - i);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                   data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    out.push_back(0);
    file_.write(reinterpret_cast<const char*>(out.data()),
                static_cast<std::streamsize>(out.size()));
}

bool GifWriter::finish() {
    if (finished_) return ok();
    finished_ = true;
    if (!file_.is_open()) return ok();
    if (frames_ == 0 && ok()) {
        // A file without frames would not open in a viewer; one white pixel says "empty run".
        const std::uint8_t white[3] = {255, 255, 255};
        finished_ = false;
        addFrame(white, 1, 1, 3);
        finished_ = true;
    }
    file_.put(0x3b);
    file_.close();
    if (file_.fail()) fail("write failed");
    return ok();
}

}  // namespace vostrel
