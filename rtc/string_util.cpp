#include "rtc/string_util.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <random>

namespace rtc {

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) {
        return {};
    }
    auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string toLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::vector<std::string> split(const std::string& s, char delim, bool keepEmpty) {
    std::vector<std::string> out;
    std::string part;
    auto flush = [&] {
        std::string t = trim(part);
        if (keepEmpty || !t.empty()) {
            out.push_back(t);
        }
        part.clear();
    };
    for (char c : s) {
        if (c == delim) {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    return out;
}

bool isYes(const std::string& value) {
    return toLower(value).find("yes") != std::string::npos;
}

std::string makeUuid() {
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}()};
    std::uint64_t hi = 0;
    std::uint64_t lo = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        hi = engine();
        lo = engine();
    }
    hi = (hi & 0xffffffffffff0fffULL) | 0x0000000000004000ULL;
    lo = (lo & 0x3fffffffffffffffULL) | 0x8000000000000000ULL;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(hi >> 32),
                  static_cast<unsigned>((hi >> 16) & 0xffff), static_cast<unsigned>(hi & 0xffff),
                  static_cast<unsigned>(lo >> 48),
                  static_cast<unsigned long long>(lo & 0xffffffffffffULL));
    return buf;
}

}  // namespace rtc
