// Reading the local time zone once; see local_time_zone.h.
#include "platform/system/local_time_zone.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace norvexa::sys {

void KeepLocalTimeZone() {
#if defined(__unix__) || defined(__APPLE__)
  if (std::getenv("TZ") != nullptr) return;
  // glibc compares TZ with the value it read last and reads the zone file
  // again only when TZ changed; unset, it checks the file every time.
  std::error_code error;
  if (!std::filesystem::exists("/etc/localtime", error)) return;
  ::setenv("TZ", ":/etc/localtime", 0);
  ::tzset();
#endif
}

}  // namespace norvexa::sys
