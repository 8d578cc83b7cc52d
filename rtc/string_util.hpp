#pragma once
// Small text helpers shared by the runtime: peers send odd case and spacing.

#include <string>
#include <vector>

namespace rtc {

std::string trim(const std::string& s);
std::string toLower(std::string s);
// Splits at every delimiter; trims each part; keeps empty parts only if keepEmpty.
std::vector<std::string> split(const std::string& s, char delim, bool keepEmpty = false);
bool isYes(const std::string& value);
// 36-character random textual UUID.
std::string makeUuid();

}  // namespace rtc
