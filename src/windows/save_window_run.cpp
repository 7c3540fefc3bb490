// An export as the save window runs it; see save_window_run.h.
#include "windows/save_window_run.h"

#include "conversion/global/global.h"
#include "windows/export_messages.h"

namespace norvexa::windows {
namespace {

using conversion::ExportObserver;

// Passes everything on to the window's observer and publishes the target
// paths in the globals as soon as the job has settled them.
class PublishingObserver final : public ExportObserver {
 public:
  explicit PublishingObserver(ExportObserver& to) : to_(to) {}
  void SetSaveHeader(const std::string& text) override { to_.SetSaveHeader(text); }
  void SetProcessing(const std::string& text) override { to_.SetProcessing(text); }
  void SetFound(const std::string& text) override { to_.SetFound(text); }
  void SetCurrent(const std::string& text) override { to_.SetCurrent(text); }
  void Yield() override { to_.Yield(); }
  void ResetProgress() override { to_.ResetProgress(); }
  void TargetSettled(const target::RunPaths& paths) override {
    Global::NsfFilePath = paths.mail_database;
    Global::AddressBookPath = paths.address_book;
    to_.TargetSettled(paths);
  }
  void FolderStarted(const conversion::FolderStart& folder) override { to_.FolderStarted(folder); }
  void ItemDone(const conversion::ItemEnd& item) override { to_.ItemDone(item); }
  void ShowOverallProgress(const conversion::OverallProgress& progress) override {
    to_.ShowOverallProgress(progress);
  }
  void Notice(const conversion::JobNotice& notice) override { to_.Notice(notice); }

 private:
  ExportObserver& to_;
};

}  // namespace

conversion::ExportRequest RequestFromWindows(const RunTarget& target) {
  conversion::ExportRequest request;
  request.store.id = Global::SelectedStoreId;
  request.folders = Global::SelectedFolders;
  request.folder_counts = Global::SelectedFolderCounts;
  request.target.kind = target.new_database ? conversion::TargetChoice::Kind::NewDatabase
                                            : conversion::TargetChoice::Kind::ExistingDatabase;
  request.target.path = target.new_database ? target.output_folder : target.existing_file;
  request.exclude_from_view = Global::ExcludeFromViewValues;
  return request;
}

conversion::RunEnd RunFromSaveWindow(conversion::ExportJob& job, ExportObserver& observer, const RunTarget& target,
                                     QWidget* owner) {
  // The request is a copy: the yields run other handlers, which may change
  // the globals.
  const conversion::ExportRequest request = RequestFromWindows(target);
  PublishingObserver publishing(observer);
  const conversion::ExportResult result = job.Run(request, publishing);
  if (result.end != conversion::RunEnd::Stopped) {
    Global::SelectedFolders.clear();
    Global::SelectedFolderCounts.clear();
  }
  ShowOutcome(owner, result);
  return result.end;
}

}  // namespace norvexa::windows
