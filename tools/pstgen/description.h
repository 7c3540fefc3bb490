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

}  // namespace norvexa::pstgen
