#include "app/command_script.hpp"

#include <fstream>
#include <ostream>
#include <sstream>

namespace vostrel {

std::optional<CommandScript> readCommandScript(const std::string& path, std::ostream& err) {
    std::ifstream in(path);
    if (!in) {
        err << path << ": cannot open the command file\n";
        return std::nullopt;
    }
    CommandScript script;
    std::string line;
    for (int lineNo = 1; std::getline(in, line); ++lineNo) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream fields(line);
        int cycle = 0;
        VelocityCommand c;
        std::string rest;
        if (!(fields >> cycle)) {
            if (fields.eof() && line.find_first_not_of(" \t\r") == std::string::npos) continue;
            err << path << ":" << lineNo << ": expected \"CYCLE VX VA\"\n";
            return std::nullopt;
        }
        if (!(fields >> c.vx >> c.va) || (fields >> rest) || cycle < 1) {
            err << path << ":" << lineNo << ": expected \"CYCLE VX VA\" with CYCLE >= 1\n";
            return std::nullopt;
        }
        script[cycle] = c;
    }
    return script;
}

}  // namespace vostrel
