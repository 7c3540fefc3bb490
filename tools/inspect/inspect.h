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
// size and the SHA-256 of its saved bytes. Every folder that can be read is
// printed: a folder, item or attachment that cannot be is named in its place
// with an "error", and the store, folders and items read from damaged parts
// of the file carry a "damage" list of {offset, what}. Returns the exit
// status: 0 when nothing was damaged; 1 when something was (after one line
// on ERR saying so), or when the store cannot be opened (nothing on OUT, one
// line on ERR naming the file and the reason).
int InspectStore(const std::string& file, bool with_items, StoreReader reader, std::ostream& out, std::ostream& err);

// Prints where the named structures of the store file FILE are, as one JSON
// object on OUT: its format, the node of the top folder of its visible
// hierarchy, the roots of the two B-trees, and the first data block of
// the message store, the named-property map, every folder, its hierarchy
// and contents tables, and the attachment table of every item that has one,
// each with its file offset and size. Read with Norvexa's own reader.
// Returns 0, or 1 after one line on ERR naming the file and the reason.
int InspectLayout(const std::string& file, std::ostream& out, std::ostream& err);

// Prints the Notes database at FILE as one JSON object on OUT. Returns 0, or
// 1 after one line on ERR.
int InspectNsf(const std::string& file, std::ostream& out, std::ostream& err);

// Writes REASON to ERR as one line (its line breaks as blanks) and returns
// the exit status of a sub-command that failed, 1.
int FailWith(std::string reason, std::ostream& err);

}  // namespace norvexa::inspect
