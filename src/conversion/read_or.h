// Reading one value of an item so that a failure costs only that value: the
// item is still written with the rest, and the failure is reported.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace norvexa::conversion {

// Calls READ and returns its value, or an empty value when it throws; the
// failure is named (WHAT "could not be read: " and the reason) in PROBLEMS,
// so that the run can report the item as not fully copied.
template <typename Read>
auto ReadOr(std::vector<std::string>& problems, const char* what, Read read) -> decltype(read()) {
  try {
    return read();
  } catch (const std::exception& e) {
    problems.push_back(std::string(what) + " could not be read: " + e.what());
    return decltype(read())();
  }
}

}  // namespace norvexa::conversion
