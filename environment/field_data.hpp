#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "environment/action_table.hpp"
#include "environment/environment.hpp"
#include "environment/field_tokenizer.hpp"
#include "environment/subarea.hpp"

namespace vostrel {

// Loads an environment file: walls, entrances, destinations, actions, first actions and the
// optional hand-made subareas with their links. It never stops the program: on an error it
// reports on the error stream and keeps what it has read so far.
class FieldData {
  public:
    // Bounds that keep a runaway or hostile file from exhausting memory: no environment comes
    // near them.
    static constexpr std::size_t kMaxFileBytes = 64u << 20;
    static constexpr std::size_t kMaxTokens = 10'000'000;  // values and separators
    static constexpr std::size_t kMaxRecords = 1'000'000;

    struct AreaLinkRecord {
        int a;
        int b;
        Segment border;
    };

    // Reads, tokenises and parses the whole file, then prints the summary. Draws nothing: the
    // entrances' first countdowns are drawn where a run starts.
    FieldData(const std::string& fileName, std::ostream& err);

    // The same on text already in memory (tests, fuzzing).
    static FieldData fromText(std::string_view text, std::ostream& err);

    const Environment& environment() const { return environment_; }
    const ActionTable& actionTable() const { return actions_; }
    const std::vector<Subarea>& subareas() const { return subareas_; }
    const std::vector<AreaLinkRecord>& areaLinks() const { return links_; }
    // False when parsing stopped at an error (the summary is then not printed).
    bool ok() const { return ok_; }
    // False when the file could not be opened.
    bool opened() const { return opened_; }
    // True when no record of any section was read (an empty file, only comments).
    bool readNothing() const { return records_ == 0; }

    // A place in the file, counted from 1; line 0 when there is none.
    struct Place {
        int line = 0;
        int column = 0;
    };
    // Where parsing stopped at an error, or the end of the text when it read nothing.
    Place stoppedAt() const { return stoppedAt_; }

  private:
    explicit FieldData(std::ostream& err) : err_(err) {}
    void load(std::string_view text);

    class Parser;
    friend class Parser;

    std::ostream& err_;
    Environment environment_;
    ActionTable actions_;
    std::vector<Subarea> subareas_;
    std::vector<AreaLinkRecord> links_;
    bool ok_ = false;
    bool opened_ = true;
    std::size_t records_ = 0;
    Place stoppedAt_;
};

}  // namespace vostrel
