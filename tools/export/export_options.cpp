// The command line of norvexa-export; see export_options.h.
#include "export_options.h"

namespace norvexa::exporter {
namespace {

// Whether ARGUMENT is an option: it begins with "--".
bool IsOption(const std::string& argument) { return argument.size() > 1 && argument.rfind("--", 0) == 0; }

// The value after option NAME at AT; throws when there is none.
const std::string& ValueOf(const std::vector<std::string>& arguments, std::size_t& at, const std::string& name) {
  if (at + 1 >= arguments.size() || IsOption(arguments[at + 1]) || arguments[at + 1].empty()) {
    throw UsageError(name + " needs a value");
  }
  return arguments[++at];
}

// Sets the target of OPTIONS to KIND at PATH; throws UsageError when a
// target was given already.
void SetTarget(ExportOptions& options, TargetKind kind, const std::string& path) {
  if (options.target != TargetKind::None) {
    throw UsageError("give one target: --new-database FOLDER or --existing-database FILE.nsf");
  }
  options.target = kind;
  options.target_path = path;
}

}  // namespace

ExportOptions ParseArguments(const std::vector<std::string>& arguments) {
  ExportOptions options;
  std::vector<std::string> stores;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--new-database") {
      SetTarget(options, TargetKind::NewDatabase, ValueOf(arguments, at, argument));
    } else if (argument == "--existing-database") {
      SetTarget(options, TargetKind::ExistingDatabase, ValueOf(arguments, at, argument));
    } else if (argument == "--profile") {
      if (!options.profile.empty()) throw UsageError("--profile is given twice");
      options.profile = ValueOf(arguments, at, argument);
    } else if (argument == "--batch") {
      if (!options.batch.empty()) throw UsageError("--batch is given twice");
      options.batch = ValueOf(arguments, at, argument);
    } else if (argument == "--folders") {
      // Every argument up to the next option is a folder path.
      const std::size_t first = options.folders.size();
      while (at + 1 < arguments.size() && !IsOption(arguments[at + 1])) options.folders.push_back(arguments[++at]);
      if (options.folders.size() == first) throw UsageError("--folders needs at least one folder path");
    } else if (argument == "--json") {
      options.json = true;
    } else if (argument == "--resume") {
      options.resume = true;
    } else if (IsOption(argument) || (argument.size() > 1 && argument[0] == '-')) {
      throw UsageError("unknown option " + argument);
    } else {
      stores.push_back(argument);
    }
  }
  if (options.help) return options;

  const int sources = (stores.empty() ? 0 : 1) + (options.profile.empty() ? 0 : 1) + (options.batch.empty() ? 0 : 1);
  if (stores.size() > 1) throw UsageError("give one store file (" + stores[1] + " is a second one)");
  if (sources == 0) throw UsageError("give a store file, --profile FILE or --batch LIST.tsv");
  if (sources > 1) throw UsageError("give only one of a store file, --profile FILE and --batch LIST.tsv");
  if (!stores.empty()) options.store = stores.front();

  if (!options.batch.empty()) {
    if (options.target != TargetKind::None) {
      throw UsageError("--batch takes the target of each store from its line; leave out --new-database and "
                       "--existing-database");
    }
    return options;
  }
  if (options.target == TargetKind::None) {
    throw UsageError("give a target: --new-database FOLDER or --existing-database FILE.nsf");
  }
  if (options.resume && options.target != TargetKind::ExistingDatabase) {
    throw UsageError("--resume needs --existing-database FILE.nsf: a new database is named by the time it is made, "
                     "so a second run cannot find it");
  }
  return options;
}

std::string UsageText() {
  return "usage: norvexa-export STORE.pst (--new-database FOLDER | --existing-database FILE.nsf) [options]\n"
         "       norvexa-export --profile FILE (--new-database FOLDER | --existing-database FILE.nsf) [options]\n"
         "       norvexa-export --batch LIST.tsv [options]\n"
         "\n"
         "Copies an Outlook mailbox into a Notes mail database, as the save window does.\n"
         "\n"
         "  --new-database FOLDER       a new mail database and address book in\n"
         "                              FOLDER/Converted Outlook PST\n"
         "  --existing-database FILE    add the documents to this .nsf file\n"
         "  --profile FILE              every store of this profile, one after the other\n"
         "  --batch LIST.tsv            one export per line \"store file<TAB>target\"; a target\n"
         "                              ending in .nsf is an existing database, any other a folder\n"
         "  --folders PATH...           only these folders, by their path in the folder tree\n"
         "                              (\"Personal Folders\\Inbox\"; the store's name may be left out)\n"
         "  --resume                    with an existing database: skip the items it already holds\n"
         "  --json                      print each export's report as one JSON object (one line)\n"
         "                              on standard output\n"
         "\n"
         "Exit status: 0 everything copied, 1 some items not copied, 2 nothing could be done.\n";
}

std::vector<std::string> LineArguments(const ExportOptions& options, const std::string& store, TargetKind kind,
                                       const std::string& target) {
  std::vector<std::string> arguments{store,
                                     kind == TargetKind::ExistingDatabase ? "--existing-database" : "--new-database",
                                     target};
  if (!options.folders.empty()) {
    arguments.push_back("--folders");
    arguments.insert(arguments.end(), options.folders.begin(), options.folders.end());
  }
  if (options.json) arguments.push_back("--json");
  if (options.resume) arguments.push_back("--resume");
  return arguments;
}

}  // namespace norvexa::exporter
