// notes_bench [DOCS [ATTACHMENTS [ROUNDS]]]: measures the Notes back-end as the
// writers use it — a new session and database open for every document —
// with small mail documents (documents per second) and with documents that
// carry a 1 MB attachment (MB/s), and copies the same attachment bytes with
// cp in the same run for comparison. Works in a scratch folder under the
// system temporary folder, removed at the end.
#include "platform/notes/notes.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using norvexa::notes::Session;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// One mail document, the way the mail writer stores it.
void WriteMemo(const std::string& db_path, int i, const std::string& attachment) {
  Session session;
  auto db = session.GetDatabase("", db_path);
  db->EnableFolder("Personal Folders\\Inbox");
  auto doc = db->CreateDocument();
  const std::string body = "Hello, this is message " + std::to_string(i) + ". " + std::string(300, 'x');
  const bool convert = session.ConvertMime();
  session.SetConvertMime(false);
  auto stream = session.CreateStream();
  stream->WriteText(body + "<br><br>");
  auto rich = doc->CreateRichTextItem("Body");
  rich->CreateChildEntity()->SetContentFromText(*stream, "text/html; charset=\"iso-8859-1\"",
                                                norvexa::notes::ENC_QUOTED_PRINTABLE);
  stream->Close();
  const QDateTime when = QDateTime::currentDateTime();
  doc->ReplaceItemValue("Form", std::string("Memo"));
  doc->ReplaceItemValue("From", std::string("ann@example.com"));
  doc->ReplaceItemValue("CopyTo", std::string(""));
  doc->ReplaceItemValue("BlindCopyTo", std::string(""));
  doc->ReplaceItemValue("Subject", "Message " + std::to_string(i));
  doc->ReplaceItemValue("Body", body);
  doc->ReplaceItemValue("PostedDate", when);
  doc->ReplaceItemValue("Type", std::string("Memo"));
  doc->ReplaceItemValue("excludeFromView", norvexa::notes::TextList{"D", "S"});
  doc->ReplaceItemValue("SendTo", std::string("bo@example.com"));
  doc->ReplaceItemValue("Principal", std::string("ann@example.com"));
  doc->ReplaceItemValue("DeliveredDate", when);
  if (!attachment.empty())
    doc->CreateRichTextItem("Attachment")
        ->EmbedObject(norvexa::notes::EMBED_ATTACHMENT, "", attachment, "Attachment");
  session.SetConvertMime(convert);
  doc->CloseMIMEEntities(true, "Body");
  doc->Save(false, false);
  doc->PutInFolder("Personal Folders\\Inbox");
}

double Best(std::vector<double> v) { return *std::min_element(v.begin(), v.end()); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs COMMAND through the shell and returns its wall time in seconds.
double TimeCommand(const std::string& command) {
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "notes_bench: command failed: %s\n", command.c_str());
    std::exit(1);
  }
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  const int docs = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int attachments = argc > 2 ? std::atoi(argv[2]) : 200;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  constexpr std::size_t kMB = 1024 * 1024;

  const fs::path root = fs::temp_directory_path() / ("norvexa-notes-bench-" + std::to_string(QCoreApplication::applicationPid()));
  fs::create_directories(root);
  struct Cleanup {
    fs::path path;
    ~Cleanup() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } cleanup{root};

  try {
    norvexa::notes::ProvisionClient(root / "client");
    qputenv("NORVEXA_NOTES_DATA", QByteArray::fromStdString((root / "client").string()));
    const std::string small_db = (root / "small.nsf").string();
    const std::string attach_db = (root / "attach.nsf").string();
    {
      Session session;
      auto mail_template = session.GetDatabase("", "mail.ntf");
      mail_template->CreateCopy("", small_db);
      mail_template->CreateCopy("", attach_db);
    }

    // The 1 MB files, made beforehand so that both the layer and cp read
    // them from the page cache.
    fs::create_directories(root / "staged");
    std::mt19937_64 random(42);
    std::vector<std::string> files;
    std::string bytes(kMB, '\0');
    for (int i = 0; i < attachments; ++i) {
      for (std::size_t j = 0; j + 8 <= bytes.size(); j += 8) {
        const std::uint64_t v = random();
        std::memcpy(&bytes[j], &v, 8);
      }
      files.push_back((root / "staged" / ("file" + std::to_string(i) + ".bin")).string());
      std::ofstream(files.back(), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const double total_mb = static_cast<double>(attachments);

    // Rounds interleave the layer and cp, so that both see the same load on
    // a shared machine; the best and the median round are reported.
    std::vector<double> small, layer, cp_once, cp_each;
    for (int round = 0; round < rounds; ++round) {
      auto start = Clock::now();
      for (int i = 0; i < docs; ++i) WriteMemo(small_db, i, "");
      small.push_back(Seconds(start));

      const fs::path cp1 = root / ("cp1-" + std::to_string(round));
      fs::create_directories(cp1);
      cp_once.push_back(TimeCommand("cp " + (root / "staged").string() + "/*.bin " + cp1.string()));

      start = Clock::now();
      for (int i = 0; i < attachments; ++i) WriteMemo(attach_db, i, files[static_cast<std::size_t>(i)]);
      layer.push_back(Seconds(start));

      const fs::path cp2 = root / ("cp2-" + std::to_string(round));
      fs::create_directories(cp2);
      start = Clock::now();
      for (int i = 0; i < attachments; ++i) TimeCommand("cp " + files[static_cast<std::size_t>(i)] + " " + cp2.string() + "/");
      cp_each.push_back(Seconds(start));
      fs::remove_all(cp1);
      fs::remove_all(cp2);
    }

    std::printf("%d rounds; per round %d small documents, %d documents with a 1 MB attachment\n", rounds, docs,
                attachments);
    std::printf("%-34s %12s %12s\n", "", "best", "median");
    std::printf("%-34s %12.0f %12.0f\n", "small documents/s", docs / Best(small), docs / Median(small));
    std::printf("%-34s %12.0f %12.0f\n", "layer, 1 MB attachments, MB/s", total_mb / Best(layer),
                total_mb / Median(layer));
    std::printf("%-34s %12.0f %12.0f\n", "cp, one command for all files, MB/s", total_mb / Best(cp_once),
                total_mb / Median(cp_once));
    std::printf("%-34s %12.0f %12.0f\n", "cp, one command per file, MB/s", total_mb / Best(cp_each),
                total_mb / Median(cp_each));
    std::printf("%-34s %12.2f %12.2f\n", "layer time / cp time (one command)", Best(layer) / Best(cp_once),
                Median(layer) / Median(cp_once));
  } catch (const norvexa::notes::NotesError& e) {
    std::fprintf(stderr, "notes_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
