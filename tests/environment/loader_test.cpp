#include <gtest/gtest.h>

#include <sstream>

#include "environment/field_data.hpp"

namespace vostrel {
namespace {

const std::string kStart = "\nStart to load environment data.\n";
const std::string kHead = "Error! Data could not create.\n";

std::string summary(int walls, int entrances, int exits, int points, int seats, int queues,
                    int actions) {
    std::ostringstream s;
    s << "\n Walls              : " << walls << "\n Entrances          : " << entrances
      << "\n Destination Exits  : " << exits << "\n Destination Points : " << points
      << "\n Destination Seats  : " << seats << "\n Destination Queues : " << queues
      << "\n Actions            : " << actions << "\n";
    return s.str();
}

struct Loaded {
    std::string err;
    FieldData data;
};

Loaded load(std::string_view text) {
    std::ostringstream err;
    FieldData d = FieldData::fromText(text, err);
    return {err.str(), std::move(d)};
}

// The messages a failing file prints after the start line.
std::string failure(std::string_view text) {
    Loaded l = load(text);
    EXPECT_FALSE(l.data.ok()) << text;
    return l.err.substr(kStart.size());
}

TEST(Loader, MissingFilePrintsOpenErrorThenZeroCounts) {
    std::ostringstream err;
    const FieldData d("no/such/file.txt", err);
    EXPECT_FALSE(d.opened());
    EXPECT_EQ(err.str(), kStart + "Error! File \"no/such/file.txt\" could not open.\n" +
                             summary(0, 0, 0, 0, 0, 0, 0));
}

TEST(Loader, IllustrativeFileLoadsWithItsSummary) {
    const Loaded l = load(R"(# outer walls
Walls {
  0.0, 0.0, 10.0, 0.0;
  10.0, 0.0, 10.0, 8.0;
}
Entrance { 1, 0.0, 2.0, 0.0, 3.0, 5.0, 1.0; }
Destination { X, 1, 10.0, 6.0, 10.0, 7.0; Q, 2, 5.0, 5.0, 0.0, -0.5; }
Actions { 0, Q, 2, 1, 30.0, 5.0; 1, X, 1, 1, 0.0, 0.0; }
FirstActions 0;
)");
    ASSERT_TRUE(l.data.ok());
    EXPECT_EQ(l.err, kStart + summary(2, 1, 1, 0, 0, 1, 2));
    const Environment& e = l.data.environment();
    EXPECT_EQ(e.walls.maxX(), 10.0);
    EXPECT_EQ(e.entrances[0].line.end(), Vec2(0, 3));
    EXPECT_EQ(e.entrances[0].interval.mean, 5.0);
    EXPECT_EQ(e.exits.get(1, 0).position(), Vec2(10, 6.5));
    EXPECT_EQ(e.queues.get(2, 0).line().direction, Vec2(0, -0.5));
    const auto a = l.data.actionTable().at(0);
    EXPECT_EQ(a->kind, kQueue);
    EXPECT_EQ(a->destinationId, 2);
    EXPECT_EQ(a->nextActionId, 1);
    EXPECT_EQ(a->dwell.sigma, 5.0);
    EXPECT_EQ(l.data.actionTable().firstActions(), std::vector<int>{0});
}

TEST(Loader, BlockAndSingleRecordFormsAreEquivalent) {
    EXPECT_EQ(load("Walls { 1, 2, 3, 4; }\n").data.environment().walls.count(), 1);
    EXPECT_EQ(load("Walls 1, 2, 3, 4;\n").data.environment().walls.count(), 1);
}

TEST(Loader, DestinationsByLetterCaseAndIds) {
    const Loaded l = load(
        "Destination { p, 3, 1.0, 2.0, 0.0; s, 1, 1, 1; x, 4, 0,0,1,0; "
        "X, 4, 0,1,1,1; q, -1, 0, 0, 1, 1; }\n");
    ASSERT_TRUE(l.data.ok());
    EXPECT_EQ(l.err, kStart + summary(0, 0, 2, 1, 1, 0, 0));
    EXPECT_EQ(l.data.environment().exits.count(4), 2);
}

TEST(Loader, ActionsReplaceByIdAndCountTheTable) {
    const Loaded l = load("Actions { 2, P, 1, 0, 1, 0; 2, s, 5, 0, 1, 0; }\n");
    ASSERT_TRUE(l.data.ok());
    EXPECT_EQ(l.err, kStart + summary(0, 0, 0, 0, 0, 0, 3));
    EXPECT_EQ(l.data.actionTable().at(2)->kind, kSeat);
    EXPECT_EQ(l.data.actionTable().at(2)->destinationId, 5);
}

TEST(Loader, RecordStructureErrors) {
    EXPECT_EQ(failure("Wall 1,2,3,4;\n"), "Error! Data format error!\n");
    EXPECT_EQ(failure("Walls 1 2,3,4;\n"), kHead + "       Need ',' or ';' at number's back.\n");
    EXPECT_EQ(failure("Walls 1,2,3,4}\n"), kHead + "       Need ',' or ';' at number's back.\n");
    EXPECT_EQ(failure("Walls ;\n"), kHead + "       ;is not number.\n");
    EXPECT_EQ(failure("Walls { 1,,3,4; }\n"), kHead + "       ,is not number.\n");
    EXPECT_EQ(failure("FirstActions { 0; }\n"), kHead + "       {is not number.\n");
}

TEST(Loader, RecordCountErrors) {
    const std::string n = "       Data number error.\n";
    EXPECT_EQ(failure("Walls 1,2,3;\n"), "Error! Wall data could not create.\n" + n);
    EXPECT_EQ(failure("Entrance 1,2,3;\n"), "Error! Entrance data could not create.\n" + n);
    EXPECT_EQ(failure("Destination P, 1, 2;\n"), "Error! Destination data could not create.\n" + n);
    EXPECT_EQ(failure("Actions 1, X, 2, 3, 4;\n"), "Error! Action data could not create.\n" + n);
    EXPECT_EQ(failure("SubArea 3, 0,0, 1,0;\n"), "Error! Subarea data could not create.\n" + n);
    EXPECT_EQ(failure("SubArea 3, 0,0, 1,0, 1;\n"), "Error! Subarea data could not create.\n" + n);
    EXPECT_EQ(failure("AreaLink 1, 2, 0, 0, 1;\n"), "Error! AreaLink data could not create.\n" + n);
}

TEST(Loader, TypeLetterErrors) {
    const std::string d =
        "Error! Destination data could not create.\n       Destination type error(";
    EXPECT_EQ(failure("Destination { Z, 3, 1.0, 2.0, 0.0; }\n"), d + "Z).\n");
    EXPECT_EQ(failure("Destination { XY, 3, 1.0, 2.0, 0.0; }\n"), d + "XY).\n");
    EXPECT_EQ(failure("Actions 1, W, 2, 3, 4, 5;\n"),
              "Error! Action data could not create.\n       Action type error(W).\n");
}

TEST(Loader, FailureKeepsEarlierRecordsAndSkipsSummary) {
    const Loaded l = load("Walls { 0,0,1,0; 0,0,0,1; 1,1; 5,5,6,6; }\n");
    EXPECT_FALSE(l.data.ok());
    EXPECT_EQ(l.data.environment().walls.count(), 2);
    EXPECT_EQ(l.err.find("Walls   "), std::string::npos);
}

TEST(Loader, FileSubareasAndLinks) {
    const Loaded l = load(
        "SubArea 3, 0,0, 1,0, 1,1;\nSubArea 1, 1,0, 2,0, 2,1, 1,1;\n"
        "AreaLink 1, 3, 1,0, 1,1;\n");
    ASSERT_TRUE(l.data.ok());
    const auto& s = l.data.subareas();
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[3].id(), 3);
    EXPECT_TRUE(s[3].isNeighbour(1));
    EXPECT_TRUE(s[1].isNeighbour(3));
    EXPECT_EQ(s[1].corners().size(), 4u);
}

// Inputs the loader must refuse with a clear message instead of using garbage.
TEST(Loader, BadInputIsRefusedWithAMessage) {
    EXPECT_EQ(failure("Walls 1, 1e3, 3, 4;\n"), kHead + "       1e3is not number.\n");
    EXPECT_EQ(failure("Entrance 1, 0, 0, 0, 1, fast, 1;\n"), kHead + "       fastis not number.\n");
    EXPECT_NE(failure("Walls { 1, 2, 3, 4;\n").find("not closed"), std::string::npos);
    EXPECT_NE(failure("Walls 1, 2, 3, 4\n").find("';' is missing"), std::string::npos);
    EXPECT_NE(failure("Actions -1, X, 0, 0, 0, 0;\n").find("Id error(-1)"), std::string::npos);
    EXPECT_NE(failure("SubArea -2, 0,0, 1,0, 1,1;\n").find("Id error(-2)"), std::string::npos);
    EXPECT_NE(failure("Actions 99999999, X, 0, 0, 0, 0;\n").find("Id error(99999999)"),
              std::string::npos);
    EXPECT_NE(failure("Destination S, 5000000000, 1, 1;\n").find("Id error"), std::string::npos);
    EXPECT_NE(failure("SubArea 0, 0,0, 1,0, 1,1;\nAreaLink 0, 5, 0,0, 1,0;\n")
                  .find("Subarea 5 does not exist"),
              std::string::npos);
    EXPECT_NE(failure("Walls 1, " + std::string(300, '7') + ", 3, 4;\n").find("longer than 255"),
              std::string::npos);
    EXPECT_NE(failure("Walls 1, 2, 3, 4" + std::string(400, '0') + ";\n").find("longer than 255"),
              std::string::npos);
}

// /dev/zero and /dev/urandom never end; they used to grow memory until the process died or
// was accepted as an empty world.
TEST(LoaderLimits, EndlessInputStopsAtTheFileSizeLimit) {
    for (const char* endless : {"/dev/zero", "/dev/urandom"}) {
        std::ostringstream err;
        const FieldData d(endless, err);
        EXPECT_FALSE(d.ok()) << endless;
        EXPECT_EQ(err.str(), kStart + "Error! File \"" + endless +
                                 "\" is larger than 64 MB (67108864 bytes), the limit of an "
                                 "environment file.\n");
        EXPECT_EQ(d.environment().walls.count(), 0);
    }
}

TEST(LoaderLimits, RecordsBeyondTheLimitAreRefusedAndEarlierOnesKept) {
    std::string text = "Walls {\n";
    text.reserve(FieldData::kMaxRecords * 9 + 16);
    for (std::size_t i = 0; i <= FieldData::kMaxRecords; ++i) text += "0,0,1,1;\n";
    text += "}\n";
    const Loaded l = load(text);
    EXPECT_FALSE(l.data.ok());
    EXPECT_EQ(l.err, kStart + kHead +
                         "       More than 1000000 records: the limit of an environment file.\n");
    EXPECT_EQ(static_cast<std::size_t>(l.data.environment().walls.count()), FieldData::kMaxRecords);
}
}  // namespace
}  // namespace vostrel

namespace vostrel {
namespace {

std::pair<int, int> stop(std::string_view text) {
    const FieldData::Place at = load(text).data.stoppedAt();
    return {at.line, at.column};
}

TEST(LoaderPlace, ErrorsAreBlamedOnTheTokenOrRecordAtFault) {
    using P = std::pair<int, int>;
    // A stray word between sections: the word itself.
    EXPECT_EQ(stop("Walls 0, 0, 1, 1;\n  Wall 1, 2, 3, 4;\n"), P(2, 3));
    // A record with the wrong count: its first value; comments and CR LF do not shift columns.
    EXPECT_EQ(stop("# walls\r\nWalls {\r\n  0, 0, 1, 1;\r\n\t5, 6, 7;\r\n}\r\n"), P(4, 2));
    // A word where a number must be: that word.
    EXPECT_EQ(stop("Walls { 0, 0, one, 1; }\n"), P(1, 15));
    // A missing separator: the token found instead.
    EXPECT_EQ(stop("Walls 1, 2 3, 4;\n"), P(1, 12));
    // Running out of text inside a block: the end of the text.
    EXPECT_EQ(stop("Walls {\n 0, 0, 1, 1;\n"), P(3, 1));
    // A clean file stops nowhere.
    EXPECT_EQ(stop("Walls 1, 2, 3, 4;\n"), P(0, 0));
}

TEST(LoaderPlace, NothingReadIsToldApartFromAnEmptySection) {
    for (const char* empty : {"", "# only a comment\n", "\n\n   \n"}) {
        const Loaded l = load(empty);
        EXPECT_TRUE(l.data.ok()) << empty;
        EXPECT_TRUE(l.data.readNothing()) << empty;
    }
    EXPECT_EQ(load("\n\n  ").data.stoppedAt().line, 3);
    EXPECT_FALSE(load("FirstActions 0;\n").data.readNothing());
}

TEST(LoaderPlace, ADirectoryCannotBeOpened) {
    std::ostringstream err;
    const FieldData d(::testing::TempDir(), err);
    EXPECT_FALSE(d.opened());
    EXPECT_NE(err.str().find("Error! File \"" + ::testing::TempDir() + "\" could not open.\n"),
              std::string::npos)
        << err.str();
}

}  // namespace
}  // namespace vostrel
