#include "sim/config_file.hpp"

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

// A '#' after white space starts a comment; one inside a value ("room#2.txt") does not.
std::string_view withoutComment(std::string_view line) {
    for (std::size_t i = 1; i < line.size(); ++i)
        if (line[i] == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t'))
            return trim(line.substr(0, i));
    return line;
}

// Keys of a component configuration file that the runtime, not the component, reads.
bool runtimeKey(std::string_view key) {
    for (std::string_view prefix : {"exec_cxt.", "port.", "naming.", "corba.", "logger.", "sdo.",
                                    "configuration.", "manager.", "os."})
        if (key.substr(0, prefix.size()) == prefix) return true;
    for (std::string_view profileKey :
         {"implementation_id", "type_name", "description", "version", "vendor", "category",
          "activity_type", "kind", "max_instance", "language", "lang_type", "instance_name"})
        if (key == profileKey) return true;
    return false;
}

// Why a key names nothing the component or the runtime reads; empty when it is known.
std::string unknownKey(std::string_view key) {
    constexpr std::string_view kConf = "conf.";
    if (key.substr(0, kConf.size()) == kConf) {
        const std::string_view rest = key.substr(kConf.size());
        const auto dot = rest.find('.');
        const std::string_view set = rest.substr(0, dot);
        if (dot == std::string_view::npos)
            return "no parameter named in \"" + std::string(key) + "\"";
        // Hidden sets (widgets, constraints) describe parameters for tools.
        if (findParameter(rest.substr(dot + 1)) != nullptr || set.substr(0, 1) == "_") return {};
        return "unknown parameter \"" + std::string(rest.substr(dot + 1)) + "\"";
    }
    if (runtimeKey(key)) return {};
    if (findParameter(key) != nullptr)
        return "unknown key \"" + std::string(key) + "\" (write conf.default." + std::string(key) +
               ")";
    return "unknown key \"" + std::string(key) + "\"";
}

}  // namespace

bool readConfigFile(const std::string& path, Configuration& config, std::ostream& err) {
    std::ifstream in(path);
    if (!in) {
        err << path << ": cannot open the configuration file\n";
        return false;
    }
    Configuration updated = config;
    bool unknown = false;
    std::string raw;
    for (int lineNo = 1; std::getline(in, raw); ++lineNo) {
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#') continue;
        line = withoutComment(line);
        const auto sep = line.find_first_of(":=");
        if (sep == std::string_view::npos) {
            err << path << ":" << lineNo << ": expected \"key: value\"\n";
            return false;
        }
        const std::string_view key = trim(line.substr(0, sep));
        const std::string_view value = trim(line.substr(sep + 1));
        if (const std::string why = unknownKey(key); !why.empty()) {
            // Every one is named, so that one run shows all the typos.
            err << path << ":" << lineNo << ": " << why << "\n";
            unknown = true;
            continue;
        }
        constexpr std::string_view kDefault = "conf.default.";
        if (key.substr(0, kDefault.size()) != kDefault) continue;  // other sets, runtime keys
        std::string error;
        if (!setParameter(updated, key.substr(kDefault.size()), value, error)) {
            err << path << ":" << lineNo << ": " << error << "\n";
            return false;
        }
    }
    if (unknown) return false;
    config = updated;
    return true;
}

}  // namespace vostrel
