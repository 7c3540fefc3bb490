// The progress of one export on standard error; see progress.h.
#include "progress.h"

#include <algorithm>
#include <cstdio>

namespace norvexa::exporter {
namespace {

// SECONDS as "m:ss", or "h:mm:ss" from an hour on.
std::string Duration(double seconds) {
  const auto total = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

// What the account of FOLDER says, for its line.
std::string FolderText(const conversion::RunReport::FolderAccount& folder) {
  std::string text = (folder.name.empty() ? std::string("(folder)") : folder.name) + ": " +
                     std::to_string(folder.copied) + " copied";
  if (folder.failed > 0) text += ", " + std::to_string(folder.failed) + " not copied";
  if (folder.skipped > 0) text += ", " + std::to_string(folder.skipped) + " already in the database";
  return text;
}

}  // namespace

ProgressView::ProgressView(std::ostream& out, Mode mode, std::int64_t total, int columns)
    : out_(out), mode_(mode), total_(total), columns_(std::max(columns, 40)) {
  clock_.start();
}

void ProgressView::Follow(const conversion::RunReport& report) {
  report_ = &report;
  clock_.restart();
}

std::int64_t ProgressView::Done() const {
  return report_ ? report_->Copied() + report_->Failed() + report_->Skipped() : 0;
}

void ProgressView::SetSaveHeader(const std::string& text) {
  folder_ = text;
  // A new folder begins: the account of the last one is complete (the new
  // folder's own begins after this).
  PrintNewLines(true);
  if (mode_ == Mode::Bar) DrawBar(false);
}

void ProgressView::Yield() {
  PrintNewLines(false);
  if (mode_ == Mode::Bar) DrawBar(false);
}

void ProgressView::Notice(const conversion::JobNotice& notice) { Line("note: " + notice.text); }

void ProgressView::Finish() {
  PrintNewLines(true);
  if (mode_ == Mode::Bar) {
    folder_.clear();
    DrawBar(true);
    out_ << "\n";
    bar_length_ = 0;
  }
  out_.flush();
}

void ProgressView::PrintNewLines(bool all_complete) {
  if (!report_) return;
  for (; failures_printed_ < report_->FolderFailures().size(); ++failures_printed_) {
    const auto& failure = report_->FolderFailures()[failures_printed_];
    Line(failure.name + ": could not be read" +
         (failure.items ? " (" + std::to_string(*failure.items) + " items)" : std::string()) + ": " + failure.reason);
  }
  for (; not_converted_printed_ < report_->NotConverted().size(); ++not_converted_printed_) {
    const auto& folder = report_->NotConverted()[not_converted_printed_];
    Line(folder.name + ": not converted (" + folder.message_class + ")");
  }
  // The last account is still being filled until the run ends.
  const std::size_t complete = all_complete ? report_->Folders().size()
                                        : (report_->Folders().empty() ? 0 : report_->Folders().size() - 1);
  for (; folders_printed_ < complete; ++folders_printed_) {
    std::string text = FolderText(report_->Folders()[folders_printed_]);
    if (mode_ == Mode::Lines) {
      text += "  [" + std::to_string(Done()) + "/" + std::to_string(total_) + " items, " + RateText() + "]";
    }
    Line(text);
  }
}

void ProgressView::Line(const std::string& text) {
  if (mode_ == Mode::Bar && bar_length_ > 0) {
    out_ << "\r" << std::string(bar_length_, ' ') << "\r";
    bar_length_ = 0;
  }
  out_ << text << "\n";
  if (mode_ == Mode::Bar) {
    DrawBar(true);
  } else {
    out_.flush();
  }
}

std::string ProgressView::RateText() const {
  const double seconds = static_cast<double>(clock_.elapsed()) / 1000.0;
  const double rate = seconds > 0 ? static_cast<double>(Done()) / seconds : 0;
  char text[32];
  std::snprintf(text, sizeof text, "%.0f items/s", rate);
  return text;
}

std::string ProgressView::BarText() const {
  const std::int64_t done = Done();
  const double seconds = static_cast<double>(clock_.elapsed()) / 1000.0;
  std::string left = "--:-- left";
  if (done >= total_) {
    left = Duration(seconds) + " taken";
  } else if (done > 0 && seconds > 0) {
    left = Duration(static_cast<double>(total_ - done) * seconds / static_cast<double>(done)) + " left";
  }
  const int percent = total_ > 0 ? static_cast<int>(std::min<std::int64_t>(done, total_) * 100 / total_) : 100;
  const std::string counts = std::to_string(percent) + "% " + std::to_string(done) + "/" + std::to_string(total_) +
                             " items  " + RateText() + "  " + left;
  // The bar takes what the counts and 20 characters of the folder's name
  // leave, within 10 to 30 characters.
  const int room = columns_ - 1 - static_cast<int>(counts.size()) - 3 - (folder_.empty() ? 0 : 22);
  const int width = std::clamp(room, 10, 30);
  const int filled = total_ > 0 ? static_cast<int>(std::min<std::int64_t>(done, total_) * width / total_) : width;
  std::string text = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(width - filled), '-') + "] " + counts;
  if (!folder_.empty()) text += "  " + folder_;
  // Never wider than the terminal, or each redraw would add a line.
  const auto limit = static_cast<std::size_t>(columns_ - 1);
  if (text.size() > limit) {
    // Cut at a character's start, never inside one of UTF-8's sequences.
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return text;
}

void ProgressView::DrawBar(bool force) {
  const qint64 now = clock_.elapsed();
  if (!force && last_draw_ms_ >= 0 && now - last_draw_ms_ < 100) return;
  last_draw_ms_ = now;
  const std::string text = BarText();
  out_ << "\r" << text;
  if (text.size() < bar_length_) out_ << std::string(bar_length_ - text.size(), ' ');
  bar_length_ = text.size();
  out_.flush();
}

}  // namespace norvexa::exporter
