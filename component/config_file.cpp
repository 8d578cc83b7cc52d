#include "component/config_file.hpp"

#include <fstream>
#include <ostream>
#include <string_view>

namespace vostrel {

namespace {

std::string_view trim(std::string_view t) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!t.empty() && blank(t.front())) t.remove_prefix(1);
    while (!t.empty() && blank(t.back())) t.remove_suffix(1);
    return t;
}

}  // namespace

bool readConfigFile(const std::string& path, Configuration& config, std::ostream& err) {
    std::ifstream in(path);
    if (!in) {
        err << path << ": cannot open the configuration file\n";
        return false;
    }
    Configuration updated = config;
    std::string raw;
    for (int lineNo = 1; std::getline(in, raw); ++lineNo) {
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#') continue;
        const auto sep = line.find_first_of(":=");
        if (sep == std::string_view::npos) {
            err << path << ":" << lineNo << ": expected \"key: value\"\n";
            return false;
        }
        const std::string_view key = trim(line.substr(0, sep));
        const std::string_view value = trim(line.substr(sep + 1));
        constexpr std::string_view kDefault = "conf.default.";
        if (key.substr(0, kDefault.size()) != kDefault) continue;  // other sets and other keys
        std::string error;
        if (!setParameter(updated, key.substr(kDefault.size()), value, error)) {
            err << path << ":" << lineNo << ": " << error << "\n";
            return false;
        }
    }
    config = updated;
    return true;
}

}  // namespace vostrel
