// The two sub-commands of norvexa-inspect.
#pragma once

#include <iosfwd>
#include <string>

namespace norvexa::inspect {

// Prints the store at FILE as one JSON object on OUT; with WITH_ITEMS every
// folder lists its items too. Returns the exit status: 0, or 1 after one
// line on ERR naming the file and the reason.
int InspectStore(const std::string& file, bool with_items, std::ostream& out, std::ostream& err);

// Prints the Notes database at FILE as one JSON object on OUT. Returns 0, or
// 1 after one line on ERR.
int InspectNsf(const std::string& file, std::ostream& out, std::ostream& err);

}  // namespace norvexa::inspect
