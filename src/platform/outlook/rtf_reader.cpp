// Tokens of RTF (see rtf_reader.h).
#include "platform/outlook/rtf_reader.h"

#include <algorithm>

namespace norvexa::outlook::rtf {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr int kMaxDigits = 9;

}  // namespace

Token Reader::Next() {
  while (position_ < rtf_.size()) {
    const char c = rtf_[position_];
    Token token;
    switch (c) {
      case '{':
        ++position_;
        token.kind = Token::Kind::kGroupStart;
        return token;
      case '}':
        ++position_;
        token.kind = Token::Kind::kGroupEnd;
        return token;
      case '\\':
        return ReadControl();
      case '\r':
      case '\n':
        ++position_;
        continue;
      default: {
        const std::size_t start = position_;
        while (position_ < rtf_.size()) {
          const char t = rtf_[position_];
          if (t == '{' || t == '}' || t == '\\' || t == '\r' || t == '\n') break;
          ++position_;
        }
        token.kind = Token::Kind::kText;
        token.text = rtf_.substr(start, position_ - start);
        return token;
      }
    }
  }
  return Token{};
}

Token Reader::ReadControl() {
  ++position_;  // the backslash
  Token token;
  if (position_ >= rtf_.size()) return token;
  const char c = rtf_[position_];

  if (!IsLetter(c)) {
    ++position_;
    if (c == '\'' && position_ + 2 <= rtf_.size()) {
      const int high = HexValue(rtf_[position_]);
      const int low = HexValue(rtf_[position_ + 1]);
      if (high >= 0 && low >= 0) {
        position_ += 2;
        token.kind = Token::Kind::kHexByte;
        token.byte = static_cast<unsigned char>(high * 16 + low);
        return token;
      }
    }
    token.kind = Token::Kind::kControlSymbol;
    token.word = (c == '\r') ? std::string_view("\n") : rtf_.substr(position_ - 1, 1);
    return token;
  }

  const std::size_t start = position_;
  while (position_ < rtf_.size() && IsLetter(rtf_[position_])) ++position_;
  token.kind = Token::Kind::kControlWord;
  token.word = rtf_.substr(start, position_ - start);

  bool negative = false;
  if (position_ + 1 < rtf_.size() && rtf_[position_] == '-' && IsDigit(rtf_[position_ + 1])) {
    negative = true;
    ++position_;
  }
  if (position_ < rtf_.size() && IsDigit(rtf_[position_])) {
    token.has_param = true;
    int digits = 0;
    long value = 0;
    while (position_ < rtf_.size() && IsDigit(rtf_[position_])) {
      if (digits < kMaxDigits) value = value * 10 + (rtf_[position_] - '0');
      ++digits;
      ++position_;
    }
    if (digits > kMaxDigits) value = 999999999;
    token.param = static_cast<int>(negative ? -value : value);
  }
  if (position_ < rtf_.size() && rtf_[position_] == ' ') ++position_;

  if (token.word == "bin" && token.has_param) {
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(token.param, 0)),
                                                    rtf_.size() - position_);
    token.kind = Token::Kind::kBinary;
    token.text = rtf_.substr(position_, count);
    position_ += count;
  }
  return token;
}

}  // namespace norvexa::outlook::rtf
