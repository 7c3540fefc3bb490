// A provisioned local Notes client in a scratch folder, made the session's
// client through NORVEXA_NOTES_DATA for the length of one test.
#pragma once

#include "platform/notes/notes.h"
#include "platform/notes/sqlite_store.h"
#include "support/fixtures.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace norvexa::notes::testing {

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = qgetenv("NORVEXA_NOTES_DATA");
    had_ = qEnvironmentVariableIsSet("NORVEXA_NOTES_DATA");
    ProvisionClient(client_);
    qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(client_.string()));
  }
  void TearDown() override {
    if (had_) qputenv("NORVEXA_NOTES_DATA", saved_);
    else qunsetenv("NORVEXA_NOTES_DATA");
    internal::CloseIdleConnections();
  }

  // A new mail database copied from the client's mail template.
  std::filesystem::path NewMailDatabase(const std::string& name = "mail.nsf") {
    Session session;
    const std::filesystem::path path = scratch_ / name;
    session.GetDatabase("", "mail.ntf")->CreateCopy("", path.string());
    return path;
  }

  norvexa::testing::ScratchDir scratch_;
  std::filesystem::path client_ = scratch_ / "client";

 private:
  QByteArray saved_;
  bool had_ = false;
};

}  // namespace norvexa::notes::testing
