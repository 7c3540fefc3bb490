// The export job on its own, driven with a recording observer over a
// generated mailbox of every kind: every event in order and the typed
// result, into a new database (from the store file) and into an existing
// one (from the profile's store identifier); the globals of the windows
// left alone; the failures before anything is written, each typed with its
// path and reason; and the names of new databases that are taken.
#include "conversion/export_job.h"

#include "conversion/global/global.h"
#include "conversion/staging_leftovers.h"
#include "description.h"
#include "mailbox_writer.h"
#include "platform/outlook/outlook.h"
#include "platform/system/processes.h"
#include "run_environment.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace norvexa::conversion {
namespace {

namespace fs = std::filesystem;
const std::string S = sys::PathSeparator().toStdString();

// Keeps every event the job tells, in order, as one line each; the labels
// and yields are only counted.
class Recorder final : public ExportObserver {
 public:
  std::vector<std::string> events;
  int labels = 0;
  int yields = 0;

  void SetSaveHeader(const std::string&) override { ++labels; }
  void SetProcessing(const std::string&) override { ++labels; }
  void SetFound(const std::string&) override { ++labels; }
  void SetCurrent(const std::string&) override { ++labels; }
  void Yield() override { ++yields; }
  void ResetProgress() override { events.push_back("reset"); }
  void TargetSettled(const target::RunPaths& paths) override {
    events.push_back("settled " + paths.mail_database + " | " + paths.address_book);
  }
  void FolderStarted(const FolderStart& folder) override {
    events.push_back("folder " + folder.name + " " + folder.message_class + " " + std::to_string(folder.items));
  }
  void ItemDone(const ItemEnd& item) override {
    const char* outcome = item.outcome == ItemEnd::Outcome::Copied      ? "copied"
                          : item.outcome == ItemEnd::Outcome::NotCopied ? "not copied"
                                                                        : "there";
    events.push_back("item " + item.folder + " " + std::to_string(item.position) + " " + outcome);
  }
  void ShowOverallProgress(const OverallProgress& progress) override {
    events.push_back("progress " + std::to_string(progress.done) + "/" + std::to_string(progress.total) +
                     (progress.finished ? " finished" : ""));
  }
  void Notice(const JobNotice& notice) override {
    events.push_back(std::string("notice ") +
                     (notice.kind == JobNotice::Kind::LeftoversRemoved ? "leftovers" : "name taken") +
                     (notice.paths.empty() ? std::string() : " " + notice.paths.front()));
  }

  // The events without the overall progress shown while the walk goes on
  // (rationed by the clock, so there may be any number of them).
  std::vector<std::string> Steps() const {
    std::vector<std::string> steps;
    for (std::size_t i = 0; i < events.size(); ++i) {
      const bool first_or_last = i + 1 == events.size() || events[i].ends_with(" finished") ||
                                 (i > 0 && events[i - 1].starts_with("settled"));
      if (!events[i].starts_with("progress") || first_or_last) steps.push_back(events[i]);
    }
    return steps;
  }
};

// The mailbox of every kind, written by pstgen into WORK.
fs::path EveryKind(const testing::ScratchDir& work) {
  const fs::path pst = work / "Every Kind.pst";
  pstgen::WriteMailbox(pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/every-kind.json"),
                       pst);
  return pst;
}

// Every folder of PST into TARGET, with the counts the tree would show;
// the events the job should tell between the target and the end (every
// converted folder and each of its items, copied) in EXPECTED, and the
// items in ITEMS.
ExportRequest EveryFolder(const fs::path& pst, const TargetChoice& target, std::vector<std::string>& expected,
                          std::int64_t& items) {
  ExportRequest request;
  request.target = target;
  request.folders = testing::FolderReferences(pst);
  const auto store = outlook::OpenStoreFile(pst);
  items = 0;
  for (const std::string& reference : request.folders) {
    const auto folder = store->GetFolderFromID(reference.substr(0, reference.find('#')));
    const std::string name = reference.substr(reference.find('#') + 1);
    const std::string kind = folder->DefaultMessageClass();
    const std::int64_t count = folder->GetItems()->Count();
    request.folder_counts[reference] = count;
    if (kind != "IPM.Note" && kind != "IPM.Appointment" && kind != "IPM.Task" && kind != "IPM.Contact") continue;
    expected.push_back("folder " + name + " " + kind + " " + std::to_string(count));
    for (std::int64_t i = 1; i <= count; ++i) expected.push_back("item " + name + " " + std::to_string(i) + " copied");
    items += count;
  }
  return request;
}

// The id of a process that has ended (and been reaped).
std::int64_t EndedProcess() {
  QProcess sleeper;
  sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  EXPECT_TRUE(sleeper.waitForStarted());
  const std::int64_t pid = sleeper.processId();
  sleeper.kill();
  sleeper.waitForFinished();
  return pid;
}

// The mailbox of every kind in a scratch folder, a Notes client and a
// profile listing the mailbox, and the temporary folder of the run.
class Job : public ::testing::Test {
 protected:
  void SetUp() override { services.temp_folder = QString::fromStdString(env.temp().string() + S); }

  testing::ScratchDir work;
  const fs::path pst = EveryKind(work);
  testing::RunEnvironment env{{pst}};
  testing::ScriptedServices services;
};

TEST_F(Job, EveryKindIntoANewAndAnExistingDatabaseWithEveryEventInOrder) {
  services.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3));
  // The windows' globals say something else entirely: the job reads none
  // of them and writes none.
  Global::SelectedStoreId = "not-a-store";
  Global::SelectedFolders = {"stale"};
  Global::NsfFilePath = "kept";
  // A staging folder left by an export that was killed.
  const std::int64_t ended = EndedProcess();
  const fs::path leftover = env.temp() / (StagingNamePrefix() + std::to_string(ended) + "-Ab3dE9");
  testing::WriteFile(leftover / "half a file", "x");

  // A new database, from the store file.
  {
    std::vector<std::string> expected;
    std::int64_t items = 0;
    ExportRequest request =
        EveryFolder(pst, {TargetChoice::Kind::NewDatabase, (env.scratch() / "out").string()}, expected, items);
    request.store.file = pst.string();
    Recorder recorder;
    ExportJob job;
    const ExportResult result = job.Run(request, recorder);

    const std::string folder = (env.scratch() / "out").string() + S + "Converted Outlook PST" + S;
    const std::string mail = folder + "Every Kind06-12-2026-9-5-3.nsf";
    const std::string book = folder + "names06-12-2026-9-5-3.nsf";
    expected.insert(expected.begin(), {"reset", "notice leftovers " + leftover.string(),
                                       "settled " + mail + " | " + book, "progress 0/" + std::to_string(items + 2)});
    expected.push_back("progress " + std::to_string(items) + "/" + std::to_string(items) + " finished");
    EXPECT_EQ(recorder.Steps(), expected);
    EXPECT_GT(recorder.labels, 0);
    EXPECT_GT(recorder.yields, 0);

    EXPECT_EQ(result.end, RunEnd::Completed);
    EXPECT_FALSE(result.start_failure);
    EXPECT_EQ(result.paths.mail_database, mail);
    EXPECT_EQ(result.paths.address_book, book);
    EXPECT_TRUE(result.paths.contacts_to_address_book);
    EXPECT_EQ(result.store_file, pst.string());
    EXPECT_EQ(result.store_name, "Every Kind");
    EXPECT_EQ(result.report.Copied(), items);
    EXPECT_TRUE(result.report.AllCopied());
    EXPECT_FALSE(result.report.StopReason());
    ASSERT_EQ(result.report.NotConverted().size(), 2u);
    EXPECT_EQ(result.report.NotConverted()[0].name, "Every Kind\\Journal");
    EXPECT_EQ(result.report.NotConverted()[1].message_class, "IPM.StickyNote");
    for (const auto& [name, documents] : testing::ExpectedDocuments(pst, work.path())) {
      const bool contacts = name == "Outlook Contacts" || name == "Outlook Groups";
      EXPECT_EQ(testing::ActualDocuments(contacts ? book : mail, name), documents) << name;
    }
  }
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_TRUE(fs::is_empty(env.temp()));

  // An existing database, from the profile's store identifier, resuming:
  // the inbox is there already, so its two items are told as there.
  {
    const std::string target = (env.scratch() / "mine.nsf").string();
    testing::MakeMailDatabase(target);
    std::vector<std::string> expected;
    std::int64_t items = 0;
    ExportRequest inbox = EveryFolder(pst, {TargetChoice::Kind::ExistingDatabase, target}, expected, items);
    inbox.store.id = testing::StoreIdOf(pst);
    inbox.folders = {testing::FolderReferenceOfKind(pst, "IPM.Note")};
    Recorder first;
    ASSERT_EQ(ExportJob().Run(inbox, first).end, RunEnd::Completed);

    ExportRequest request = inbox;
    request.folders = testing::FolderReferences(pst);
    request.resume = true;
    for (std::string& step : expected) {
      if (step.starts_with("item Every Kind\\Inbox ")) step.replace(step.size() - 6, 6, "there");
    }
    Recorder recorder;
    ExportJob job;
    const ExportResult result = job.Run(request, recorder);
    expected.insert(expected.begin(), {"reset", "settled " + target + " | ", "progress 0/" + std::to_string(items + 2)});
    expected.push_back("progress " + std::to_string(items) + "/" + std::to_string(items) + " finished");
    EXPECT_EQ(recorder.Steps(), expected);
    EXPECT_EQ(result.end, RunEnd::Completed);
    EXPECT_EQ(result.paths.mail_database, target);
    EXPECT_EQ(result.paths.address_book, "");
    EXPECT_FALSE(result.paths.contacts_to_address_book);
    EXPECT_EQ(result.report.Copied(), items - 2);
    EXPECT_EQ(result.report.Skipped(), 2);
    EXPECT_EQ(testing::DocumentSourceKeys(target), testing::SourceKeysOfConvertedItems(pst));
  }
  EXPECT_TRUE(fs::is_empty(env.temp()));
  EXPECT_EQ(Global::SelectedStoreId, "not-a-store");
  EXPECT_EQ(Global::SelectedFolders, std::vector<std::string>{"stale"});
  EXPECT_EQ(Global::NsfFilePath, "kept");
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(Job, FailuresBeforeWritingAreTypedAndWriteNothing) {
  using Step = StartFailure::Step;
  // Runs a request for every folder of the store file into TARGET; it must
  // not start, and is told nothing but its reset.
  auto refused = [&](const StoreSource& store, const TargetChoice& target) {
    std::vector<std::string> unused;
    std::int64_t items = 0;
    ExportRequest request = EveryFolder(pst, target, unused, items);
    request.store = store;
    Recorder recorder;
    const ExportResult result = ExportJob().Run(request, recorder);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(recorder.events, std::vector<std::string>{"reset"});
    EXPECT_TRUE(fs::is_empty(env.temp()));
    return result.start_failure.value_or(StartFailure{});
  };
  const StoreSource file{pst.string(), ""};
  const std::string out = (env.scratch() / "out").string();

  const fs::path garbage = testing::WriteFile(env.scratch() / "garbage.pst", "not a store\n");
  StartFailure failure = refused({garbage.string(), ""}, {TargetChoice::Kind::NewDatabase, out});
  EXPECT_EQ(failure.step, Step::OpenStore);
  EXPECT_EQ(failure.path, garbage.string());
  EXPECT_FALSE(failure.detail.empty());

  EXPECT_EQ(refused({"", "not-a-store"}, {TargetChoice::Kind::NewDatabase, out}).step, Step::OpenStore);
  EXPECT_EQ(refused(file, {TargetChoice::Kind::NewDatabase, "  "}).step, Step::NoOutputFolder);

  const fs::path plain = testing::WriteFile(env.scratch() / "plain-file", "x");
  failure = refused(file, {TargetChoice::Kind::NewDatabase, plain.string()});
  EXPECT_EQ(failure.step, Step::FolderNotMade);
  EXPECT_EQ(failure.path, plain.string() + S + "Converted Outlook PST");

  const fs::path letter = testing::WriteFile(env.scratch() / "letter.nsf", "Dear reader\n");
  failure = refused(file, {TargetChoice::Kind::ExistingDatabase, " " + letter.string() + " "});
  EXPECT_EQ(failure.step, Step::NotADatabase);
  EXPECT_EQ(failure.path, letter.string());
  EXPECT_FALSE(failure.detail.empty());
  EXPECT_EQ(testing::ReadFile(letter), "Dear reader\n");

  // No Notes client: the creation says where it looked and why, and
  // leaves no database behind.
  const fs::path no_client = env.scratch() / "no-client";
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(no_client.string()));
  failure = refused(file, {TargetChoice::Kind::NewDatabase, out});
  qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString(env.notes_data().string()));
  EXPECT_EQ(failure.step, Step::DatabaseNotMade);
  ASSERT_TRUE(failure.creation);
  EXPECT_EQ(failure.creation->kind, target::CreationFailure::Kind::NoClient);
  EXPECT_EQ(failure.creation->path, no_client.string());
  EXPECT_FALSE(failure.creation->reason.empty());
  EXPECT_TRUE(fs::is_empty(fs::path(out) / "Converted Outlook PST"));
  EXPECT_TRUE(services.messages.empty());
}

TEST_F(Job, TakenNamesMoveOnToTheNextFreeSecondAndNothingIsWrittenOver) {
  // Every export begins in the same second.
  services.now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 59));
  const std::string out = (env.scratch() / "out").string();
  const std::string folder = out + S + "Converted Outlook PST" + S;
  auto run = [&](Recorder& recorder) {
    std::vector<std::string> unused;
    std::int64_t items = 0;
    ExportRequest request = EveryFolder(pst, {TargetChoice::Kind::NewDatabase, out}, unused, items);
    request.store.file = pst.string();
    return ExportJob().Run(request, recorder);
  };

  Recorder first_events;
  const ExportResult first = run(first_events);
  ASSERT_EQ(first.end, RunEnd::Completed);
  EXPECT_EQ(first.paths.mail_database, folder + "Every Kind06-12-2026-9-5-59.nsf");
  const std::size_t mail_documents = testing::DocumentCount(first.paths.mail_database);

  // The same store into the same folder in the same second: the next
  // second for both databases, and a notice; the first ones keep theirs.
  Recorder second_events;
  const ExportResult second = run(second_events);
  ASSERT_EQ(second.end, RunEnd::Completed);
  EXPECT_EQ(second.paths.mail_database, folder + "Every Kind06-12-2026-9-6-0.nsf");
  EXPECT_EQ(second.paths.address_book, folder + "names06-12-2026-9-6-0.nsf");
  EXPECT_NE(std::find(second_events.events.begin(), second_events.events.end(),
                      "notice name taken " + first.paths.mail_database),
            second_events.events.end());
  EXPECT_EQ(testing::DocumentCount(first.paths.mail_database), mail_documents);
  EXPECT_EQ(testing::DocumentCount(second.paths.mail_database), mail_documents);

  // A file of someone else's where the third address book would go: the
  // address book moves on once more, and the file is left as it was.
  const fs::path squatter = testing::WriteFile(folder + "names06-12-2026-9-6-1.nsf", "not mine");
  Recorder third_events;
  const ExportResult third = run(third_events);
  ASSERT_EQ(third.end, RunEnd::Completed);
  EXPECT_EQ(third.paths.mail_database, folder + "Every Kind06-12-2026-9-6-1.nsf");
  EXPECT_EQ(third.paths.address_book, folder + "names06-12-2026-9-6-2.nsf");
  EXPECT_EQ(testing::ReadFile(squatter), "not mine");
  EXPECT_EQ(testing::DocumentCount(third.paths.address_book), testing::DocumentCount(first.paths.address_book));
  EXPECT_TRUE(services.messages.empty());
}

TEST(StagingLeftovers, OnlyTheFoldersOfEndedProcessesOfThisMachineGo) {
  testing::ScratchDir parent;
  const std::string prefix = StagingNamePrefix();
  const std::int64_t ended = EndedProcess();
  const std::int64_t self = sys::CurrentProcessId();
  ASSERT_FALSE(sys::ProcessExists(ended));

  const fs::path dead = parent / (prefix + std::to_string(ended) + "-Ab3dE9");
  testing::WriteFile(dead / "nested" / "staged.bin", "bytes");
  const fs::path mine = parent / (prefix + std::to_string(self) + "-Qw7eR5");
  fs::create_directories(mine);
  const fs::path running = parent / (prefix + "1-Zx1cV2");  // the first process of the system
  fs::create_directories(running);
  const fs::path other_host = parent / ("norvexa-attachments-another-host-" + std::to_string(ended) + "-Po9iU8");
  fs::create_directories(other_host);
  const fs::path older_name = parent / "norvexa-attachments-Lk2jH3";
  fs::create_directories(older_name);
  const fs::path file = testing::WriteFile(parent / (prefix + std::to_string(ended) + "-Fi1lE2"), "a file");
  const fs::path linked_to = parent / "kept";
  testing::WriteFile(linked_to / "precious", "keep me");
  const fs::path link = parent / (prefix + std::to_string(ended) + "-Li1nK2");
  fs::create_directory_symlink(linked_to, link);

  const std::vector<fs::path> removed = RemoveLeftoverStaging({parent.path(), parent / "no-such-folder"});
  EXPECT_EQ(removed, std::vector<fs::path>{dead});
  EXPECT_FALSE(fs::exists(dead));
  for (const fs::path& kept : {mine, running, other_host, older_name, file, link, linked_to / "precious"}) {
    EXPECT_TRUE(fs::exists(fs::symlink_status(kept))) << kept;
  }

  // The names read back, and names that are not a staging folder's.
  EXPECT_EQ(StagingFolderProcess(prefix + "4242-abcdef"), 4242);
  for (const std::string& name : {prefix + "-abcdef", prefix + "42-abcde", prefix + "42abcdef", prefix + "0-abcdef",
                                  prefix + "4x2-abcdef", prefix + "99999999999999999999-abcdef",
                                  std::string("norvexa-attachments-abcdef"), std::string("other-42-abcdef")}) {
    EXPECT_FALSE(StagingFolderProcess(name)) << name;
  }
}

}  // namespace
}  // namespace norvexa::conversion
