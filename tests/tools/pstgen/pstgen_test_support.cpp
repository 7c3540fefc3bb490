// Helpers of the PST writer tests.
#include "pstgen_test_support.h"

#include "codepage.h"
#include "description.h"

#include <QProcess>
#include <QStandardPaths>

namespace norvexa::pstgen::testing {

std::filesystem::path DescriptionPath(const std::string& name) {
  return std::filesystem::path(NORVEXA_SOURCE_DIR) / "tests" / "data" / "mailboxes" / (name + ".json");
}

MailboxSpec Description(const std::string& name) { return ReadDescription(DescriptionPath(name)); }

const std::vector<std::string>& DescriptionNames() {
  static const std::vector<std::string> names = {"every-kind",         "special-names",    "empty-folders",
                                                 "deep-nesting",       "unsupported-parent", "attachment-names"};
  return names;
}

std::string FileKind::Name() const {
  const char* formats[] = {"unicode", "ansi", "unicode4k"};
  const char* encodings[] = {"none", "compressible", "high"};
  return std::string(formats[static_cast<int>(format)]) + "-" + encodings[static_cast<int>(encoding)] +
         (compress ? "-deflated" : "");
}

QStringList FileKind::Args() const {
  const QString name = QString::fromStdString(Name());
  QStringList args = {"--format", name.section('-', 0, 0), "--encoding", name.section('-', 1, 1)};
  if (compress) args << "--compress";
  return args;
}

MailboxSpec FileKind::Apply(MailboxSpec spec) const {
  spec.format = format;
  spec.encoding = encoding;
  spec.compress = compress;
  return spec;
}

std::vector<FileKind> AllFileKinds() {
  std::vector<FileKind> kinds;
  for (FileFormat format : {FileFormat::Unicode, FileFormat::Ansi, FileFormat::Unicode4k})
    for (Encoding encoding : {Encoding::None, Encoding::Permute, Encoding::Cyclic}) {
      kinds.push_back(FileKind{format, encoding});
      if (FormatOf(format).deflates) kinds.push_back(FileKind{format, encoding, true});
    }
  return kinds;
}

std::string StoredText(const MailboxSpec& spec, const std::string& text) {
  if (FormatOf(spec.format).string_type == 0x001F) return text;
  const Codepage codepage(spec.codepage);
  return codepage.Decode(codepage.Encode(text));
}

RunResult RunProgram(const QString& program, const QStringList& args, int timeout_ms) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, args);
  RunResult result;
  if (!process.waitForStarted()) return result;
  result.started = true;
  process.waitForFinished(timeout_ms);
  result.output = process.readAll().toStdString();
  result.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return result;
}

bool Available(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

}  // namespace norvexa::pstgen::testing
