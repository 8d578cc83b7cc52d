#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vostrel {

// One lexical unit of an environment file. Numbers keep their text for messages.
struct Token {
    enum class Kind { OpenBrace, CloseBrace, Number, Word, Comma, Semicolon, TooLong, TooMany };
    Kind kind;
    std::string text;
    double number = 0.0;
    // Where the token starts in the text, counted from 1 (columns in bytes).
    int line = 0;
    int column = 0;

    bool isValue() const { return kind == Kind::Number || kind == Kind::Word; }
};

inline constexpr std::size_t kMaxWordLength = 255;

// Splits environment-file text into tokens. '#' drops the rest of its line without ending
// the word being collected; a word not closed by white space or a separator at the end of the
// text is dropped; words with control characters or bytes of 128 and above vanish silently.
// A word longer than kMaxWordLength becomes a TooLong token holding its first characters.
// Beyond maxTokens tokens the list ends with one TooMany token instead, so that memory stays
// bounded by the limit and not by the text.
std::vector<Token> tokenize(std::string_view text, std::size_t maxTokens = SIZE_MAX);

// Number classification of one whole word: an optionally signed integer (a lone sign is 0) or
// an optionally signed decimal with digits after the point. Exponents are not numbers.
bool parseNumber(std::string_view word, double& value);

}  // namespace vostrel
