// The setting every writer test starts from: a provisioned client, an empty
// mail database and an empty address book, and the writer context pointing
// at them (contacts to the address book, as for a new database).
#pragma once

#include "writers/notes_client.h"
#include "writers/writer_context.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace norvexa::testing {

// The context the writer tests hand to the writers; set up by WriterTest.
inline writers::WriterContext writer_context;

class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = client_.Scratch("out");
    mail_path_ = out_ / "mail.nsf";
    book_path_ = out_ / "names-book.nsf";
    client_.MakeMailDatabase(mail_path_);
    {
      notes::Session session;
      session.GetDatabase("", "pernames.ntf")->CreateCopy("", book_path_.string());
    }
    writer_context = writers::WriterContext();
    writer_context.paths.mail_database = mail_path_.string();
    writer_context.paths.address_book = book_path_.string();
    writer_context.paths.contacts_to_address_book = true;
    writer_context.exclude_from_view = {"D", "S"};
    staging_ = client_.Scratch("staging");
  }

  void TearDown() override {
    writer_context = writers::WriterContext();
  }

  // Stages a file NAME holding BYTES, as the item preparation does, and
  // returns its full path.
  std::string Stage(const std::string& name, const std::string& bytes) {
    return WriteFile(staging_ / name, bytes).string();
  }

  NotesClient client_;
  std::filesystem::path out_, mail_path_, book_path_, staging_;
};

}  // namespace norvexa::testing
