// Helpers of the PST writer tests.
#include "pstgen_test_support.h"

#include "description.h"

#include <QProcess>
#include <QStandardPaths>

namespace norvexa::pstgen::testing {

std::filesystem::path DescriptionPath(const std::string& name) {
  return std::filesystem::path(NORVEXA_SOURCE_DIR) / "tests" / "data" / "mailboxes" / (name + ".json");
}

MailboxSpec Description(const std::string& name) { return ReadDescription(DescriptionPath(name)); }

RunResult RunProgram(const QString& program, const QStringList& args, int timeout_ms) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, args);
  RunResult result;
  if (!process.waitForStarted()) return result;
  result.started = true;
  process.waitForFinished(timeout_ms);
  result.output = process.readAll().toStdString();
  result.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return result;
}

bool Available(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

}  // namespace norvexa::pstgen::testing
