// pstgen: writes a PST file (Unicode, ANSI or 4 KB-page Unicode) from a
// mailbox description, the sample mailbox, or a synthetic mailbox of any size.
//   pstgen [--format unicode|ansi|unicode4k] [--encoding none|compressible|high]
//          [--compress] [--codepage N] DESCRIPTION.json OUT.pst
//   pstgen [...] --sample OUT.pst
//   pstgen [...] --synthetic --folders F --items N --attachment-bytes B --seed S OUT.pst
//   pstgen --check FILE.pst   (structure check; exit status 1 when faulty)
//   pstgen [--flip-bit OFFSET:BIT] [--zero-page OFFSET] ...   damage applied after writing
//   pstgen --damage FILE.pst [--flip-bit OFFSET:BIT] [--zero-page OFFSET] ...
#include "command_line.h"
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

// Writes the mailbox LINE asks for (a Description, Sample or Synthetic
// command), then damages it and reports the peak memory when asked; returns
// the exit status. Throws what the description reader and the writer throw.
int WriteMailboxFile(const norvexa::pstgen::CommandLine& line) {
  using namespace norvexa::pstgen;
  MailboxSpec mailbox = line.command == Command::Sample      ? SampleMailbox()
                     : line.command == Command::Synthetic ? SyntheticMailbox(line.synthetic)
                                                          : ReadDescription(line.description);
  ApplyOverrides(line, mailbox);
  const WriteStats stats = WriteMailbox(mailbox, line.out);
  std::cout << "pstgen: wrote " << line.out << ": " << stats.folders << " folders, " << stats.items << " items, "
            << stats.attachments << " attachments, " << stats.file_bytes << " bytes\n";
  if (!line.damage.empty()) {
    ApplyDamage(line.out, line.damage);
    std::cout << "pstgen: damaged " << line.out << " in " << line.damage.size() << " places\n";
  }
  if (line.report_memory) {
    const auto peak = PeakMemoryKb();
    std::cout << "pstgen: peak memory " << (peak ? std::to_string(*peak) + " kB" : std::string("unknown")) << "\n";
  }
  return 0;
}

// Runs the command of LINE; returns the exit status. Throws what the
// commands throw.
int Run(const norvexa::pstgen::CommandLine& line) {
  using namespace norvexa::pstgen;
  switch (line.command) {
    case Command::Check: {
      const CheckReport report = CheckPstFile(line.file);
      std::cout << line.file << ": " << report.Summary() << "\n";
      return report.ok() ? 0 : 1;
    }
    case Command::Damage:
      ApplyDamage(line.file, line.damage);
      std::cout << "pstgen: damaged " << line.file << " in " << line.damage.size() << " places\n";
      return 0;
    case Command::Description:
    case Command::Sample:
    case Command::Synthetic: break;
  }
  return WriteMailboxFile(line);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> args;
  for (const QString& a : app.arguments().mid(1)) args.push_back(a.toStdString());
  const std::optional<norvexa::pstgen::CommandLine> line = norvexa::pstgen::ParseCommandLine(args);
  if (!line) return Usage();
  try {
    return Run(*line);
  } catch (const std::exception& e) {
    std::cerr << "pstgen: " << e.what() << "\n";
    return 1;
  }
}
