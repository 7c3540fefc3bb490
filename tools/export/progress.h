// The progress of one export on standard error, as a terminal user expects
// it: on a terminal, a bar redrawn in place with the items done, items per
// second and the time left, and a line for each folder above it; into a file
// or a pipe, only the line for each folder as it is done, and a line for
// every notice of the job. It is the job's observer (the labels of the save
// window are not shown) and follows the job's report as it grows.
#pragma once

#include "conversion/export_observer.h"
#include "conversion/run_report.h"

#include <QElapsedTimer>

#include <cstdint>
#include <ostream>
#include <string>

namespace norvexa::exporter {

class ProgressView final : public conversion::ExportObserver {
 public:
  enum class Mode { Bar, Lines };

  // Writes to OUT in MODE. TOTAL is the number of items of the chosen
  // folders (the bar's end and the time left); COLUMNS the terminal's width.
  ProgressView(std::ostream& out, Mode mode, std::int64_t total, int columns);

  // Follows REPORT, the account of the run this view belongs to, from now
  // on; the rate is counted from now.
  void Follow(const conversion::RunReport& report);

  // After the run: the lines of the folders not yet printed, and the bar
  // drawn a last time and ended with a new line.
  void Finish();

  // The folder being walked, shown at the end of the bar.
  void SetSaveHeader(const std::string& text) override;
  void SetProcessing(const std::string&) override {}
  void SetFound(const std::string&) override {}
  void SetCurrent(const std::string&) override {}
  void ResetProgress() override {}
  // After every item: new folder lines, and the bar at most ten times a
  // second.
  void Yield() override;
  // A line "note: TEXT" above the bar.
  void Notice(const conversion::JobNotice& notice) override;

  // The items done so far: copied, not copied and already in the target.
  std::int64_t Done() const;

 private:
  // Prints a line for every folder whose account is complete: all of them
  // when ALL_COMPLETE, else all but the last, which may still grow. And for every folder not read or not converted that
  // has appeared since the last call.
  void PrintNewLines(bool all_complete);
  // Prints TEXT on a line of its own, above the bar when there is one.
  void Line(const std::string& text);
  // Redraws the bar when FORCE or a tenth of a second has passed.
  void DrawBar(bool force);
  std::string BarText() const;
  std::string RateText() const;

  std::ostream& out_;
  Mode mode_;
  std::int64_t total_;
  int columns_;
  const conversion::RunReport* report_ = nullptr;
  QElapsedTimer clock_;
  qint64 last_draw_ms_ = -1;
  std::size_t bar_length_ = 0;  // characters of the bar now on screen
  std::string folder_;
  std::size_t folders_printed_ = 0;
  std::size_t failures_printed_ = 0;
  std::size_t not_converted_printed_ = 0;
};

}  // namespace norvexa::exporter
