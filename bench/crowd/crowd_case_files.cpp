// Writes the crowd benchmark environments into a directory (see --help).
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "bench/crowd/crowd_cases.hpp"

namespace {

const char* const kUsage =
    "Usage: crowd_case_files DIR\n"
    "Writes the crowd benchmark environments into DIR (which must exist): gallery.txt (about\n"
    "45 persons), corridor.txt (about 265), hall.txt (about 260), arena.txt (about 2 200) and\n"
    "arena-200.txt, arena-2000.txt (the arena with fewer arrivals, for memory per person).\n"
    "The files are the same on every run.\n";

bool write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "crowd_case_files: cannot write " << path << '\n';
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::cout << kUsage;
        return 0;
    }
    if (argc != 2) {
        std::cerr << kUsage;
        return 2;
    }
    using namespace vostrel::bench;
    const std::string dir = argv[1];
    const bool ok = write(dir + "/gallery.txt", galleryFloor()) &&
                    write(dir + "/corridor.txt", busyCorridor()) &&
                    write(dir + "/hall.txt", crowdedHall()) &&
                    write(dir + "/arena.txt", arenaConcourse(2200)) &&
                    write(dir + "/arena-200.txt", arenaConcourse(200)) &&
                    write(dir + "/arena-2000.txt", arenaConcourse(2000));
    return ok ? 0 : 1;
}
