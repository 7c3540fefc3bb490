// The message boxes of the save window for an export's result; see
// export_messages.h.
#include "windows/export_messages.h"

#include "platform/system/system_services.h"

#include <exception>
#include <string>

namespace norvexa::windows {
namespace {

using conversion::StartFailure;
using Step = StartFailure::Step;

// TEXT, a line break and what the failing call said, as the boxes have it.
std::string WithDetail(const std::string& text, const StartFailure& failure) {
  return text + "\r\n" + failure.detail;
}

}  // namespace

QString StartFailureText(const StartFailure& failure) {
  std::string text;
  switch (failure.step) {
    case Step::LogOn: text = WithDetail("Could not log on to Outlook; nothing was exported.", failure); break;
    case Step::OpenStore: text = WithDetail("Could not open the Outlook store; nothing was exported.", failure); break;
    case Step::StagingFolder:
      text = WithDetail("Could not make a folder for the attachments; nothing was exported.", failure);
      break;
    case Step::NoOutputFolder: text = "Please select the folder in which to save the new Lotus Notes Mailbox."; break;
    case Step::StoreFileUnknown:
      text = WithDetail("Could not find the file of the Outlook store; nothing was exported.", failure);
      break;
    case Step::StoreWithoutFile:
      text = "The Outlook store has no file of its own to name the new Lotus Notes Mailbox after; "
             "nothing was exported.";
      break;
    case Step::PathTooLong:
      text = "The path of the folder " + failure.path + " is too long for a Lotus Notes database (" +
             std::to_string(failure.bytes) + " bytes, at most " + std::to_string(failure.limit) +
             "); nothing was exported. Please choose a folder with a shorter path.";
      break;
    case Step::FolderNotMade:
      text = "Could not create the folder " + failure.path + "; nothing was exported. Please choose another folder.";
      break;
    case Step::NotADatabase:
      text = "The file " + failure.path + " could not be opened as a Lotus Notes database; nothing was exported.";
      if (!failure.detail.empty()) text = WithDetail(text, failure);
      break;
    case Step::TargetUnreadable:
      text = WithDetail("The file " + failure.path + " could not be read; nothing was exported.", failure);
      break;
    case Step::DatabaseNotMade:
      text = WithDetail("The new Lotus Notes Mailbox could not be made; nothing was exported.", failure);
      break;
  }
  return QString::fromStdString(text);
}

void EndProgramNotesNotInstalled() {
  sys::ShowNotice(nullptr, QStringLiteral("Lotus Notes NOT INSTALLED or CONFIGURED Properly."),
                  QStringLiteral("Notes Not Installed/Configured"));
  sys::Services().ExitProgram(1);
  // ExitProgram does not return; the compiler cannot see that through the
  // seam, and the program must not go on either way.
  std::terminate();
}

void ShowOutcome(QWidget* owner, const conversion::ExportResult& result) {
  const target::RunPaths& paths = result.paths;
  switch (result.end) {
    case conversion::RunEnd::Stopped:
      if (result.start_failure && result.start_failure->step == Step::DatabaseNotMade) EndProgramNotesNotInstalled();
      sys::ShowNotice(owner, result.start_failure ? StartFailureText(*result.start_failure) : QString(),
                      QStringLiteral("Norvexa"), sys::Icon::Warning);
      return;
    case conversion::RunEnd::Halted:
    case conversion::RunEnd::StoppedByUser:
      sys::Services().ShowMessage(owner, result.report.StopMessage(paths.mail_database, paths.address_book));
      return;
    case conversion::RunEnd::Completed:
      sys::Services().ShowMessage(owner, result.report.CompletionMessage(paths.mail_database, paths.address_book));
      return;
  }
}

}  // namespace norvexa::windows
