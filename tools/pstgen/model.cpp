// Pattern bytes for large attachments and the contact field table.
#include "model.h"

#include <algorithm>
#include <utility>

namespace norvexa::pstgen {
namespace {

// One step of the splitmix64 mixer: a well-spread 64-bit value of X.
std::uint64_t SplitMix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Contact field names and property ids, in the store access's order.
const std::vector<std::pair<std::string, std::uint16_t>>& ContactFields() {
  static const std::vector<std::pair<std::string, std::uint16_t>> fields = {
      {"FirstName", 0x3A06},      {"MiddleName", 0x3A44},     {"LastName", 0x3A11},
      {"Suffix", 0x3A05},         {"Title", 0x3A45},          {"Email1", 0x8083},
      {"Email2", 0x8093},         {"Email3", 0x80A3},         {"CompanyName", 0x3A16},
      {"JobTitle", 0x3A17},       {"BusinessStreet", 0x3A29}, {"BusinessCity", 0x3A27},
      {"BusinessPostalCode", 0x3A2A}, {"BusinessState", 0x3A28}, {"BusinessCountry", 0x3A26},
      {"OfficeLocation", 0x3A19}, {"WebPage", 0x3A51},        {"Department", 0x3A18},
      {"ManagerName", 0x3A4E},    {"AssistantName", 0x3A30},  {"BusinessPhone", 0x3A08},
      {"BusinessFax", 0x3A24},    {"MobilePhone", 0x3A1C},    {"Pager", 0x3A21},
      {"HomeStreet", 0x3A5D},     {"HomeCity", 0x3A59},       {"HomePostalCode", 0x3A5B},
      {"HomeState", 0x3A5C},      {"HomeCountry", 0x3A5A},    {"Spouse", 0x3A48},
      {"Children", 0x3A58},       {"HomePhone", 0x3A09},      {"HomeFax", 0x3A25},
  };
  return fields;
}

}  // namespace

void PatternBytes(std::uint64_t seed, std::uint64_t offset, std::size_t size, std::uint8_t* out) {
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t pos = offset + done;
    const std::uint64_t word = SplitMix(seed * 0x100000001B3ull ^ (pos / 8));
    const std::size_t from = pos % 8;
    const std::size_t take = std::min<std::size_t>(8 - from, size - done);
    for (std::size_t k = 0; k < take; ++k) out[done + k] = static_cast<std::uint8_t>(word >> (8 * (from + k)));
    done += take;
  }
}

std::uint16_t ContactFieldTag(const std::string& name) {
  for (const auto& [n, tag] : ContactFields())
    if (n == name) return tag;
  return 0;
}

const std::vector<std::string>& ContactFieldNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const auto& f : ContactFields()) v.push_back(f.first);
    return v;
  }();
  return names;
}

}  // namespace norvexa::pstgen
