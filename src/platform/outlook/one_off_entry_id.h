// Decoding of one-off entry identifiers: the address entries that carry a
// recipient's display name, address type and address inline (used for the
// members of distribution lists).
#pragma once

#include <optional>
#include <string>

namespace norvexa::outlook::items {

struct OneOffAddress {
  std::string display_name;  // UTF-8
  std::string address_type;  // "SMTP", "EX", ...
  std::string address;       // UTF-8
};

// Decodes the one-off entry identifier ENTRY_ID: 4 bytes of flags, the
// one-off provider UID, a 16-bit version, 16-bit flags (with
// MAPI_ONE_OFF_UNICODE the texts are UTF-16LE, else 8-bit in CODEPAGE), then
// display name, address type and address, each NUL-terminated. Returns nullopt when ENTRY_ID is not a
// one-off entry identifier or is cut short.
std::optional<OneOffAddress> DecodeOneOffEntryId(const std::string& entry_id, int codepage);

}  // namespace norvexa::outlook::items
