// notes_bench [DOCS [ATTACHMENTS [ROUNDS]]]: measures the Notes back-end as the
// writers use it — a new session and database open for every document —
// with small mail documents (documents per second), the same documents in
// commit batches as an export writes them, with the same documents
// whose body is a tree of MIME parts under the mail's transport headers, one
// in five marked unread (documents per second), and with documents that
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
#include <ctime>
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

// Transport headers of a received mail, about 1 KB, folded lines among them.
std::string TransportHeaders(int i) {
  std::string headers;
  for (int hop = 0; hop < 4; ++hop)
    headers += "Received: from relay" + std::to_string(hop) + ".example.com (relay" + std::to_string(hop) +
               ".example.com [192.0.2." + std::to_string(hop) + "])\r\n\tby mx.example.org with ESMTPS id " +
               std::to_string(i) + "\r\n\tfor <bo@example.org>; Mon, 7 Dec 2026 23:25:00 +0100\r\n";
  headers += "From: Ann <ann@example.com>\r\nTo: Bo <bo@example.org>\r\nSubject: Message " + std::to_string(i) +
             "\r\nMessage-ID: <" + std::to_string(i) + "@example.com>\r\nMIME-Version: 1.0\r\n"
             "Content-Type: multipart/alternative; boundary=\"sent\"\r\n";
  return headers;
}

// The body of document I as a tree: the transport headers on a
// multipart/alternative top part holding text/plain (8bit) and text/html
// (quoted-printable).
void WriteBodyTree(Session& session, norvexa::notes::Document& doc, int i, const std::string& body) {
  using namespace norvexa::notes;
  auto stream = session.CreateStream();
  auto top = doc.CreateRichTextItem("Body")->CreateChildEntity();
  top->SetHeadersFromText(TransportHeaders(i));
  top->CreateHeader("Content-Type")->SetHeaderVal("multipart/alternative");
  stream->WriteText(body);
  top->CreateChildEntity()->SetContentFromText(*stream, "text/plain; charset=utf-8", ENC_IDENTITY_8BIT);
  stream->Truncate();
  stream->WriteText("<p>" + body + "</p>");
  top->CreateChildEntity()->SetContentFromText(*stream, "text/html; charset=utf-8", ENC_QUOTED_PRINTABLE);
  if (i % 5 == 0) doc.MarkUnread();
}

// One mail document, the way the mail writer stores it; with TREE its body
// is a tree of parts (WriteBodyTree) instead of one HTML part.
void WriteMemo(const std::string& db_path, int i, const std::string& attachment, bool tree = false) {
  Session session;
  auto db = session.GetDatabase("", db_path);
  db->EnableFolder("Personal Folders\\Inbox");
  auto doc = db->CreateDocument();
  const std::string body = "Hello, this is message " + std::to_string(i) + ". " + std::string(300, 'x');
  const bool convert = session.ConvertMime();
  session.SetConvertMime(false);
  if (tree) {
    WriteBodyTree(session, *doc, i, body);
  } else {
    auto stream = session.CreateStream();
    stream->WriteText(body + "<br><br>");
    auto rich = doc->CreateRichTextItem("Body");
    rich->CreateChildEntity()->SetContentFromText(*stream, "text/html; charset=\"iso-8859-1\"",
                                                  norvexa::notes::ENC_QUOTED_PRINTABLE);
    stream->Close();
  }
  const QDateTime when = QDateTime::currentDateTime();
  doc->ReplaceItemValue("Form", std::string("Memo"));
  doc->ReplaceItemValue("From", std::string("ann@example.com"));
  doc->ReplaceItemValue("CopyTo", std::string(""));
  doc->ReplaceItemValue("BlindCopyTo", std::string(""));
  doc->ReplaceItemValue("Subject", "Message " + std::to_string(i));
  if (!tree) doc->ReplaceItemValue("Body", body);  // the writer of trees keeps Body rich text
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

// Wall-clock and processor time of one measured step.
struct Timing {
  double wall = 0;
  double cpu = 0;
};

// Runs SCRIPT with bash and returns its wall time and the processor time of
// everything it ran (bash's own `time`), read back through TIMES_FILE.
Timing TimeShell(const std::string& script, const fs::path& times_file) {
  const std::string command = "bash -c 'TIMEFORMAT=\"%3U %3S\"; time { " + script + "; }' 2> " + times_file.string();
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "notes_bench: command failed: %s\n", command.c_str());
    std::exit(1);
  }
  Timing t{Seconds(start), 0};
  double user = 0, system = 0;
  std::ifstream in(times_file);
  if (in >> user >> system) t.cpu = user + system;
  return t;
}

// Runs STEP in this process and returns its wall time and the processor
// time of the process (every thread) meanwhile.
template <typename Step>
Timing TimeHere(Step&& step) {
  const std::clock_t cpu = std::clock();
  const auto start = Clock::now();
  step();
  return {Seconds(start), static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC};
}

double Best(const std::vector<Timing>& v, double Timing::*field) {
  double best = v.front().*field;
  for (const Timing& t : v) best = std::min(best, t.*field);
  return best;
}

double Median(const std::vector<Timing>& v, double Timing::*field) {
  std::vector<double> values;
  for (const Timing& t : v) values.push_back(t.*field);
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
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
    const std::string tree_db = (root / "tree.nsf").string();
    const std::string attach_db = (root / "attach.nsf").string();
    const std::string batch_db = (root / "batch.nsf").string();
    {
      Session session;
      auto mail_template = session.GetDatabase("", "mail.ntf");
      mail_template->CreateCopy("", small_db);
      mail_template->CreateCopy("", tree_db);
      mail_template->CreateCopy("", attach_db);
      mail_template->CreateCopy("", batch_db);
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
    // a shared machine; the best and the median round are reported, in
    // wall-clock time and in processor time.
    std::vector<Timing> small, trees, batched, layer, cp_once, cp_each;
    const fs::path times = root / "times.txt";
    for (int round = 0; round < rounds; ++round) {
      small.push_back(TimeHere([&] {
        for (int i = 0; i < docs; ++i) WriteMemo(small_db, i, "");
      }));
      trees.push_back(TimeHere([&] {
        for (int i = 0; i < docs; ++i) WriteMemo(tree_db, i, "", true);
      }));
      // The same small documents through a commit batch, as an export
      // writes them: one commit for many documents.
      batched.push_back(TimeHere([&] {
        norvexa::notes::CommitBatch batch(batch_db);
        for (int i = 0; i < docs; ++i) {
          WriteMemo(batch_db, i, "");
          batch.EndOfDocument();
        }
        batch.Commit();
      }));
      if (attachments == 0) continue;
      const fs::path cp1 = root / ("cp1-" + std::to_string(round));
      const fs::path cp2 = root / ("cp2-" + std::to_string(round));
      fs::create_directories(cp1);
      fs::create_directories(cp2);
      cp_once.push_back(TimeShell("cp " + (root / "staged").string() + "/*.bin " + cp1.string(), times));
      layer.push_back(TimeHere([&] {
        for (int i = 0; i < attachments; ++i) WriteMemo(attach_db, i, files[static_cast<std::size_t>(i)]);
      }));
      cp_each.push_back(TimeShell("for f in " + (root / "staged").string() + "/*.bin; do cp \"$f\" " + cp2.string() +
                                      "/; done",
                                  times));
      fs::remove_all(cp1);
      fs::remove_all(cp2);
    }

    const auto row = [](const char* label, double best_wall, double median_wall, double best_cpu) {
      std::printf("%-40s %10.0f %10.0f %10.0f\n", label, best_wall, median_wall, best_cpu);
    };
    std::printf("%d rounds; per round %d small documents, %d documents with a 1 MB attachment\n", rounds, docs,
                attachments);
    std::printf("%-40s %10s %10s %10s\n", "", "best", "median", "per CPU s");
    row("small documents/s", docs / Best(small, &Timing::wall), docs / Median(small, &Timing::wall),
        docs / Best(small, &Timing::cpu));
    row("small documents/s in commit batches", docs / Best(batched, &Timing::wall),
        docs / Median(batched, &Timing::wall), docs / Best(batched, &Timing::cpu));
    row("documents with a MIME tree/s", docs / Best(trees, &Timing::wall), docs / Median(trees, &Timing::wall),
        docs / Best(trees, &Timing::cpu));
    if (attachments == 0) return 0;
    const auto mb = [&](const std::vector<Timing>& t, double Timing::*f, bool best) {
      return total_mb / (best ? Best(t, f) : Median(t, f));
    };
    row("layer, documents with 1 MB attached, MB/s", mb(layer, &Timing::wall, true), mb(layer, &Timing::wall, false),
        mb(layer, &Timing::cpu, true));
    row("cp, one command for all files, MB/s", mb(cp_once, &Timing::wall, true), mb(cp_once, &Timing::wall, false),
        mb(cp_once, &Timing::cpu, true));
    row("cp, one command per file, MB/s", mb(cp_each, &Timing::wall, true), mb(cp_each, &Timing::wall, false),
        mb(cp_each, &Timing::cpu, true));
    std::printf("%-40s %10.2f %10.2f %10.2f\n", "layer time / cp time (one command)",
                Best(layer, &Timing::wall) / Best(cp_once, &Timing::wall),
                Median(layer, &Timing::wall) / Median(cp_once, &Timing::wall),
                Best(layer, &Timing::cpu) / Best(cp_once, &Timing::cpu));
  } catch (const norvexa::notes::NotesError& e) {
    std::fprintf(stderr, "notes_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
