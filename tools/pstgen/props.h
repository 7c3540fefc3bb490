// Property values as the PST stores them: a MAPI property type and the
// value's little-endian bytes, or a producer that streams a large binary;
// and the maker of a file's string values (Unicode or 8-bit).
#pragma once

#include "pst_format.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace norvexa::pstgen {

class DataStream;

struct PropValue {
  std::uint16_t type = 0;
  Bytes data;  // fixed types: their bytes; others: the stored bytes
  // Large binaries made on demand: writes STREAM_SIZE bytes into the stream.
  std::function<void(DataStream&)> stream;
  std::uint64_t stream_size = 0;

  static PropValue Int32(std::int32_t v);
  static PropValue Boolean(bool v);
  static PropValue Double(double v);
  static PropValue Time(std::uint64_t filetime);
  static PropValue Unicode(const std::string& utf8);
  // An 8-bit string: BYTES are the text in the file's code page.
  static PropValue String8(Bytes bytes);
  static PropValue Binary(Bytes bytes);
  static PropValue MvUnicode(const std::vector<std::string>& values);
  static PropValue MvString8(const std::vector<Bytes>& values);
  static PropValue MvBinary(const std::vector<Bytes>& values);
  // A PtypObject value: the subnode NID holding the object and its size.
  static PropValue Object(std::uint32_t nid, std::uint32_t size);
  static PropValue Stream(std::uint64_t size, std::function<void(DataStream&)> producer);

  std::uint64_t size() const { return stream ? stream_size : data.size(); }
};

// Properties of one object by property id (ascending, as PCs require).
using PropMap = std::map<std::uint16_t, PropValue>;

class Codepage;

// Makes the string values of one file in the string type of its format:
// PT_UNICODE (UTF-16LE) in Unicode files, PT_STRING8 in a Windows code page
// in ANSI files, where texts keep what the code page can hold.
class TextValues {
 public:
  // Throws CodepageError when the format's strings are 8-bit and CODEPAGE
  // cannot be written.
  TextValues(const PstFormat& format, int codepage);
  ~TextValues();
  TextValues(const TextValues&) = delete;
  TextValues& operator=(const TextValues&) = delete;

  bool unicode() const { return !codepage_; }

  // A string property of UTF-8 TEXT.
  PropValue Text(const std::string& text) const;
  // A multi-valued string property.
  PropValue MultiText(const std::vector<std::string>& texts) const;
  // TEXT as stored in the file followed by a NUL of the character width
  // (the strings inside one-off entry ids).
  Bytes Terminated(const std::string& text) const;

  // TAGS with their string types (single and multi-valued, either width)
  // turned into this file's, for the columns of a table.
  std::vector<std::uint32_t> Columns(const std::vector<std::uint32_t>& tags) const;

  // Adds PR_MESSAGE_CODEPAGE to PROPS when strings are 8-bit, so
  // that readers know how to decode them.
  void AddCodepage(PropMap& props) const;

 private:
  std::uint16_t string_type_;
  std::unique_ptr<Codepage> codepage_;  // set when strings are 8-bit
};

}  // namespace norvexa::pstgen
