// 8-bit texts of ANSI PST files: UTF-8 text to a Windows code page and back.
// Code page 1252 (the default) and 65001 (UTF-8) are built in; others come
// from Qt's converters, which know them when Qt is built with ICU.
// Characters a code page lacks are written as well as it allows: as the
// closest form it has (the compatibility decomposition without its accents,
// so "ő" becomes "o" and "ﬁ" "fi"), else as "?", one per character.
#pragma once

#include "pst_format.h"

#include <memory>
#include <stdexcept>
#include <string>

class QStringEncoder;
class QStringDecoder;

namespace norvexa::pstgen {

// A code page that cannot be used (unknown, or not in this Qt build).
class CodepageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Codepage {
 public:
  // The converter of Windows code page NUMBER; throws CodepageError when
  // texts cannot be written in it.
  explicit Codepage(int number);
  ~Codepage();
  Codepage(const Codepage&) = delete;
  Codepage& operator=(const Codepage&) = delete;

  int number() const { return number_; }

  // UTF-8 TEXT in the code page (no terminator), lossy as described above.
  Bytes Encode(const std::string& text) const;

  // BYTES in the code page as UTF-8: what a reader that knows the code
  // page gets back from Encode.
  std::string Decode(const Bytes& bytes) const;

 private:
  // Appends the bytes of code point CP to OUT; false when the code page has
  // no such character.
  bool EncodeOne(char32_t cp, Bytes& out) const;

  int number_;
  std::unique_ptr<QStringEncoder> encoder_;  // absent for the built-in code pages
  std::unique_ptr<QStringDecoder> decoder_;
};

// True when texts can be written in code page NUMBER.
bool CodepageAvailable(int number);

}  // namespace norvexa::pstgen
