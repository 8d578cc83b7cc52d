#include "environment/field_data.hpp"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

namespace vostrel {

namespace {

constexpr const char* kStart = "\nStart to load environment data.\n";
constexpr const char* kFormatError = "Error! Data format error!\n";
constexpr const char* kCouldNotCreate = "Error! Data could not create.\n";
constexpr const char* kNeedSeparator = "       Need ',' or ';' at number's back.\n";
constexpr const char* kIndent = "       ";
constexpr const char* kNotNumber = "is not number.\n";
constexpr const char* kNumberError = "       Data number error.\n";

// Ids index tables that grow to id + 1 entries; beyond this the file is not a sensible
// environment and growing would only exhaust memory.
constexpr double kMaxId = 1000000.0;

}  // namespace

// Walks the token list once, section by section, storing records as they complete.
class FieldData::Parser {
  public:
    Parser(FieldData& d, std::vector<Token> tokens, Place end)
        : d_(d), tokens_(std::move(tokens)), end_(end) {}

    bool run() {
        while (pos_ < tokens_.size()) {
            const Token& t = tokens_[pos_];
            const Section s = t.kind == Token::Kind::Word ? sectionOf(t.text) : Section::None;
            if (s == Section::None) return fail(kFormatError);
            const std::string name = t.text;
            ++pos_;
            if (s != Section::FirstActions && at(Token::Kind::OpenBrace)) {
                ++pos_;
                while (!at(Token::Kind::CloseBrace)) {
                    if (pos_ >= tokens_.size())
                        return fail(std::string(kFormatError) + kIndent + "\"" + name +
                                    "\" block is not closed by '}' at the end of the file.\n");
                    if (!readSection(s)) return false;
                }
                ++pos_;
            } else if (!readSection(s)) {
                return false;
            }
        }
        return linkSubareas();
    }

  private:
    enum class Section {
        None,
        Walls,
        Entrance,
        Destination,
        FirstActions,
        Actions,
        SubArea,
        AreaLink
    };

    static Section sectionOf(const std::string& w) {
        if (w == "Walls") return Section::Walls;
        if (w == "Entrance") return Section::Entrance;
        if (w == "Destination") return Section::Destination;
        if (w == "FirstActions") return Section::FirstActions;
        if (w == "Actions") return Section::Actions;
        if (w == "SubArea") return Section::SubArea;
        if (w == "AreaLink") return Section::AreaLink;
        return Section::None;
    }

    bool at(Token::Kind k) const { return pos_ < tokens_.size() && tokens_[pos_].kind == k; }

    bool fail(const std::string& message) {
        d_.err_ << message;
        const Token* at = blame_ != nullptr       ? blame_
                          : pos_ < tokens_.size() ? &tokens_[pos_]
                                                  : nullptr;
        d_.stoppedAt_ = at != nullptr ? Place{at->line, at->column} : end_;
        return false;
    }

    bool tooLong(const Token& t) {
        return fail(std::string(kCouldNotCreate) + kIndent + "Word longer than " +
                    std::to_string(kMaxWordLength) + " characters: \"" + t.text + "...\".\n");
    }

    // Values up to and including the closing ';'.
    bool readRecord() {
        record_.clear();
        if (++records_ > kMaxRecords)
            return fail(std::string(kCouldNotCreate) + kIndent + "More than " +
                        std::to_string(kMaxRecords) +
                        " records: the limit of an environment file.\n");
        for (;;) {
            if (pos_ >= tokens_.size()) return unterminated();
            const Token& v = tokens_[pos_];
            if (v.kind == Token::Kind::TooLong) return tooLong(v);
            if (!v.isValue())
                return fail(std::string(kCouldNotCreate) + kIndent + v.text + kNotNumber);
            record_.push_back(&v);
            ++pos_;
            if (pos_ >= tokens_.size()) return unterminated();
            const Token& sep = tokens_[pos_];
            if (sep.kind == Token::Kind::TooLong) return tooLong(sep);
            if (sep.kind != Token::Kind::Comma && sep.kind != Token::Kind::Semicolon)
                return fail(std::string(kCouldNotCreate) + kNeedSeparator);
            ++pos_;
            if (sep.kind == Token::Kind::Semicolon) return true;
        }
    }

    bool unterminated() {
        return fail(std::string(kCouldNotCreate) + kIndent +
                    "The file ends inside a record: ';' is missing.\n");
    }

    // Every value from `from` on must be a finite number; a word there would only give a
    // meaningless value.
    bool numbersFrom(std::size_t from, std::size_t to = SIZE_MAX) {
        for (std::size_t i = from; i < record_.size() && i < to; ++i) {
            const Token& t = *record_[i];
            blame_ = &t;
            if (t.kind != Token::Kind::Number || !std::isfinite(t.number))
                return fail(std::string(kCouldNotCreate) + kIndent + t.text + kNotNumber);
        }
        return true;
    }

    double num(std::size_t i) const { return record_[i]->number; }
    int id(std::size_t i) const { return static_cast<int>(std::trunc(num(i))); }
    bool idInRange(std::size_t i) const { return std::abs(num(i)) < kMaxId; }
    Vec2 point(std::size_t i) const { return {num(i), num(i + 1)}; }
    Segment line(std::size_t i) const { return Segment::fromPoints(point(i), point(i + 2)); }

    // Destination and action kind from the type letter; -1 when it is not one of X P S Q.
    static int kindOf(const Token& t) {
        if (t.kind != Token::Kind::Word || t.text.size() != 1) return -1;
        switch (t.text[0]) {
            case 'X':
            case 'x':
                return kExit;
            case 'P':
            case 'p':
                return kPoint;
            case 'S':
            case 's':
                return kSeat;
            case 'Q':
            case 'q':
                return kQueue;
            default:
                return -1;
        }
    }

    bool readSection(Section s) {
        if (!readRecord()) return false;
        ++d_.records_;
        // A record that does not fit its section is blamed on its first value.
        blame_ = record_.front();
        const bool stored = store(s);
        blame_ = nullptr;
        return stored;
    }

    bool store(Section s) {
        switch (s) {
            case Section::Walls:
                return walls();
            case Section::Entrance:
                return entrance();
            case Section::Destination:
                return destination();
            case Section::FirstActions:
                return firstActions();
            case Section::Actions:
                return action();
            case Section::SubArea:
                return subarea();
            case Section::AreaLink:
                return areaLink();
            case Section::None:
                break;
        }
        return false;
    }

    bool walls() {
        if (record_.size() != 4)
            return fail(std::string("Error! Wall data could not create.\n") + kNumberError);
        if (!numbersFrom(0)) return false;
        d_.environment_.walls.add(line(0));
        return true;
    }

    bool entrance() {
        if (record_.size() != 7)
            return fail(std::string("Error! Entrance data could not create.\n") + kNumberError);
        if (!numbersFrom(0)) return false;
        if (!idInRange(0)) return fail(idError("Entrance", 0));
        d_.environment_.entrances.push_back({id(0), line(1), GaussianRandom{num(5), num(6)}});
        return true;
    }

    bool destination() {
        static constexpr const char* kHead = "Error! Destination data could not create.\n";
        const int kind = record_.empty() ? -1 : kindOf(*record_[0]);
        if (kind < 0)
            return fail(std::string(kHead) + kIndent + "Destination type error(" +
                        (record_.empty() ? "" : record_[0]->text) + ").\n");
        static constexpr std::size_t kCounts[] = {5, 4, 3, 5};
        if (record_.size() - 1 != kCounts[kind]) return fail(std::string(kHead) + kNumberError);
        if (!numbersFrom(1)) return false;
        if (num(1) <= -1.0) return true;  // negative ids are skipped without a word
        if (!idInRange(1)) return fail(idError("Destination", 1));
        const int i = id(1);
        Environment& e = d_.environment_;
        switch (kind) {
            case kExit:
                e.exits.add(i, Exit(i, line(2)));
                break;
            case kPoint:
                e.points.add(i, Point(i, num(2), num(3), num(4)));
                break;
            case kSeat:
                e.seats.add(i, Seat(i, num(2), num(3)));
                break;
            default:
                e.queues.add(i, Queue(i, num(2), num(3), num(4), num(5)));
                break;
        }
        return true;
    }

    bool firstActions() {
        if (!numbersFrom(0)) return false;
        for (std::size_t i = 0; i < record_.size(); ++i) {
            if (!idInRange(i)) return fail(idError("Action", i));
            d_.actions_.addFirst(id(i));
        }
        return true;
    }

    bool action() {
        static constexpr const char* kHead = "Error! Action data could not create.\n";
        if (record_.size() < 2) return fail(std::string(kHead) + kNumberError);
        const int kind = kindOf(*record_[1]);
        if (kind < 0)
            return fail(std::string(kHead) + kIndent + "Action type error(" + record_[1]->text +
                        ").\n");
        if (record_.size() != 6) return fail(std::string(kHead) + kNumberError);
        if (!numbersFrom(0, 1) || !numbersFrom(2)) return false;
        if (num(0) <= -1.0 || !idInRange(0)) return fail(idError("Action", 0));
        for (std::size_t i : {std::size_t{2}, std::size_t{3}})
            if (!idInRange(i)) return fail(idError("Action", i));
        Action a;
        a.kind = kind;
        a.destinationId = id(2);
        a.nextActionId = id(3);
        a.dwell = {num(4), num(5)};
        d_.actions_.set(id(0), a);
        return true;
    }

    bool subarea() {
        if (record_.size() % 2 == 0 || record_.size() < 7)
            return fail(std::string("Error! Subarea data could not create.\n") + kNumberError);
        if (!numbersFrom(0)) return false;
        if (num(0) <= -1.0 || !idInRange(0)) return fail(idError("Subarea", 0));
        std::vector<Vec2> corners;
        for (std::size_t i = 1; i + 1 < record_.size(); i += 2) corners.push_back(point(i));
        const auto i = static_cast<std::size_t>(id(0));
        if (d_.subareas_.size() <= i) d_.subareas_.resize(i + 1);
        d_.subareas_[i] = Subarea(id(0), std::move(corners));
        return true;
    }

    bool areaLink() {
        if (record_.size() != 6)
            return fail(std::string("Error! AreaLink data could not create.\n") + kNumberError);
        if (!numbersFrom(0)) return false;
        if (!idInRange(0) || !idInRange(1)) return fail(idError("AreaLink", idInRange(0) ? 1 : 0));
        d_.links_.push_back({id(0), id(1), line(2)});
        return true;
    }

    std::string idError(const char* what, std::size_t i) const {
        return std::string("Error! ") + what + " data could not create.\n" + kIndent + "Id error(" +
               record_[i]->text + ").\n";
    }

    bool linkSubareas() {
        auto& subs = d_.subareas_;
        for (const AreaLinkRecord& l : d_.links_) {
            const auto size = static_cast<int>(subs.size());
            if (l.a < 0 || l.a >= size || l.b < 0 || l.b >= size) {
                return fail(std::string("Error! AreaLink data could not create.\n") + kIndent +
                            "Subarea " + std::to_string(l.a < 0 || l.a >= size ? l.a : l.b) +
                            " does not exist.\n");
            }
            subs[static_cast<std::size_t>(l.a)].addLink(l.b, l.border);
            subs[static_cast<std::size_t>(l.b)].addLink(l.a, l.border);
        }
        return true;
    }

    FieldData& d_;
    std::vector<Token> tokens_;
    Place end_;
    std::size_t pos_ = 0;
    std::size_t records_ = 0;
    std::vector<const Token*> record_;
    const Token* blame_ = nullptr;
};

FieldData::FieldData(const std::string& fileName, std::ostream& err) : err_(err) {
    err_ << kStart;
    std::ifstream in(fileName, std::ios::binary);
    std::error_code ec;
    // A directory opens like a file here but reads as nothing.
    if (!in || std::filesystem::is_directory(fileName, ec)) {
        err_ << "Error! File \"" << fileName << "\" could not open.\n";
        opened_ = false;
        load({});
        return;
    }
    // Read in bounded pieces: /dev/zero or an endless pipe must end in a message, not in
    // exhausted memory.
    std::string content;
    try {
        std::vector<char> chunk(1 << 16);
        while (content.size() <= kMaxFileBytes && in.read(chunk.data(), chunk.size()).gcount() > 0)
            content.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    } catch (const std::bad_alloc&) {
        content.clear();
        err_ << kCouldNotCreate << kIndent << "Out of memory while reading \"" << fileName
             << "\".\n";
        return;
    }
    if (content.size() > kMaxFileBytes) {
        err_ << "Error! File \"" << fileName << "\" is larger than " << (kMaxFileBytes >> 20)
             << " MB (" << kMaxFileBytes << " bytes), the limit of an environment file.\n";
        return;
    }
    load(content);
}

FieldData FieldData::fromText(std::string_view text, std::ostream& err) {
    FieldData d(err);
    d.err_ << kStart;
    d.load(text);
    return d;
}

void FieldData::load(std::string_view text) {
    ok_ = false;
    if (text.size() > kMaxFileBytes) {
        err_ << "Error! The text is larger than " << (kMaxFileBytes >> 20) << " MB ("
             << kMaxFileBytes << " bytes), the limit of an environment file.\n";
        return;
    }
    Place end{1, 1};
    for (char c : text) {
        if (c == '\n') {
            ++end.line;
            end.column = 1;
        } else if (c != '\r') {
            ++end.column;
        }
    }
    try {
        std::vector<Token> tokens = tokenize(text, kMaxTokens);
        if (!tokens.empty() && tokens.back().kind == Token::Kind::TooMany) {
            err_ << kCouldNotCreate << kIndent << "More than " << kMaxTokens
                 << " values and separators: the limit of an environment file.\n";
            stoppedAt_ = {tokens.back().line, tokens.back().column};
            return;
        }
        Parser parser(*this, std::move(tokens), end);
        ok_ = parser.run();
    } catch (const std::bad_alloc&) {
        // What was stored so far stays, as after any other error.
        err_ << kCouldNotCreate << kIndent << "Out of memory.\n";
        ok_ = false;
    }
    if (ok_ && records_ == 0) stoppedAt_ = end;
    if (!ok_) return;
    err_ << "\n"
         << " Walls              : " << environment_.walls.count() << "\n"
         << " Entrances          : " << environment_.entrances.size() << "\n"
         << " Destination Exits  : " << environment_.exits.size() << "\n"
         << " Destination Points : " << environment_.points.size() << "\n"
         << " Destination Seats  : " << environment_.seats.size() << "\n"
         << " Destination Queues : " << environment_.queues.size() << "\n"
         << " Actions            : " << actions_.size() << "\n";
}

}  // namespace vostrel
