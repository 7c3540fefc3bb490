// The maker's name and where users reach them, shown in the banner, the
// status bar, the splash and about pictures and the help.
#pragma once

namespace norvexa::shell {

inline constexpr const char* kMakerName = "Ferncastle Softworks";
inline constexpr const char* kSupportAddress = "help@norvexa.example";
inline constexpr const char* kWebAddress = "www.norvexa.example";

}  // namespace norvexa::shell
