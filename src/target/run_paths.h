// Where one run's documents go: the mail database, the address book of a new
// database, and which of the two takes contacts and distribution lists.
// Settled once before the first item and handed to the writers as a value.
#pragma once

#include <string>

namespace norvexa::target {

struct RunPaths {
  // The mail database: a new one made by CreateNSF, or the existing file the
  // user chose. Mail, calendar entries and tasks go here.
  std::string mail_database;
  // The new address book; "" when the run writes into an existing database.
  std::string address_book;
  // True for a new database: Person and Group documents then go to the
  // address book, otherwise into the mail database with everything else.
  bool contacts_to_address_book = false;

  // The database that takes Person and Group documents.
  const std::string& ContactsDatabase() const {
    return contacts_to_address_book ? address_book : mail_database;
  }
};

}  // namespace norvexa::target
