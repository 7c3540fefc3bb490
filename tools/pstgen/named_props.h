// The name-to-id map: named properties get ids from mapi::kFirstNamedId up
// as they are first used, and the map node (NID 0x61) lists them all at the end.
#pragma once

#include "props.h"

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace norvexa::pstgen {

class NamedProps {
 public:
  // The property id of the numeric named property LID of set GUID.
  std::uint16_t Id(const mapi::Guid& guid, std::uint32_t lid);
  // The property id of the string named property NAME of set GUID.
  std::uint16_t Id(const mapi::Guid& guid, std::string_view name);

  // The properties of the map node.
  PropMap MapProperties() const;

 private:
  struct Entry {
    mapi::Guid guid;
    bool is_string;
    std::uint32_t lid;
    std::string name;
  };
  // The id of E, registering it on first use; throws PstWriteError past
  // the 32,766 ids the format has.
  std::uint16_t Register(Entry e);
  std::vector<Entry> entries_;
  std::map<std::tuple<mapi::Guid, bool, std::uint32_t, std::string>, std::uint16_t> ids_;
};

}  // namespace norvexa::pstgen
