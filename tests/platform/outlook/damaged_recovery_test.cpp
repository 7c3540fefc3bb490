// How much of a damaged store is still read, told by norvexa-inspect store
// --items (every folder, every item value the conversion reads, a SHA-256 of
// every attachment) run on damaged copies, by our reader and by libpff:
//
// - copies of the real fixtures and of generated mailboxes with 1 to 4 bits
//   flipped past the header, from a fixed seed: our reader reads at least as
//   many items as libpff from every copy, every item it reads without
//   naming damage equals the undamaged file's, and a copy it reads less of
//   than the undamaged file is said to be damaged (exit status 1). The
//   shares of items read are printed;
// - a bit flipped, or the structure wiped, in the root page of each B-tree,
//   a folder's hierarchy table, a contents table and an attachment table
//   (found with norvexa-inspect store --layout, damaged with pstgen
//   --damage): the store opens, every folder and every item is read, and
//   the damage is named with its place in the file.
#include "support/fixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

struct ToolRun {
  bool finished = false;  // ended by itself, within its time
  int status = -1;
  QByteArray out;
  QByteArray err;
};

// Runs PROGRAM with ARGUMENTS, giving it SECONDS.
ToolRun Tool(const QString& program, const QStringList& arguments, int seconds = 120) {
  QProcess process;
  process.start(program, arguments);
  ToolRun run;
  if (!process.waitForFinished(seconds * 1000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.finished = process.exitStatus() == QProcess::NormalExit;
  run.status = process.exitCode();
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}

const QString kInspect = QStringLiteral(NORVEXA_BINARY_DIR "/tools/inspect/norvexa-inspect");
const QString kPstgen = QStringLiteral(NORVEXA_BINARY_DIR "/tools/pstgen/pstgen");

// What norvexa-inspect store --items said of one file.
struct Reading {
  bool opened = false;  // a JSON store was printed
  int status = -1;
  QJsonObject store;
  std::map<QString, QJsonObject> items;  // read items (no "error"), by source key
  std::vector<QString> folders;          // paths, in order
};

Reading Inspect(const fs::path& pst, const QString& reader) {
  const ToolRun run = Tool(kInspect, {"store", "--items", "--reader", reader, Q(pst)});
  Reading r;
  r.status = run.finished ? run.status : -1;
  if (!run.finished) return r;
  const QJsonDocument document = QJsonDocument::fromJson(run.out);
  if (!document.isObject()) return r;
  r.opened = true;
  r.store = document.object();
  for (const QJsonValue& f : r.store["folders"].toArray()) {
    const QJsonObject folder = f.toObject();
    r.folders.push_back(folder["path"].toString());
    for (const QJsonValue& i : folder["items"].toArray()) {
      const QJsonObject item = i.toObject();
      if (!item.contains("error")) r.items.emplace(item["source_key"].toString(), item);
    }
  }
  return r;
}

// Every damage entry the reading names: the store's, each folder's, each
// item's.
std::vector<QJsonObject> DamageOf(const Reading& r) {
  std::vector<QJsonObject> all;
  auto add = [&](const QJsonObject& o) {
    for (const QJsonValue& d : o["damage"].toArray()) all.push_back(d.toObject());
  };
  add(r.store);
  for (const QJsonValue& f : r.store["folders"].toArray()) {
    add(f.toObject());
    for (const QJsonValue& i : f.toObject()["items"].toArray()) add(i.toObject());
  }
  return all;
}

// An undamaged file that damaged copies are made of, and what it reads as.
struct Base {
  std::string name;
  std::string bytes;
  Reading reference;
};

// BASE read undamaged: it must read cleanly and hold items, or its copies
// tell nothing.
Base MakeBase(const fs::path& pst) {
  Base base{pst.filename().string(), norvexa::testing::ReadFile(pst), Inspect(pst, "norvexa")};
  EXPECT_EQ(base.reference.status, 0) << base.name;
  EXPECT_TRUE(DamageOf(base.reference).empty()) << base.name;
  return base;
}

// The generated mailboxes: synthetic ones in three forms and two
// descriptions, written into DIR.
std::vector<fs::path> GeneratedStores(const fs::path& dir) {
  std::vector<fs::path> stores;
  const std::vector<QStringList> synthetic = {{"--encoding", "compressible"},
                                              {"--format", "ansi", "--encoding", "high"},
                                              {"--format", "unicode4k", "--compress"}};
  for (std::size_t i = 0; i < synthetic.size(); ++i) {
    const fs::path pst = dir / ("synthetic-" + std::to_string(i) + ".pst");
    QStringList args = synthetic[i];
    args << "--synthetic" << "--folders" << "3" << "--items" << "30" << "--attachment-bytes" << "3000" << "--seed"
         << "11" << Q(pst);
    const ToolRun run = Tool(kPstgen, args);
    EXPECT_TRUE(run.finished && run.status == 0) << run.err.toStdString();
    stores.push_back(pst);
  }
  for (const char* name : {"every-kind", "deep-nesting"}) {
    const fs::path pst = dir / (std::string(name) + ".pst");
    const ToolRun run =
        Tool(kPstgen, {Q(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes" / (std::string(name) + ".json")), Q(pst)});
    EXPECT_TRUE(run.finished && run.status == 0) << run.err.toStdString();
    stores.push_back(pst);
  }
  return stores;
}

// The real fixtures, or none when they are not here.
std::vector<fs::path> RealStores() {
  std::vector<fs::path> stores;
  const fs::path dir = fs::path(NORVEXA_SHARED_FIXTURES) / "pst";
  if (!fs::is_directory(dir)) return stores;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".pst") stores.push_back(entry.path());
  }
  std::sort(stores.begin(), stores.end());
  return stores;
}

// Checks the reading of a damaged copy of BASE against the undamaged one:
// every item read without damage named is the undamaged file's item, value
// for value; when items are missing, the reading says the file is damaged.
void ExpectUndamagedItemsEqual(const Base& base, const Reading& ours) {
  for (const auto& [key, item] : ours.items) {
    if (item.contains("damage")) continue;
    const auto found = base.reference.items.find(key);
    if (found == base.reference.items.end()) {
      ADD_FAILURE() << "an item read as undamaged is not in the undamaged file: " << key.toStdString();
      continue;
    }
    EXPECT_EQ(item, found->second) << "item " << key.toStdString() << " differs without damage named";
  }
  if (ours.items.size() < base.reference.items.size()) {
    EXPECT_EQ(ours.status, 1) << "items are missing but the reading does not say the file is damaged";
  }
}

TEST(DamagedRecovery, FlippedBitsLoseNoMoreItemsThanLibpffAndUndamagedItemsReadTheSame) {
  norvexa::testing::ScratchDir scratch;
  std::vector<fs::path> stores = RealStores();
  const bool real = !stores.empty();
  for (const fs::path& generated : GeneratedStores(scratch.path())) stores.push_back(generated);
  if (!real) std::cout << "[ recovery ] the shared PST fixtures are not here: generated mailboxes only\n";

  std::mt19937_64 random(0xF11B5EED);
  auto below = [&](std::uint64_t n) { return n == 0 ? 0 : random() % n; };
  std::uint64_t copies = 0, whole = 0, ours_total = 0, theirs_total = 0, flagged = 0, fewer = 0;
  for (const fs::path& pst : stores) {
    const Base base = MakeBase(pst);
    // About 300 copies in all, with the fixtures or without them.
    const int per_base = pst.parent_path() != scratch.path() ? 16 : real ? 24 : 60;
    for (int c = 0; c < per_base; ++c) {
      std::string bytes = base.bytes;
      std::string flips;
      for (std::uint64_t n = 1 + below(4); n > 0; --n) {
        // Past the header (564 bytes in the largest form).
        const std::uint64_t at = 580 + below(bytes.size() - 580);
        const int bit = static_cast<int>(below(8));
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << bit));
        flips += " " + std::to_string(at) + ":" + std::to_string(bit);
      }
      SCOPED_TRACE(base.name + ", bits flipped at" + flips);
      const fs::path copy = norvexa::testing::WriteFile(scratch / "copy.pst", bytes);
      const Reading ours = Inspect(copy, "norvexa");
      const Reading theirs = Inspect(copy, "libpff");
      ASSERT_GE(ours.status, 0) << "our reader did not end within its time";
      EXPECT_GE(ours.items.size(), theirs.items.size()) << "libpff read more items";
      ExpectUndamagedItemsEqual(base, ours);
      ++copies;
      whole += base.reference.items.size();
      ours_total += ours.items.size();
      theirs_total += theirs.items.size();
      if (ours.items.size() < base.reference.items.size()) {
        ++fewer;
        // $NORVEXA_DAMAGE_LOG set: each copy read with items missing is told.
        if (std::getenv("NORVEXA_DAMAGE_LOG") != nullptr) {
          std::cerr << base.name << ", bits flipped at" << flips << ": " << ours.items.size() << " of "
                    << base.reference.items.size() << " items read, libpff " << theirs.items.size() << "\n";
        }
      }
      for (const auto& [key, item] : ours.items) flagged += item.contains("damage") ? 1 : 0;
    }
  }
  EXPECT_GE(copies, 250u);
  EXPECT_GE(ours_total, theirs_total);
  auto share = [&](std::uint64_t n) { return whole == 0 ? 0.0 : 100.0 * static_cast<double>(n) / whole; };
  std::printf("[ recovery ] %llu copies with 1 to 4 bits flipped, %llu items in the undamaged files\n",
              static_cast<unsigned long long>(copies), static_cast<unsigned long long>(whole));
  std::printf("[ recovery ] items read: ours %llu (%.2f %%), libpff %llu (%.2f %%); ours read %llu items naming "
              "damage; %llu copies read with fewer items than the undamaged file\n",
              static_cast<unsigned long long>(ours_total), share(ours_total),
              static_cast<unsigned long long>(theirs_total), share(theirs_total),
              static_cast<unsigned long long>(flagged), static_cast<unsigned long long>(fewer));
}

// ---------------------------------------------------------------------------
// Damage aimed at named structures
// ---------------------------------------------------------------------------

// Where the named structures of a file are (norvexa-inspect store --layout).
struct Layout {
  QString format;
  std::uint32_t top = 0;  // the node of the visible hierarchy's top folder
  std::uint64_t node_root = 0, block_root = 0, page = 512;
  struct Structure {
    QString what, folder;
    std::uint32_t nid = 0;
    std::uint64_t offset = 0, size = 0;
  };
  std::vector<Structure> structures;

  // The top folder's hierarchy table, or else the largest structure of kind
  // WHAT (the one with the most rows); null when the file has none.
  const Structure* Aim(const QString& what) const {
    const Structure* best = nullptr;
    for (const Structure& s : structures) {
      if (s.what != what) continue;
      if (what == "hierarchy table" && s.nid == ((top & ~0x1Fu) | 0x0Du)) return &s;
      if (best == nullptr || s.size > best->size) best = &s;
    }
    return best;
  }
};

// A node identifier as norvexa-inspect prints it ("0x00008022").
std::uint32_t Nid(const QJsonValue& text) { return text.toString().mid(2).toUInt(nullptr, 16); }

Layout ReadLayout(const fs::path& pst) {
  const ToolRun run = Tool(kInspect, {"store", "--layout", Q(pst)});
  EXPECT_TRUE(run.finished && run.status == 0) << run.err.toStdString();
  const QJsonObject o = QJsonDocument::fromJson(run.out).object();
  Layout l;
  l.format = o["format"].toString();
  l.top = Nid(o["top_folder"]);
  l.node_root = static_cast<std::uint64_t>(o["node_index_root"].toObject()["offset"].toInteger());
  l.block_root = static_cast<std::uint64_t>(o["block_index_root"].toObject()["offset"].toInteger());
  l.page = static_cast<std::uint64_t>(o["node_index_root"].toObject()["size"].toInteger());
  for (const QJsonValue& v : o["structures"].toArray()) {
    const QJsonObject s = v.toObject();
    if (!s.contains("offset")) continue;
    l.structures.push_back({s["what"].toString(), s["folder"].toString(), Nid(s["nid"]),
                            static_cast<std::uint64_t>(s["offset"].toInteger()),
                            static_cast<std::uint64_t>(s["size"].toInteger())});
  }
  return l;
}

// One way of damaging one structure: what, where it lies (for the check
// that the damage is named there), and the pstgen --damage arguments, or a
// change of the bytes when pstgen has no option for it.
struct Aimed {
  std::string label;
  std::uint64_t from = 0, to = 0;  // the structure's bytes
  QStringList damage;
  std::function<void(std::string&)> change;
};

// The cases for the file laid out as L.
std::vector<Aimed> AimedCases(const Layout& l) {
  std::vector<Aimed> cases;
  // In a B-tree page: the stored CRC (the page itself intact), the level
  // (its structure broken), and the whole page zeroed.
  const std::uint64_t crc_at = l.format == "ansi" ? 508 : l.format == "unicode4k" ? 4076 : 500;
  const std::uint64_t level_at = l.format == "ansi" ? 499 : l.format == "unicode4k" ? 4061 : 491;
  for (const auto& [name, root] : {std::pair{"node index root", l.node_root}, std::pair{"block index root", l.block_root}}) {
    const auto flip = [](std::uint64_t at, int bit) { return QString("%1:%2").arg(at).arg(bit); };
    cases.push_back({std::string(name) + ": its CRC", root, root + l.page, {"--flip-bit", flip(root + crc_at, 3)}, {}});
    cases.push_back({std::string(name) + ": its level", root, root + l.page, {"--flip-bit", flip(root + level_at, 0)}, {}});
    cases.push_back({std::string(name) + ": zeroed", root, root + l.page, {"--zero-page", QString::number(root)}, {}});
  }
  // In a table's first block: one bit in its middle (its CRC fails), and
  // its data wiped (the trailer left, so the block is found but is no table).
  for (const char* what : {"hierarchy table", "contents table", "attachment table"}) {
    const Layout::Structure* s = l.Aim(what);
    if (s == nullptr) continue;
    const std::string label = std::string(what) + " of " + s->folder.toStdString();
    cases.push_back({label + ": a bit in the middle", s->offset, s->offset + s->size,
                     {"--flip-bit", QString("%1:5").arg(s->offset + s->size / 2)}, {}});
    cases.push_back({label + ": wiped", s->offset, s->offset + s->size, {}, [at = s->offset, n = s->size](std::string& b) {
                       std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), n, '\0');
                     }});
  }
  return cases;
}

TEST(DamagedRecovery, DamageInEachIndexRootAndTableIsWalkedAroundAndNamedWhereItIs) {
  norvexa::testing::ScratchDir scratch;
  std::vector<fs::path> stores;
  for (const fs::path& real : RealStores()) {
    const std::string name = real.filename().string();
    if (name == "dist-list.pst" || name == "exchange-user.pst" || name == "sample2-ansi.pst") stores.push_back(real);
  }
  const std::vector<fs::path> generated = GeneratedStores(scratch.path());
  stores.insert(stores.end(), generated.begin(), generated.end());
  const char* const kKinds[] = {"node index root", "block index root", "hierarchy table", "contents table",
                                "attachment table"};
  std::map<std::string, int> kinds;
  for (const fs::path& pst : stores) {
    const Base base = MakeBase(pst);
    const Layout layout = ReadLayout(pst);
    for (const Aimed& c : AimedCases(layout)) {
      SCOPED_TRACE(base.name + ": " + c.label);
      for (const char* kind : kKinds) kinds[kind] += c.label.rfind(kind, 0) == 0 ? 1 : 0;
      std::string bytes = base.bytes;
      if (c.change) c.change(bytes);
      const fs::path copy = norvexa::testing::WriteFile(scratch / "aimed.pst", bytes);
      if (!c.damage.isEmpty()) {
        const ToolRun damage = Tool(kPstgen, QStringList{"--damage", Q(copy)} + c.damage);
        ASSERT_TRUE(damage.finished && damage.status == 0) << damage.err.toStdString();
      }
      const Reading ours = Inspect(copy, "norvexa");
      ASSERT_TRUE(ours.opened) << "the store did not open";
      EXPECT_EQ(ours.status, 1) << "the damage is not said";
      // Folders found without their parent's table come in the order of
      // the node index.
      std::vector<QString> folders = ours.folders, expected = base.reference.folders;
      std::sort(folders.begin(), folders.end());
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(folders, expected);
      for (const auto& [key, item] : base.reference.items) {
        EXPECT_EQ(ours.items.count(key), 1u) << "item " << key.toStdString() << " was not read";
      }
      ExpectUndamagedItemsEqual(base, ours);
      const std::vector<QJsonObject> damage = DamageOf(ours);
      EXPECT_TRUE(std::any_of(damage.begin(), damage.end(), [&](const QJsonObject& d) {
        const auto at = static_cast<std::uint64_t>(d["offset"].toInteger());
        return at >= c.from && at < c.to;
      })) << "no damage is named within the structure";
    }
  }
  for (const char* kind : kKinds) EXPECT_GT(kinds[kind], 0) << "no case damaged a " << kind;
}

}  // namespace
