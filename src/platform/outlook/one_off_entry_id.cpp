// Decoding of one-off entry identifiers (see one_off_entry_id.h).
#include "platform/outlook/one_off_entry_id.h"

#include "platform/outlook/mapi_tags.h"
#include "platform/outlook/text_codec.h"

#include <cstdint>
#include <cstring>

namespace norvexa::outlook::items {
namespace {

// Reads one NUL-terminated text at OFFSET (advancing it); nullopt when the
// terminator is missing.
std::optional<std::string> ReadText(const std::string& data, std::size_t& offset, bool unicode, int codepage) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
  if (unicode) {
    for (std::size_t end = offset; end + 1 < data.size(); end += 2) {
      if (bytes[end] == 0 && bytes[end + 1] == 0) {
        std::string text = text::FromUtf16Le(bytes + offset, end - offset);
        offset = end + 2;
        return text;
      }
    }
    return std::nullopt;
  }
  for (std::size_t end = offset; end < data.size(); ++end) {
    if (bytes[end] == 0) {
      std::string text = text::FromCodepage(bytes + offset, end - offset, codepage);
      offset = end + 1;
      return text;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<OneOffAddress> DecodeOneOffEntryId(const std::string& entry_id, int codepage) {
  if (entry_id.size() < 24 || std::memcmp(entry_id.data() + 4, mapi::MAPI_ONE_OFF_UID.data(), 16) != 0) return std::nullopt;
  const unsigned flags = static_cast<unsigned char>(entry_id[22]) | (static_cast<unsigned char>(entry_id[23]) << 8);
  const bool unicode = (flags & mapi::MAPI_ONE_OFF_UNICODE) != 0;
  std::size_t offset = 24;
  auto name = ReadText(entry_id, offset, unicode, codepage);
  if (!name) return std::nullopt;
  auto type = ReadText(entry_id, offset, unicode, codepage);
  if (!type) return std::nullopt;
  auto address = ReadText(entry_id, offset, unicode, codepage);
  if (!address) return std::nullopt;
  return OneOffAddress{std::move(*name), std::move(*type), std::move(*address)};
}

}  // namespace norvexa::outlook::items
