// The tokens of RTF: group marks, control words and symbols, hexadecimal
// escapes, runs of text and \bin data. No meaning is given to any of them
// here (see rtf_interpreter.h); the reader only cuts bytes into tokens, in
// one pass, each token a view into the input, so any input of any size is
// read without recursion and without allocating.
#pragma once

#include <cstddef>
#include <string_view>

namespace norvexa::outlook::rtf {

struct Token {
  enum class Kind {
    kEnd,           // no more input
    kGroupStart,    // {
    kGroupEnd,      // }
    kControlWord,   // \word or \wordN: word, has_param, param
    kControlSymbol, // \ and one character that is not a letter: word (that character)
    kHexByte,       // \'hh: byte
    kText,          // a run of bytes that are not { } \ CR LF: text
    kBinary,        // the N bytes after \binN: text
  };
  Kind kind = Kind::kEnd;
  std::string_view word;
  bool has_param = false;
  int param = 0;
  unsigned char byte = 0;
  std::string_view text;
};

class Reader {
 public:
  // A reader of RTF, which must outlive the reader and its tokens.
  explicit Reader(std::string_view rtf) : rtf_(rtf) {}

  // The next token; kEnd from the end of the input on. Carriage returns and
  // line feeds between tokens are dropped, as RTF readers must; a backslash
  // before one gives the control symbol "\n" (a paragraph mark). A numeric
  // parameter of more than 9 digits is held at +-999,999,999 (no RTF value
  // is that large); a \binN whose N passes the end of the input gives the
  // bytes up to the end; \' without two hexadecimal digits gives the control
  // symbol "'".
  Token Next();

  // Bytes read so far.
  std::size_t position() const { return position_; }

 private:
  Token ReadControl();

  std::string_view rtf_;
  std::size_t position_ = 0;
};

}  // namespace norvexa::outlook::rtf
