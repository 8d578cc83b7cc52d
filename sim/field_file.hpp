#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "environment/field_data.hpp"
#include "platform/c_random.hpp"

namespace vostrel {

// Loads the environment file `name`: looked for in the working directory first, then in each
// of `folders` (the folders of the configuration files that may have named it). When it cannot
// be opened, one line after the loader's own message gives the absolute paths looked at.
// `path` (when given) receives the path that was opened.
FieldData loadFieldFile(const std::string& name, const std::vector<std::string>& folders,
                        std::ostream& err, std::string* path = nullptr);

// The folders of a comma-separated list of configuration files, the last (which overrides the
// others) first.
std::vector<std::string> foldersOf(const std::string& fileList);

// True when the file was read, parsed without error and held at least one record: a run on
// anything else would simulate an empty or half-read world.
bool loadedCleanly(const FieldData& field);

// For a file that was opened but did not load cleanly: one line "PATH:LINE:COLUMN: " with the
// place where loading stopped, which editors jump to.
void printStopPlace(const std::string& path, const FieldData& field, std::ostream& err);

}  // namespace vostrel
