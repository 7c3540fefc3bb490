// Helpers of the PST writer tests: the mailbox descriptions under
// tests/data/mailboxes, and running outside programs (pstgen, pffinfo,
// pffexport, readpst) with their output.
#pragma once

#include "model.h"

#include <QStringList>

#include <filesystem>
#include <string>

namespace norvexa::pstgen::testing {

// Path of tests/data/mailboxes/NAME.json.
std::filesystem::path DescriptionPath(const std::string& name);

// Reads description NAME; throws when it is not valid.
MailboxSpec Description(const std::string& name);

// The outcome of a program run.
struct RunResult {
  bool started = false;
  int exit_code = -1;
  std::string output;  // standard output and error together
};

// Runs PROGRAM with ARGS (within TIMEOUT_MS) and returns its outcome.
RunResult RunProgram(const QString& program, const QStringList& args, int timeout_ms = 120000);

// True when PROGRAM can be found on the PATH.
bool Available(const QString& program);

}  // namespace norvexa::pstgen::testing
