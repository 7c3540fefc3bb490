// Many mailboxes in one command; see batch.h.
#include "batch.h"

#include "store_export.h"
#include "platform/system/text.h"
#include "report_json.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QThread>

namespace norvexa::exporter {
namespace {

// TEXT without white space at either end, as UTF-8.
std::string Trimmed(const QString& text) { return sys::Trim(text.toStdString(), sys::kWhitespace); }

// Waits until the clock has left second SECOND (seconds since the epoch).
void WaitForNextSecond(qint64 second) {
  while (QDateTime::currentSecsSinceEpoch() <= second) QThread::msleep(20);
}

// The report of a line that produced none itself.
void ReportLine(const ExportOptions& options, const BatchLine& line, const std::string& reason, std::ostream& out,
                std::ostream& err) {
  err << "norvexa-export: line " << line.number << ": " << (line.store.empty() ? "" : line.store + ": ") << reason
      << "\n";
  err.flush();
  if (!options.json) return;
  StoreReport result;
  result.store = line.store;
  result.target = {line.kind, line.target};
  result.resume = options.resume;
  result.status = 2;
  result.reason = reason;
  QJsonObject report = ReportJson(result);
  report["line"] = line.number;
  const QByteArray json = JsonLine(report);
  out.write(json.constData(), json.size());
  out.flush();
}

}  // namespace

std::vector<BatchLine> ReadBatchList(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    throw UsageError("cannot read the batch list " + path + ": " + file.errorString().toStdString());
  }
  std::vector<BatchLine> lines;
  int number = 0;
  while (!file.atEnd()) {
    ++number;
    const QString text = QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    const std::string whole = Trimmed(text);
    if (whole.empty() || whole.front() == '#') continue;
    BatchLine line;
    line.number = number;
    const QStringList fields = text.split(QLatin1Char('\t'));
    if (fields.size() != 2 || Trimmed(fields[0]).empty() || Trimmed(fields[1]).empty()) {
      line.store = Trimmed(fields.value(0));
      line.error = "a line holds a store file, a tab and a target (found " + std::to_string(fields.size()) +
                   (fields.size() == 1 ? " field)" : " fields)");
    } else {
      line.store = Trimmed(fields[0]);
      line.target = Trimmed(fields[1]);
      line.kind = QString::fromStdString(line.target).endsWith(QStringLiteral(".nsf"), Qt::CaseInsensitive)
                      ? TargetKind::ExistingDatabase
                      : TargetKind::NewDatabase;
    }
    lines.push_back(line);
  }
  return lines;
}

int RunBatch(const ExportOptions& options, const std::string& program, std::ostream& out, std::ostream& err) {
  const std::vector<BatchLine> lines = ReadBatchList(options.batch);
  std::vector<int> statuses;
  qint64 last_end = 0;
  std::size_t at = 0;
  for (const BatchLine& line : lines) {
    ++at;
    err << "[" << at << "/" << lines.size() << "] line " << line.number << ": " << line.store << " -> "
        << line.target << "\n";
    err.flush();
    if (!line.error.empty()) {
      ReportLine(options, line, line.error, out, err);
      statuses.push_back(2);
      continue;
    }
    if (options.resume && line.kind != TargetKind::ExistingDatabase) {
      ReportLine(options, line, "--resume needs an existing database (a target ending in .nsf)", out, err);
      statuses.push_back(2);
      continue;
    }
    if (line.kind == TargetKind::NewDatabase) WaitForNextSecond(last_end);

    QStringList arguments;
    for (const std::string& argument : LineArguments(options, line.store, line.kind, line.target)) {
      arguments << QString::fromStdString(argument);
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setInputChannelMode(QProcess::ForwardedInputChannel);
    child.start(QString::fromStdString(program), arguments);
    if (!child.waitForStarted(-1)) {
      ReportLine(options, line, "could not start " + program + ": " + child.errorString().toStdString(), out, err);
      statuses.push_back(2);
      continue;
    }
    child.waitForFinished(-1);
    last_end = QDateTime::currentSecsSinceEpoch();
    if (child.exitStatus() != QProcess::NormalExit) {
      ReportLine(options, line,
                 "the export ended abnormally; what it wrote stays" +
                     std::string(line.kind == TargetKind::ExistingDatabase
                                     ? " (run the line again with --resume to finish it)"
                                     : ""),
                 out, err);
      statuses.push_back(2);
      continue;
    }
    statuses.push_back(child.exitCode());
  }
  return CombinedStatus(statuses);
}

}  // namespace norvexa::exporter
