// Texts of the length and mix of scripts that real mailboxes hold, for the
// window tests: subjects and folder names of hundreds of characters in
// Latin, Cyrillic, Greek, Arabic, Hebrew, Japanese, Devanagari and Korean,
// and long paths built from such names.
#pragma once

#include <QString>

#include <filesystem>
#include <string>

namespace norvexa::testing {

// Exactly LENGTH characters (UTF-16 units, all in the basic plane) of words
// from several scripts, starting with the word at FIRST of the list, so
// that two calls can start differently.
QString MixedScriptText(int length, int first = 0);

// The same as UTF-8, as the store access and the run hand texts over.
std::string MixedScriptUtf8(int length, int first = 0);

// A path below BASE whose text is LENGTH characters long, made of folders
// of names of at most 45 characters (each within a file system's limit of
// a name): in several scripts, or in Latin letters only when MIXED_SCRIPTS
// is false (one byte a character in UTF-8). Nothing is created.
std::filesystem::path LongPath(const std::filesystem::path& base, int length, bool mixed_scripts = true);

}  // namespace norvexa::testing
