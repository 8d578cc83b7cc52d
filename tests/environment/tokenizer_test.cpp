#include <gtest/gtest.h>

#include "environment/field_tokenizer.hpp"

namespace vostrel {
namespace {

using K = Token::Kind;

std::vector<K> kinds(const std::vector<Token>& ts) {
    std::vector<K> k;
    for (const Token& t : ts) k.push_back(t.kind);
    return k;
}

TEST(Tokenizer, SeparatorsNeedNoSpaces) {
    const auto t = tokenize("1,2,3,4;");
    EXPECT_EQ(kinds(t), (std::vector<K>{K::Number, K::Comma, K::Number, K::Comma, K::Number,
                                        K::Comma, K::Number, K::Semicolon}));
    EXPECT_EQ(t[6].number, 4.0);
}

TEST(Tokenizer, CommentDoesNotEndAWord) {
    auto t = tokenize("5 #comment\n6;");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].number, 5.0);
    EXPECT_EQ(t[1].number, 6.0);
    t = tokenize("5#comment\n6;");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].number, 56.0);
}

TEST(Tokenizer, NumberClassification) {
    double v = 1.0;
    EXPECT_TRUE(parseNumber("-.5", v));
    EXPECT_EQ(v, -0.5);
    EXPECT_TRUE(parseNumber("+", v));
    EXPECT_EQ(v, 0.0);
    EXPECT_TRUE(parseNumber("-12", v));
    EXPECT_EQ(v, -12.0);
    EXPECT_TRUE(parseNumber("3.25", v));
    EXPECT_EQ(v, 3.25);
    EXPECT_FALSE(parseNumber("3.", v));
    EXPECT_FALSE(parseNumber("1e3", v));
    EXPECT_FALSE(parseNumber(".", v));
    EXPECT_FALSE(parseNumber("1.2.3", v));
    const auto t = tokenize("3. 1e3 ");
    EXPECT_EQ(kinds(t), (std::vector<K>{K::Word, K::Word}));
}

TEST(Tokenizer, LastWordWithoutTerminatorIsLost) {
    EXPECT_EQ(tokenize("Walls 1,2,3,4").size(), 7u);
    EXPECT_EQ(tokenize("Walls 1,2,3,4\n").size(), 8u);
}

TEST(Tokenizer, HighBytesControlCharactersAndLineEnds) {
    // A byte-order mark before the first word is skipped; CR LF is one line end.
    auto t = tokenize("\xEF\xBB\xBFWalls\r\n1;");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].text, "Walls");
    // A lone CR inside a word, or a high byte inside it, drops the whole word silently.
    t = tokenize("ab\rc x\xC3\xA9 ok ");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].text, "ok");
}

TEST(Tokenizer, OverlongWordsAreMarked) {
    const std::string w(256, 'a');
    const auto t = tokenize(w + " " + std::string(255, 'b') + " ");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].kind, K::TooLong);
    EXPECT_EQ(t[1].kind, K::Word);
}

TEST(Tokenizer, StopsWithOneMarkerBeyondTheTokenLimit) {
    const auto within = tokenize("a, b;", 4);
    ASSERT_EQ(within.size(), 4u);
    EXPECT_EQ(within.back().kind, Token::Kind::Semicolon);
    for (const char* text : {"a, b; c ", ",,,,,,,,,,,,,,,,,,,,,,,,"}) {
        const auto over = tokenize(text, 4);
        ASSERT_EQ(over.size(), 5u) << text;
        EXPECT_EQ(over.back().kind, Token::Kind::TooMany) << text;
    }
}

}  // namespace
}  // namespace vostrel
