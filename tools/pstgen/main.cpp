// pstgen: writes a PST file (Unicode, ANSI or 4 KB-page Unicode) from a
// mailbox description, the sample mailbox, or a synthetic mailbox of any size.
//   pstgen [--format unicode|ansi|unicode4k] [--encoding none|compressible|high]
//          [--compress] [--codepage N] DESCRIPTION.json OUT.pst
//   pstgen [...] --sample OUT.pst
//   pstgen [...] --synthetic --folders F --items N --attachment-bytes B --seed S OUT.pst
//   pstgen --check FILE.pst   (structure check; exit status 1 when faulty)
//   pstgen [--flip-bit OFFSET:BIT] [--zero-page OFFSET] ...   damage applied after writing
//   pstgen --damage FILE.pst [--flip-bit OFFSET:BIT] [--zero-page OFFSET] ...
#include "damage.h"
#include "description.h"
#include "mailbox_writer.h"
#include "ndb_writer.h"
#include "peak_memory.h"
#include "pst_check.h"
#include "sample.h"
#include "synthetic.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <iostream>
#include <vector>

namespace {

// Prints the usage; returns the exit status for a wrong command line.
int Usage() {
  std::cerr << "usage: pstgen [OPTIONS] DESCRIPTION.json OUT.pst\n"
               "       pstgen [OPTIONS] --sample OUT.pst\n"
               "       pstgen [OPTIONS] --synthetic [--folders F] [--items N]\n"
               "              [--attachment-bytes B] [--seed S] [--store NAME] OUT.pst\n"
               "       pstgen --check FILE.pst\n"
               "       pstgen --damage FILE.pst DAMAGE...\n"
               "OPTIONS (they override a description's keys):\n"
               "       --format unicode|ansi|unicode4k        file format (default unicode)\n"
               "       --encoding none|compressible|high      block encoding (default none)\n"
               "       --compress                             deflate data blocks (unicode4k only)\n"
               "       --codepage N                           code page of ANSI texts (default 1252)\n"
               "       --report-memory                        print the peak memory at the end\n"
               "DAMAGE (applied in order after writing, or to FILE.pst with --damage):\n"
               "       --flip-bit OFFSET:BIT                  flip bit BIT (0-7) of the byte at OFFSET\n"
               "       --zero-page OFFSET                     zero the page starting at OFFSET\n"
               "       (offsets decimal or 0x-hexadecimal; norvexa-inspect store --layout names structures)\n";
  return 2;
}

// Parses a non-negative whole number; false when TEXT is not one.
bool Number(const QString& text, std::uint64_t& out) {
  bool ok = false;
  out = text.toULongLong(&ok);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  using namespace norvexa::pstgen;
  const QStringList args = app.arguments().mid(1);
  if (args.size() == 2 && args[0] == "--check") {
    const CheckReport report = CheckPstFile(args[1].toStdString());
    std::cout << args[1].toStdString() << ": " << report.Summary() << "\n";
    return report.ok() ? 0 : 1;
  }
  bool sample = false, synthetic = false, report_memory = false, compress = false;
  std::vector<FileDamage> damage;
  QString damage_only;
  std::optional<Encoding> encoding;
  std::optional<FileFormat> format;
  std::optional<int> codepage;
  SyntheticOptions options;
  QStringList positional;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&](std::uint64_t& out) {
      if (i + 1 >= args.size() || !Number(args[i + 1], out)) return false;
      ++i;
      return true;
    };
    std::uint64_t n = 0;
    if (a == "--sample") {
      sample = true;
    } else if (a == "--compress") {
      compress = true;
    } else if (a == "--report-memory") {
      report_memory = true;
    } else if (a == "--synthetic") {
      synthetic = true;
    } else if (a == "--encoding" && i + 1 < args.size()) {
      Encoding e{};
      if (!ParseEncoding(args[++i].toStdString(), e)) return Usage();
      encoding = e;
    } else if (a == "--format" && i + 1 < args.size()) {
      FileFormat f{};
      if (!ParseFileFormat(args[++i].toStdString(), f)) return Usage();
      format = f;
    } else if (a == "--codepage" && value(n)) {
      if (n == 0 || n > 65535) return Usage();
      codepage = static_cast<int>(n);
    } else if (a == "--folders" && value(n)) {
      options.folders = static_cast<int>(n);
    } else if (a == "--items" && value(n)) {
      options.items = static_cast<std::int64_t>(n);
    } else if (a == "--attachment-bytes" && value(n)) {
      options.attachment_bytes = n;
    } else if (a == "--seed" && value(n)) {
      options.seed = n;
    } else if (a == "--store" && i + 1 < args.size()) {
      options.store_name = args[++i].toStdString();
    } else if (a == "--flip-bit" && i + 1 < args.size()) {
      FileDamage d;
      if (!ParseFlipBit(args[++i].toStdString(), d)) return Usage();
      damage.push_back(d);
    } else if (a == "--zero-page" && i + 1 < args.size()) {
      FileDamage d;
      if (!ParseZeroPage(args[++i].toStdString(), d)) return Usage();
      damage.push_back(d);
    } else if (a == "--damage" && i + 1 < args.size()) {
      damage_only = args[++i];
    } else if (a.startsWith("--")) {
      return Usage();
    } else {
      positional << a;
    }
  }
  try {
    if (!damage_only.isEmpty()) {
      if (!positional.isEmpty() || sample || synthetic || damage.empty()) return Usage();
      ApplyDamage(damage_only.toStdString(), damage);
      std::cout << "pstgen: damaged " << damage_only.toStdString() << " in " << damage.size() << " places\n";
      return 0;
    }
    MailboxSpec spec;
    QString out;
    if (sample || synthetic) {
      if (positional.size() != 1 || (sample && synthetic)) return Usage();
      out = positional[0];
      spec = sample ? SampleMailbox() : SyntheticMailbox(options);
    } else {
      if (positional.size() != 2) return Usage();
      spec = ReadDescription(positional[0].toStdString());
      out = positional[1];
    }
    if (encoding) spec.encoding = *encoding;
    if (format) spec.format = *format;
    if (codepage) spec.codepage = *codepage;
    if (compress) spec.compress = true;
    const WriteStats stats = WriteMailbox(spec, out.toStdString());
    std::cout << "pstgen: wrote " << out.toStdString() << ": " << stats.folders << " folders, " << stats.items
              << " items, " << stats.attachments << " attachments, " << stats.file_bytes << " bytes\n";
    if (!damage.empty()) {
      ApplyDamage(out.toStdString(), damage);
      std::cout << "pstgen: damaged " << out.toStdString() << " in " << damage.size() << " places\n";
    }
    if (report_memory) {
      const auto peak = PeakMemoryKb();
      std::cout << "pstgen: peak memory " << (peak ? std::to_string(*peak) + " kB" : std::string("unknown")) << "\n";
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "pstgen: " << e.what() << "\n";
    return 1;
  }
}
