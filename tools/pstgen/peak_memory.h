// The peak resident memory of this process, where the system tells it.
#pragma once

#include <cstdint>
#include <optional>

namespace norvexa::pstgen {

// Peak resident set size in kilobytes (VmHWM on Linux); nullopt where the
// system offers no such figure.
std::optional<std::uint64_t> PeakMemoryKb();

}  // namespace norvexa::pstgen
