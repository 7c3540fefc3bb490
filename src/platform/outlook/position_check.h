// The check both store readers make when asked for an object by its place:
// that a 1-based position names one of a folder's items or of an item's
// attachments.
#pragma once

#include <cstdint>
#include <string>

namespace norvexa::outlook::items {

// Throws OutlookError "<FILE>: <WHAT> <POSITION> is out of range (the
// <CONTAINER> has <COUNT>)" unless 1 <= POSITION <= COUNT. WHAT names the
// object ("item"), CONTAINER what holds it ("folder").
void CheckPosition(const std::string& file, std::int64_t position, std::int64_t count, const char* what,
                   const char* container);

}  // namespace norvexa::outlook::items
