// norvexa-export: the conversion of the save window run from a command line,
// for administrators who move many mailboxes on machines without a display.
// It runs the same export job (conversion/export_job.h) as the save window;
// see export_options.cpp for the command line.
#include "batch.h"
#include "export_options.h"
#include "platform/outlook/outlook.h"
#include "platform/system/local_time_zone.h"
#include "platform/system/terminal.h"
#include "report_json.h"
#include "store_export.h"

#include <QCoreApplication>
#include <QStringList>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace norvexa;
using namespace norvexa::exporter;

// Prints the JSON report of RESULT on standard output as one line.
void PrintJson(const StoreReport& result) {
  const QByteArray json = JsonLine(ReportJson(result));
  std::cout.write(json.constData(), json.size());
  std::cout.flush();
}

// Every store of the profile, one after the other, into the same target (a
// new database's name that is taken moves on to the next free second).
int ExportProfile(const ExportOptions& options, const Display& display) {
  std::size_t count = 0;
  try {
    outlook::Session session;
    session.LogonProfile(std::filesystem::path(QString::fromStdString(options.profile).toStdU16String()));
    count = session.Stores().Count();
  } catch (const std::exception& e) {
    std::cerr << "norvexa-export: cannot read the profile: " << e.what() << "\n";
    return 2;
  }
  if (count == 0) {
    std::cerr << "norvexa-export: the profile " << options.profile << " lists no store\n";
    return 2;
  }
  std::vector<int> statuses;
  for (std::size_t position = 1; position <= count; ++position) {
    const StoreReport result = RunExport(Source{std::string(), options.profile, position},
                                         Target{options.target, options.target_path}, options.folders,
                                         options.resume, display);
    if (options.json) PrintJson(result);
    statuses.push_back(result.status);
    // The store just read is not read again: give its cache back.
    outlook::ReleaseCachedStores();
  }
  return CombinedStatus(statuses);
}

}  // namespace

int main(int argc, char** argv) {
  norvexa::sys::KeepLocalTimeZone();
  QCoreApplication app(argc, argv);
  std::vector<std::string> arguments;
  const QStringList given = QCoreApplication::arguments();
  for (qsizetype i = 1; i < given.size(); ++i) arguments.push_back(given[i].toStdString());

  ExportOptions options;
  try {
    options = ParseArguments(arguments);
  } catch (const UsageError& e) {
    std::cerr << "norvexa-export: " << e.what() << " (norvexa-export --help shows how to use it)\n";
    return 2;
  }
  if (options.help) {
    std::cout << UsageText();
    return 0;
  }

  const Display display{&std::cerr, sys::StandardErrorIsTerminal(), sys::StandardErrorColumns()};
  try {
    if (!options.batch.empty()) {
      return RunBatch(options, QCoreApplication::applicationFilePath().toStdString(), std::cout, std::cerr);
    }
    if (!options.profile.empty()) return ExportProfile(options, display);
    const StoreReport result = RunExport(Source{options.store, std::string(), 0},
                                         Target{options.target, options.target_path}, options.folders,
                                         options.resume, display);
    if (options.json) PrintJson(result);
    return result.status;
  } catch (const UsageError& e) {
    std::cerr << "norvexa-export: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    // Nothing of the exports themselves comes here (they never throw); a
    // failure around them (no memory, a broken output) ends the command.
    std::cerr << "norvexa-export: " << e.what() << "\n";
    return 2;
  }
}
