// The properties of one stored object (message, folder, attachment,
// recipient), indexed once so that every later lookup, ordinary or named,
// is a scan of a small array. The values themselves are read only when
// asked for, through the reader the store gives the bag, so a large body or
// attachment is never read for a lookup that does not need it.
#pragma once

#include "platform/outlook/outlook.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvexa::outlook::items {

class PropertyBag {
 public:
  struct Entry {
    std::uint16_t id = 0;       // property id as stored (kFirstNamedId up for named)
    std::uint16_t type = 0;     // MAPI property type
    bool named = false;         // resolved through the name-to-ID map
    bool by_string = false;     // named by a string rather than a number
    mapi::Guid guid{};          // property set of a named property
    std::uint32_t lid = 0;      // number of a numerically named property
    std::string name;           // name of a string-named property (UTF-8)
    std::uint32_t slot = 0;     // what the reader knows the value by
  };
  // Reads the raw bytes of an entry's value; throws OutlookError when the
  // value is there but cannot be read.
  using Reader = std::function<std::string(const Entry&)>;

  // An empty bag.
  PropertyBag() = default;

  // A bag of ENTRIES whose values READER reads. FILE names the store in
  // errors. STORE_CODEPAGE decodes 8-bit texts when the object names no
  // code page of its own (PR_MESSAGE_CODEPAGE, else PR_INTERNET_CPID).
  PropertyBag(std::vector<Entry> entries, Reader reader, std::string file, int store_codepage);

  // The entry of ordinary property ID (any type), or null.
  const Entry* Find(std::uint16_t id) const;
  // The entry of the property ID with type TYPE; string and multi-valued
  // string types match both their 8-bit and Unicode forms. Null if none.
  const Entry* Find(std::uint16_t id, std::uint16_t type) const;
  // The entry of the named property LID in property set SET, or null.
  const Entry* FindNamed(const mapi::Guid& set, std::uint32_t lid) const;
  // The entry of the string-named property NAME in property set SET.
  const Entry* FindNamed(const mapi::Guid& set, std::string_view name) const;

  // The raw bytes of E ("" for null).
  std::string Bytes(const Entry* e) const;
  // E as text, UTF-8 ("" for null or a non-text value).
  std::string Text(const Entry* e) const;
  // E as a whole number (short, long, 64-bit, boolean); nullopt otherwise.
  std::optional<std::int64_t> Integer(const Entry* e) const;
  // E as a floating-point number (PT_DOUBLE, PT_FLOAT; whole numbers too);
  // nullopt otherwise.
  std::optional<double> Double(const Entry* e) const;
  // E as a local date-time; nullopt when absent or not a date, and for the
  // stored "no date" values (zero, or the year 4500 and later).
  std::optional<QDateTime> Date(const Entry* e) const;
  // Each value of a multi-valued text E (a single text gives one value).
  std::vector<std::string> Texts(const Entry* e) const;
  // Each value of a multi-valued binary E.
  std::vector<std::string> Binaries(const Entry* e) const;
  // E as a PropValue (Empty for null).
  PropValue Value(const Entry* e) const;

  // Shorthands for ordinary properties.
  std::string Text(std::uint16_t id) const { return Text(Find(id)); }
  std::optional<QDateTime> Date(std::uint16_t id) const { return Date(Find(id)); }

  int codepage() const { return codepage_; }
  const std::string& file() const { return file_; }

 private:
  std::vector<Entry> entries_;
  Reader reader_;
  std::string file_;
  int codepage_ = 1252;
};

// FILETIME (100 ns since 1601, UTC) to a local date-time; nullopt for the
// stored "no date" values.
std::optional<QDateTime> FromFiletime(std::uint64_t filetime);

}  // namespace norvexa::outlook::items
