#include "sim/field_file.hpp"

#include <algorithm>
#include <ostream>

#include "rtc/file_search.hpp"

namespace vostrel {

FieldData loadFieldFile(const std::string& name, const std::vector<std::string>& folders,
                        std::ostream& err, std::string* path) {
    std::vector<std::string> tried;
    const std::string found = rtc::findFile(name, folders, tried);
    if (path != nullptr) *path = found.empty() ? name : found;
    FieldData field(found.empty() ? name : found, err);
    if (!field.opened() && !tried.empty())
        err << "The environment file was looked for at " << rtc::listOfPaths(tried) << ".\n";
    return field;
}

std::vector<std::string> foldersOf(const std::string& fileList) {
    std::vector<std::string> folders;
    std::size_t from = 0;
    while (from <= fileList.size()) {
        const auto comma = std::min(fileList.find(',', from), fileList.size());
        if (comma > from)
            folders.insert(folders.begin(), rtc::folderOf(fileList.substr(from, comma - from)));
        from = comma + 1;
    }
    return folders;
}

bool loadedCleanly(const FieldData& field) {
    return field.opened() && field.ok() && !field.readNothing();
}

void printStopPlace(const std::string& path, const FieldData& field, std::ostream& err) {
    const FieldData::Place at = field.stoppedAt();
    if (!field.opened() || at.line == 0) return;
    err << path << ":" << at.line << ":" << at.column << ": "
        << (field.ok() ? "the file holds no environment data" : "loading stopped here") << "\n";
}

}  // namespace vostrel
