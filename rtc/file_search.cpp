#include "rtc/file_search.hpp"

#include <algorithm>
#include <filesystem>

namespace rtc {

namespace fs = std::filesystem;

namespace {

std::string absoluteText(const fs::path& p) {
    std::error_code ec;
    const fs::path a = fs::absolute(p, ec);
    return (ec ? p : a).lexically_normal().string();
}

bool present(const fs::path& p) {
    std::error_code ec;
    return fs::exists(p, ec);
}

}  // namespace

std::string findFile(const std::string& name, const std::vector<std::string>& folders,
                     std::vector<std::string>& tried) {
    tried.clear();
    if (name.empty()) return {};
    const fs::path given(name);
    tried.push_back(absoluteText(given));
    if (present(given)) return name;
    if (given.is_absolute()) return {};
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;  // the working directory, already tried
        const fs::path candidate = (fs::path(folder) / given).lexically_normal();
        const std::string text = absoluteText(candidate);
        if (std::find(tried.begin(), tried.end(), text) != tried.end()) continue;
        tried.push_back(text);
        if (present(candidate)) return candidate.string();
    }
    return {};
}

std::string folderOf(const std::string& file) {
    return fs::path(file).parent_path().string();
}

std::string listOfPaths(const std::vector<std::string>& paths) {
    std::string out;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i > 0) out += i + 1 == paths.size() ? " and " : ", ";
        out += paths[i];
    }
    return out;
}

}  // namespace rtc
