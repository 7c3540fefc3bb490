// Helpers of the PST writer tests: the mailbox descriptions under
// tests/data/mailboxes, the kinds of file (format, encoding) they are written
// in, and running outside programs (pstgen, pffinfo, pffexport, readpst)
// with their output.
#pragma once

#include "model.h"

#include <QStringList>

#include <filesystem>
#include <string>
#include <vector>

namespace norvexa::pstgen::testing {

// Path of tests/data/mailboxes/NAME.json.
std::filesystem::path DescriptionPath(const std::string& name);

// Reads description NAME; throws when it is not valid.
MailboxSpec Description(const std::string& name);

// The descriptions the tests write in every kind of file (the 40,000-item
// one has tests of its own).
const std::vector<std::string>& DescriptionNames();

// One kind of file: format, block encoding, and (4 KB-page files) deflated
// data blocks.
struct FileKind {
  FileFormat format = FileFormat::Unicode;
  Encoding encoding = Encoding::None;
  bool compress = false;

  // "unicode-none", "ansi-high", "unicode4k-compressible-deflated", ...: for
  // file names and test traces.
  std::string Name() const;
  // The command-line options that write this kind.
  QStringList Args() const;
  // SPEC with this kind's format, encoding and deflation.
  MailboxSpec Apply(MailboxSpec spec) const;
};

// Every format with every encoding, and 4 KB-page files with deflated
// blocks, unencoded and with each encoding.
std::vector<FileKind> AllFileKinds();

// What a reader gets back of TEXT written in a file of SPEC: the text
// itself in Unicode files, what the code page holds of it in ANSI files.
std::string StoredText(const MailboxSpec& spec, const std::string& text);

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
