#pragma once
// Hierarchical string properties addressed by dotted keys ("exec_cxt.periodic.rate").
// Children keep insertion order so profiles list keys the way they were declared.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace coil {

class Properties {
  public:
    Properties() = default;
    explicit Properties(const std::string& name);
    // A flat list "key", "value", "key", "value", ..., closed by an empty key.
    explicit Properties(const char* const keyValues[]);
    Properties(const Properties& other);
    Properties& operator=(const Properties& other);
    Properties(Properties&&) noexcept = default;
    Properties& operator=(Properties&&) noexcept = default;
    ~Properties() = default;

    const std::string& getName() const { return name_; }
    const std::string& getValue() const { return value_; }
    void setValue(const std::string& value) { value_ = value; }

    // Empty string for a missing key.
    const std::string& getProperty(const std::string& key) const;
    const std::string& getProperty(const std::string& key, const std::string& fallback) const;
    // Returns the previous value.
    std::string setProperty(const std::string& key, const std::string& value);
    // Value of the node, created if missing.
    std::string& operator[](const std::string& key);

    bool hasKey(const std::string& key) const { return findNode(key) != nullptr; }
    const Properties* findNode(const std::string& key) const;
    Properties* findNode(const std::string& key);
    // The node at key, created (with empty value) if missing.
    Properties& getNode(const std::string& key);
    bool removeNode(const std::string& key);

    const std::vector<std::unique_ptr<Properties>>& children() const { return children_; }
    // Dotted keys of every node that is a leaf or carries a value, in tree order.
    std::vector<std::string> propertyNames() const;
    std::size_t size() const { return propertyNames().size(); }

    // Copies every keyed value of other onto this tree (other wins).
    Properties& operator<<(const Properties& other);

    // rtc.conf syntax: "key: value" or "key = value" per line, '#' and '!' comments,
    // a trailing backslash continues the line.
    void load(std::istream& in);
    // Writes "key: value" lines.
    void store(std::ostream& out) const;

  private:
    Properties* child(const std::string& name) const;
    void collectNames(const std::string& prefix, std::vector<std::string>& out) const;

    std::string name_;
    std::string value_;
    std::vector<std::unique_ptr<Properties>> children_;
};

}  // namespace coil
