// The progress of norvexa-export on standard error: on a terminal, a bar
// that fits the terminal and says the items done, the rate and the time
// left, under a line per folder; elsewhere, only the line per folder.
#include "progress.h"

#include <QThread>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace norvexa::exporter {
namespace {

// The text after the last carriage return: what the bar shows now.
std::string BarNow(const std::string& out) {
  const std::size_t at = out.rfind('\r');
  std::string bar = at == std::string::npos ? out : out.substr(at + 1);
  if (!bar.empty() && bar.back() == '\n') bar.pop_back();
  return bar;
}

TEST(ExportProgress, BarFitsTheTerminalAndSaysItemsRateAndTimeLeft) {
  std::ostringstream out;
  conversion::RunReport report;
  ProgressView view(out, ProgressView::Mode::Bar, 100, 60);
  view.Follow(report);

  view.SetSaveHeader("A folder with a name far too long to fit beside the bar");
  report.BeginFolder("Store\\Inbox");
  for (int i = 0; i < 40; ++i) {
    report.ItemCopied();
    view.Yield();
  }
  QThread::msleep(150);  // past the redraw interval, with time to count a rate from
  report.ItemFailed("Broken", "damaged");
  view.Yield();
  const std::string bar = BarNow(out.str());
  EXPECT_NE(bar.find("41/100 items"), std::string::npos) << bar;
  EXPECT_NE(bar.find(" items/s"), std::string::npos) << bar;
  EXPECT_NE(bar.find(" left"), std::string::npos) << bar;
  EXPECT_EQ(bar.find("--:--"), std::string::npos) << bar;  // a time is known by now
  EXPECT_EQ(bar.rfind("[####", 0), 0u) << bar;
  EXPECT_LT(bar.size(), 60u) << bar;

  // The next folder begins: the line of the last one above the bar.
  view.SetSaveHeader("Sent Items");
  report.BeginFolder("Store\\Sent Items");
  report.FolderNotConverted("Store\\Journal", "IPM.Journal");
  for (int i = 0; i < 59; ++i) {
    report.ItemSkipped();
    view.Yield();
  }
  view.Finish();
  const std::string all = out.str();
  EXPECT_NE(all.find("Store\\Inbox: 40 copied, 1 not copied\n"), std::string::npos) << all;
  EXPECT_NE(all.find("Store\\Journal: not converted (IPM.Journal)\n"), std::string::npos) << all;
  EXPECT_NE(all.find("Store\\Sent Items: 0 copied, 59 already in the database\n"), std::string::npos) << all;
  const std::string last = BarNow(all);
  EXPECT_NE(last.find("100% 100/100 items"), std::string::npos) << last;
  EXPECT_NE(last.find(" taken"), std::string::npos) << last;
  EXPECT_EQ(all.back(), '\n');
}

TEST(ExportProgress, WithoutATerminalOnlyOneLinePerFolder) {
  std::ostringstream out;
  conversion::RunReport report;
  ProgressView view(out, ProgressView::Mode::Lines, 3, 80);
  view.Follow(report);
  view.SetSaveHeader("Creating Lotus Notes Mailbox...");
  for (const char* name : {"Store\\Inbox", "Store\\Empty", "Store\\Tasks"}) {
    view.SetSaveHeader(name);
    report.BeginFolder(name);
    if (std::string(name) != "Store\\Empty") {
      report.ItemCopied();
      view.Yield();
    }
  }
  report.FolderFailed("Store\\Lost", "could not be opened", 4);
  view.Yield();
  view.Finish();
  const std::string all = out.str();
  EXPECT_EQ(all.find('\r'), std::string::npos) << all;
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4) << all;
  EXPECT_EQ(all.rfind("Store\\Inbox: 1 copied  [1/3 items, ", 0), 0u) << all;
  EXPECT_NE(all.find("Store\\Empty: 0 copied  [1/3 items, "), std::string::npos) << all;
  EXPECT_NE(all.find("Store\\Tasks: 1 copied  [2/3 items, "), std::string::npos) << all;
  EXPECT_NE(all.find("Store\\Lost: could not be read (4 items): could not be opened\n"), std::string::npos) << all;
}

}  // namespace
}  // namespace norvexa::exporter
