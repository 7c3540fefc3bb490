// The setting every writer test starts from: a provisioned client, an empty
// mail database and an empty address book, and the globals pointing at them.
#pragma once

#include "conversion/global/global.h"
#include "writers/notes_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace norvexa::testing {

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
    Global::NsfFilePath = mail_path_.string();
    Global::AddressBookPath = book_path_.string();
    Global::ExcludeFromViewValues = {"D", "S"};
    staging_ = client_.Scratch("staging");
  }

  void TearDown() override {
    Global::NsfFilePath.clear();
    Global::AddressBookPath.clear();
    Global::ExcludeFromViewValues = {"", ""};
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
