#pragma once
// Relative file names in configuration files: a process started from another directory should
// still find the files its configuration names next to itself.

#include <string>
#include <vector>

namespace rtc {

// The path to open for `name`: the name itself when it is absolute or exists relative to the
// working directory, otherwise the first of `folders`/`name` that exists. Empty when none
// exists. `tried` receives the absolute paths looked at, in order, for the error message.
std::string findFile(const std::string& name, const std::vector<std::string>& folders,
                     std::vector<std::string>& tried);

// The folder part of a file path ("" for a bare name, which means the working directory).
std::string folderOf(const std::string& file);

// "a, b and c" for messages.
std::string listOfPaths(const std::vector<std::string>& paths);

}  // namespace rtc
