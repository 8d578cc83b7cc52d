#include "environment/field_tokenizer.hpp"

#include <cstdlib>

namespace vostrel {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isPrintableWord(std::string_view w) {
    for (char c : w) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || u > 127) return false;
    }
    return true;
}

struct Place {
    int line = 1;
    int column = 1;
};

void emitWord(std::string& word, bool tooLong, Place at, std::vector<Token>& out) {
    if (tooLong) {
        out.push_back({Token::Kind::TooLong, word.substr(0, 32), 0.0, at.line, at.column});
    } else if (!word.empty()) {
        double value = 0.0;
        if (parseNumber(word, value))
            out.push_back({Token::Kind::Number, word, value, at.line, at.column});
        else if (isPrintableWord(word))
            out.push_back({Token::Kind::Word, word, 0.0, at.line, at.column});
    }
    word.clear();
}

}  // namespace

bool parseNumber(std::string_view w, double& value) {
    std::size_t i = (!w.empty() && (w[0] == '+' || w[0] == '-')) ? 1 : 0;
    const std::size_t digitsStart = i;
    while (i < w.size() && isDigit(w[i])) ++i;
    if (i == w.size()) {
        // A lone sign reads as 0.
        value = i == digitsStart ? 0.0 : std::strtod(std::string(w).c_str(), nullptr);
        return true;
    }
    if (w[i] != '.') return false;
    const std::size_t fractionStart = ++i;
    while (i < w.size() && isDigit(w[i])) ++i;
    if (i != w.size() || i == fractionStart) return false;
    value = std::strtod(std::string(w).c_str(), nullptr);
    return true;
}

std::vector<Token> tokenize(std::string_view text, std::size_t maxTokens) {
    std::vector<Token> out;
    std::string word;
    bool tooLong = false;
    Place here;       // of text[i]
    Place wordStart;  // of the word being collected
    const auto next = [&](char c) {
        if (c == '\n') {
            ++here.line;
            here.column = 1;
        } else {
            ++here.column;
        }
    };
    for (std::size_t i = 0; i < text.size(); next(text[i]), ++i) {
        if (out.size() > maxTokens) {
            out.resize(maxTokens);
            out.push_back({Token::Kind::TooMany, std::string(), 0.0, here.line, here.column});
            return out;
        }
        char c = text[i];
        // Text mode: a CR LF pair is one line end.
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') c = text[++i];
        if (word.empty() && !tooLong && static_cast<signed char>(c) <= 32) continue;
        switch (c) {
            case '#':
                while (i + 1 < text.size() && text[i] != '\n') next(text[i++]);
                break;
            case '{':
            case '}':
            case ',':
            case ';':
                emitWord(word, tooLong, wordStart, out);
                tooLong = false;
                out.push_back({c == '{'   ? Token::Kind::OpenBrace
                               : c == '}' ? Token::Kind::CloseBrace
                               : c == ',' ? Token::Kind::Comma
                                          : Token::Kind::Semicolon,
                               std::string(1, c), 0.0, here.line, here.column});
                break;
            case ' ':
            case '\t':
            case '\n':
                emitWord(word, tooLong, wordStart, out);
                tooLong = false;
                break;
            default:
                if (word.empty() && !tooLong) wordStart = here;
                if (word.size() < kMaxWordLength + 1) word.push_back(c);
                if (word.size() > kMaxWordLength) tooLong = true;
        }
    }
    if (out.size() > maxTokens) {
        out.resize(maxTokens);
        out.push_back({Token::Kind::TooMany, std::string(), 0.0});
    }
    return out;  // an unterminated last word is dropped
}

}  // namespace vostrel
