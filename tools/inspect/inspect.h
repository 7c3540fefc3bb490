// The two sub-commands of norvexa-inspect.
#pragma once

#include <iosfwd>
#include <string>

namespace norvexa::inspect {

// The store readers norvexa-inspect can read a store with: Norvexa's own,
// or libpff, kept as an independent reader to compare with.
enum class StoreReader { Norvexa, Libpff };

// Prints the store at FILE, read with READER, as one JSON object on OUT;
// with WITH_ITEMS every folder lists its items too, each attachment with its
// size and the SHA-256 of its saved bytes. Returns the exit status: 0, or 1
// after one line on ERR naming the file and the reason.
int InspectStore(const std::string& file, bool with_items, StoreReader reader, std::ostream& out, std::ostream& err);

// Prints the Notes database at FILE as one JSON object on OUT. Returns 0, or
// 1 after one line on ERR.
int InspectNsf(const std::string& file, std::ostream& out, std::ostream& err);

}  // namespace norvexa::inspect
