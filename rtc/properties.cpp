#include "rtc/properties.hpp"

#include "rtc/string_util.hpp"

#include <istream>
#include <ostream>

namespace coil {

namespace {
const std::string kEmpty;

std::vector<std::string> splitKey(const std::string& key) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : key) {
        if (c == '.') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}
}  // namespace

Properties::Properties(const std::string& name) : name_(name) {}

Properties::Properties(const char* const keyValues[]) {
    for (int i = 0; keyValues[i] != nullptr && keyValues[i][0] != '\0'; i += 2) {
        const char* value = keyValues[i + 1];
        setProperty(rtc::trim(keyValues[i]), value != nullptr ? rtc::trim(value) : std::string());
        if (value == nullptr) {
            break;
        }
    }
}

Properties::Properties(const Properties& other) : name_(other.name_), value_(other.value_) {
    for (const auto& c : other.children_) {
        children_.push_back(std::make_unique<Properties>(*c));
    }
}

Properties& Properties::operator=(const Properties& other) {
    if (this != &other) {
        Properties copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Properties* Properties::child(const std::string& name) const {
    for (const auto& c : children_) {
        if (c->name_ == name) {
            return c.get();
        }
    }
    return nullptr;
}

const Properties* Properties::findNode(const std::string& key) const {
    const Properties* node = this;
    for (const auto& part : splitKey(key)) {
        node = node->child(part);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return node;
}

Properties* Properties::findNode(const std::string& key) {
    return const_cast<Properties*>(static_cast<const Properties*>(this)->findNode(key));
}

Properties& Properties::getNode(const std::string& key) {
    Properties* node = this;
    for (const auto& part : splitKey(key)) {
        Properties* next = node->child(part);
        if (next == nullptr) {
            node->children_.push_back(std::make_unique<Properties>(part));
            next = node->children_.back().get();
        }
        node = next;
    }
    return *node;
}

bool Properties::removeNode(const std::string& key) {
    auto parts = splitKey(key);
    std::string last = parts.back();
    parts.pop_back();
    Properties* parent = this;
    for (const auto& part : parts) {
        parent = parent->child(part);
        if (parent == nullptr) {
            return false;
        }
    }
    for (auto it = parent->children_.begin(); it != parent->children_.end(); ++it) {
        if ((*it)->name_ == last) {
            parent->children_.erase(it);
            return true;
        }
    }
    return false;
}

const std::string& Properties::getProperty(const std::string& key) const {
    return getProperty(key, kEmpty);
}

const std::string& Properties::getProperty(const std::string& key,
                                           const std::string& fallback) const {
    const Properties* node = findNode(key);
    if (node == nullptr || node->value_.empty()) {
        return fallback;
    }
    return node->value_;
}

std::string Properties::setProperty(const std::string& key, const std::string& value) {
    Properties& node = getNode(key);
    std::string old = node.value_;
    node.value_ = value;
    return old;
}

std::string& Properties::operator[](const std::string& key) {
    return getNode(key).value_;
}

void Properties::collectNames(const std::string& prefix, std::vector<std::string>& out) const {
    for (const auto& c : children_) {
        std::string key = prefix.empty() ? c->name_ : prefix + "." + c->name_;
        if (c->children_.empty() || !c->value_.empty()) {
            out.push_back(key);
        }
        c->collectNames(key, out);
    }
}

std::vector<std::string> Properties::propertyNames() const {
    std::vector<std::string> names;
    collectNames("", names);
    return names;
}

Properties& Properties::operator<<(const Properties& other) {
    for (const auto& key : other.propertyNames()) {
        const Properties* src = other.findNode(key);
        Properties& dst = getNode(key);
        if (!src->value_.empty() || dst.value_.empty()) {
            dst.value_ = src->value_;
        }
    }
    return *this;
}

void Properties::load(std::istream& in) {
    std::string line;
    std::string pending;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string t = rtc::trim(line);
        if (pending.empty() && (t.empty() || t[0] == '#' || t[0] == '!')) {
            continue;
        }
        if (!t.empty() && t.back() == '\\' && (t.size() < 2 || t[t.size() - 2] != '\\')) {
            t.pop_back();
            pending += t;
            continue;
        }
        pending += t;
        std::string key;
        std::string value;
        bool split = false;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            char c = pending[i];
            if (c == '\\' && i + 1 < pending.size()) {
                key += pending[++i];
                continue;
            }
            if (c == ':' || c == '=') {
                value = pending.substr(i + 1);
                split = true;
                break;
            }
            key += c;
        }
        if (split || !rtc::trim(key).empty()) {
            setProperty(rtc::trim(key), rtc::trim(value));
        }
        pending.clear();
    }
}

void Properties::store(std::ostream& out) const {
    for (const auto& key : propertyNames()) {
        out << key << ": " << getProperty(key) << '\n';
    }
}

}  // namespace coil
