// The check of an object's position (see position_check.h).
#include "platform/outlook/position_check.h"

#include "platform/outlook/outlook.h"

namespace norvexa::outlook::items {

void CheckPosition(const std::string& file, std::int64_t position, std::int64_t count, const char* what,
                   const char* container) {
  if (position >= 1 && position <= count) return;
  throw OutlookError(file + ": " + what + " " + std::to_string(position) + " is out of range (the " + container +
                     " has " + std::to_string(count) + ")");
}

}  // namespace norvexa::outlook::items
