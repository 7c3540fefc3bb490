// Mailbox descriptions: the JSON format documented in README.md.
#pragma once

#include "model.h"

#include <QByteArray>

#include <filesystem>
#include <stdexcept>

namespace norvexa::pstgen {

class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the description at PATH. Throws DescriptionError naming the file
// and the fault when it cannot be read or is not a valid description.
MailboxSpec ReadDescription(const std::filesystem::path& path);

// Parses description text JSON (SOURCE names it in errors).
MailboxSpec ParseDescription(const QByteArray& json, const std::string& source);

// The format named NAME ("unicode", "ansi", "unicode4k") into OUT; false for
// another name.
bool ParseFileFormat(const std::string& name, FileFormat& out);

// The encoding named NAME ("none", "compressible", "high") into OUT; false
// for another name.
bool ParseEncoding(const std::string& name, Encoding& out);

}  // namespace norvexa::pstgen
