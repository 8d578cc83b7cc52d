#include "rtc/config_constraint.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

namespace rtc {

namespace {

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
    return t;
}

std::optional<double> number(std::string_view text) {
    const std::string t(trimmed(text));
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(t.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool enumeration(std::string_view list, std::string_view value, std::string& why) {
    const std::string_view v = trimmed(value);
    std::string_view rest = list;
    for (;;) {
        const auto comma = rest.find(',');
        if (trimmed(rest.substr(0, comma)) == v) return true;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    why = "\"" + std::string(v) + "\" is not one of (" + std::string(list) + ")";
    return false;
}

// One comparison "value OP bound"; nullopt when op is not a comparison.
std::optional<bool> compare(double value, std::string_view op, double bound) {
    if (op == "<") return value < bound;
    if (op == "<=") return value <= bound;
    if (op == ">") return value > bound;
    if (op == ">=") return value >= bound;
    return std::nullopt;
}

// "<=" as seen from the other side of the variable.
std::string_view mirrored(std::string_view op) {
    if (op == "<") return ">";
    if (op == "<=") return ">=";
    if (op == ">") return "<";
    if (op == ">=") return "<=";
    return op;
}

struct Comparison {
    std::string_view op;
    double bound;
};

// Splits "BOUND OP" (left of the variable) or "OP BOUND" (right of it).
std::optional<Comparison> sideOf(std::string_view side, bool left) {
    side = trimmed(side);
    const auto isOp = [](char c) { return c == '<' || c == '>' || c == '='; };
    std::size_t n = 0;
    if (left) {
        while (n < side.size() && isOp(side[side.size() - 1 - n])) ++n;
        const auto bound = number(side.substr(0, side.size() - n));
        if (n == 0 || !bound) return std::nullopt;
        return Comparison{mirrored(side.substr(side.size() - n)), *bound};
    }
    while (n < side.size() && isOp(side[n])) ++n;
    const auto bound = number(side.substr(n));
    if (n == 0 || !bound) return std::nullopt;
    return Comparison{side.substr(0, n), *bound};
}

}  // namespace

bool convertsTo(std::string_view type, std::string_view value, std::string& why) {
    const std::string t(trimmed(value));
    const bool whole = type == "short" || type == "int" || type == "long" ||
                       type == "unsigned short" || type == "unsigned int" ||
                       type == "unsigned long" || type == "long long";
    if (whole) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(t.c_str(), &end, 10);
        const bool isUnsigned = type.substr(0, 8) == "unsigned";
        if (!t.empty() && *end == '\0' && errno != ERANGE && !(isUnsigned && v < 0) &&
            (type == "long long" || (v >= -2147483648LL && v <= 4294967295LL)))
            return true;
    } else if ((type == "double" || type == "float") ? number(t).has_value() : true) {
        return true;
    }
    why = "\"" + t + "\" is not a value of type " + std::string(type);
    return false;
}

bool satisfiesConstraint(std::string_view constraint, std::string_view value, std::string& why) {
    const std::string_view c = trimmed(constraint);
    if (c.size() >= 2 && c.front() == '(' && c.back() == ')')
        return enumeration(c.substr(1, c.size() - 2), value, why);

    // The variable is the one run of letters (and '_') in the text.
    std::size_t from = 0;
    while (from < c.size() && !std::isalpha(static_cast<unsigned char>(c[from]))) ++from;
    std::size_t to = from;
    while (to < c.size() && (std::isalnum(static_cast<unsigned char>(c[to])) || c[to] == '_')) ++to;
    if (from == c.size()) return true;
    std::vector<Comparison> tests;
    for (const bool left : {true, false}) {
        const std::string_view side = left ? c.substr(0, from) : c.substr(to);
        if (trimmed(side).empty()) continue;
        const auto t = sideOf(side, left);
        if (!t || !compare(0.0, t->op, 0.0)) return true;  // not a form we read
        tests.push_back(*t);
    }
    if (tests.empty()) return true;
    const auto v = number(value);
    if (!v) {
        why = "\"" + std::string(trimmed(value)) + "\" is not a number (" + std::string(c) + ")";
        return false;
    }
    for (const Comparison& t : tests) {
        if (!*compare(*v, t.op, t.bound)) {
            why = std::string(trimmed(value)) + " is outside " + std::string(c);
            return false;
        }
    }
    return true;
}

}  // namespace rtc
