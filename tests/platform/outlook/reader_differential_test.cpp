// Our store reader against libpff, value for value: norvexa-inspect prints
// every folder, every item value the conversion reads and the SHA-256 of
// every attachment's saved bytes, once read with each reader, and the two
// outputs must be the same — for every real fixture, for every mailbox
// description written in each form pstgen writes, and for a synthetic
// mailbox.
#include "support/fixtures.h"

#include <QDir>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Output {
  bool ok = false;
  std::string out;
  std::string err;
};

Output RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  Output result;
  if (!process.waitForFinished(600000)) return result;
  result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  result.out = process.readAllStandardOutput().toStdString();
  result.err = process.readAllStandardError().toStdString();
  return result;
}

Output Inspect(const fs::path& pst, const QString& reader) {
  return RunTool(QStringLiteral(NORVEXA_BINARY_DIR "/tools/inspect/norvexa-inspect"),
             {"store", "--items", "--reader", reader, QString::fromStdString(pst.string())});
}

// Where two texts first differ, with the line of each.
std::string FirstDifference(const std::string& ours, const std::string& theirs) {
  std::istringstream a(ours), b(theirs);
  std::string line_a, line_b;
  for (int line = 1;; ++line) {
    const bool more_a = static_cast<bool>(std::getline(a, line_a));
    const bool more_b = static_cast<bool>(std::getline(b, line_b));
    if (!more_a && !more_b) return "no difference";
    if (line_a != line_b || more_a != more_b) {
      return "line " + std::to_string(line) + ":\n  ours:   " + (more_a ? line_a : "<end>") +
             "\n  libpff: " + (more_b ? line_b : "<end>");
    }
  }
}

// Reads PST with both readers and expects the same output.
void ExpectSameAsLibpff(const fs::path& pst) {
  SCOPED_TRACE(pst.string());
  const Output ours = Inspect(pst, "norvexa");
  const Output theirs = Inspect(pst, "libpff");
  ASSERT_TRUE(ours.ok) << ours.err;
  ASSERT_TRUE(theirs.ok) << theirs.err;
  EXPECT_NE(ours.out.find("\"items\""), std::string::npos) << "nothing was read";
  EXPECT_TRUE(ours.out == theirs.out) << FirstDifference(ours.out, theirs.out);
}

// Writes the mailbox description NAME with pstgen and the extra ARGUMENTS.
fs::path Generate(const fs::path& dir, const std::string& name, const QStringList& arguments) {
  const fs::path out = dir / (name + "-" + arguments.join("-").remove("--").toStdString() + ".pst");
  QStringList args = arguments;
  args << QString::fromStdString((fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes" / (name + ".json")).string())
       << QString::fromStdString(out.string());
  const Output run = RunTool(QStringLiteral(NORVEXA_BINARY_DIR "/tools/pstgen/pstgen"), args);
  EXPECT_TRUE(run.ok) << run.out << run.err;
  return out;
}

TEST(ReaderDifferential, EveryRealFixtureReadsAsLibpffReadsIt) {
  const fs::path dir = fs::path(NORVEXA_SHARED_FIXTURES) / "pst";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "the shared PST fixtures are not here (" << dir.string() << ")";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".pst") continue;
    ExpectSameAsLibpff(entry.path());
    ++files;
  }
  EXPECT_GE(files, 11);
}

TEST(ReaderDifferential, EveryDescriptionInEveryFormReadsAsLibpffReadsIt) {
  norvexa::testing::ScratchDir scratch;
  const std::vector<QStringList> forms = {{"--encoding", "none"},
                                          {"--encoding", "compressible"},
                                          {"--encoding", "high"},
                                          {"--format", "ansi"},
                                          {"--format", "ansi", "--encoding", "high"},
                                          {"--format", "unicode4k"},
                                          {"--format", "unicode4k", "--encoding", "compressible", "--compress"}};
  for (const auto& entry : fs::directory_iterator(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes")) {
    const std::string name = entry.path().stem().string();
    // The 40,000-item folder is read in full by the large-folder test.
    if (entry.path().extension() != ".json" || name == "large-folder") continue;
    for (const QStringList& form : forms) ExpectSameAsLibpff(Generate(scratch.path(), name, form));
  }
}

TEST(ReaderDifferential, SyntheticMailboxesReadAsLibpffReadsThem) {
  norvexa::testing::ScratchDir scratch;
  for (const QStringList& form : {QStringList{"--encoding", "compressible"}, QStringList{"--format", "ansi", "--encoding", "high"},
                                  QStringList{"--format", "unicode4k", "--compress"}}) {
    const fs::path pst = scratch / ("synthetic-" + form.join("-").remove("--").toStdString() + ".pst");
    QStringList args = form;
    args << "--synthetic" << "--folders" << "4" << "--items" << "300" << "--attachment-bytes" << "20000" << "--seed"
         << "7" << QString::fromStdString(pst.string());
    const Output run = RunTool(QStringLiteral(NORVEXA_BINARY_DIR "/tools/pstgen/pstgen"), args);
    ASSERT_TRUE(run.ok) << run.out << run.err;
    ExpectSameAsLibpff(pst);
  }
}

}  // namespace
