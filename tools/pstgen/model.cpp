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
      {"FirstName", mapi::PR_GIVEN_NAME},
      {"MiddleName", mapi::PR_MIDDLE_NAME},
      {"LastName", mapi::PR_SURNAME},
      {"Suffix", mapi::PR_GENERATION},
      {"Title", mapi::PR_DISPLAY_NAME_PREFIX},
      {"Email1", mapi::PidLidEmail1EmailAddress},
      {"Email2", mapi::PidLidEmail2EmailAddress},
      {"Email3", mapi::PidLidEmail3EmailAddress},
      {"CompanyName", mapi::PR_COMPANY_NAME},
      {"JobTitle", mapi::PR_TITLE},
      {"BusinessStreet", mapi::PR_BUSINESS_ADDRESS_STREET},
      {"BusinessCity", mapi::PR_BUSINESS_ADDRESS_CITY},
      {"BusinessPostalCode", mapi::PR_BUSINESS_ADDRESS_POSTAL_CODE},
      {"BusinessState", mapi::PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE},
      {"BusinessCountry", mapi::PR_BUSINESS_ADDRESS_COUNTRY},
      {"OfficeLocation", mapi::PR_OFFICE_LOCATION},
      {"WebPage", mapi::PR_BUSINESS_HOME_PAGE},
      {"Department", mapi::PR_DEPARTMENT_NAME},
      {"ManagerName", mapi::PR_MANAGER_NAME},
      {"AssistantName", mapi::PR_ASSISTANT},
      {"BusinessPhone", mapi::PR_BUSINESS_TELEPHONE_NUMBER},
      {"BusinessFax", mapi::PR_BUSINESS_FAX_NUMBER},
      {"MobilePhone", mapi::PR_MOBILE_TELEPHONE_NUMBER},
      {"Pager", mapi::PR_PAGER_TELEPHONE_NUMBER},
      {"HomeStreet", mapi::PR_HOME_ADDRESS_STREET},
      {"HomeCity", mapi::PR_HOME_ADDRESS_CITY},
      {"HomePostalCode", mapi::PR_HOME_ADDRESS_POSTAL_CODE},
      {"HomeState", mapi::PR_HOME_ADDRESS_STATE_OR_PROVINCE},
      {"HomeCountry", mapi::PR_HOME_ADDRESS_COUNTRY},
      {"Spouse", mapi::PR_SPOUSE_NAME},
      {"Children", mapi::PR_CHILDRENS_NAMES},
      {"HomePhone", mapi::PR_HOME_TELEPHONE_NUMBER},
      {"HomeFax", mapi::PR_HOME_FAX_NUMBER},
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

Attachment PatternAttachment(const std::string& name, std::uint64_t size, std::uint64_t seed) {
  Attachment a;
  a.file_name = name;
  a.use_pattern = true;
  a.pattern_size = size;
  a.pattern_seed = seed;
  return a;
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
