// Damaged copies of store files read the way a conversion reads them: the
// real fixtures and a mailbox generated from every-kind.json, with bytes
// flipped, pages zeroed, the file cut short, index pages and blocks changed
// behind their CRCs (so that the reader's structural checks meet the damage,
// not just the CRC), index and data trees made cyclic, sizes and offsets
// pointed past the end of the file, and folder hierarchies made to loop.
//
// Every case must end with a full read or with OutlookErrors that name the
// file and say what is damaged: never a crash, a hang, a sanitizer report,
// another kind of exception or a huge allocation. Damage the reader walks
// around (an index rebuilt by a scan of the file) is not an error: the
// store's account of damage must then say it, where a case's damage lies on
// every path. On Linux each case runs in
// a child process with its address space limited and an alarm set, so a
// fault of one case is reported as that case's and the others still run.
// The damage is drawn from a fixed seed: every run reads the same cases.
#include "description.h"
#include "mailbox_writer.h"
#include "platform/outlook/block_encoding.h"
#include "platform/outlook/outlook.h"
#include "pst_format.h"
#include "read_everything.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif
#ifdef __linux__
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace norvexa::outlook {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSeed = 0x5EED0FDA3A6EDULL;

// ---------------------------------------------------------------------------
// Little-endian access to a file held in a string.
// ---------------------------------------------------------------------------

// The WIDTH-byte number at AT of B; PUT stores one. The caller checks the
// bounds.
std::uint64_t Get(const std::string& b, std::uint64_t at, int width) {
  std::uint64_t v = 0;
  for (int i = 0; i < width; ++i) v |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(b[at + i])) << (8 * i);
  return v;
}

void Put(std::string& b, std::uint64_t at, int width, std::uint64_t v) {
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint64_t AlignUp(std::uint64_t v, std::uint64_t to) { return (v + to - 1) / to * to; }

// ---------------------------------------------------------------------------
// The node database of an undamaged file, as far as the damage needs it:
// every page of the two B-trees and every entry of their leaves.
// ---------------------------------------------------------------------------

struct Page {
  std::uint64_t bid = 0, ib = 0;
  std::uint8_t ptype = 0;  // 0x80 blocks, 0x81 nodes
  int level = 0;
  std::size_t count = 0, entry_size = 0;
  std::vector<std::size_t> ancestors;  // indexes into Layout::pages, root first
};

struct BlockEntry {
  std::uint64_t bid = 0, ib = 0;
  std::uint16_t cb = 0;
  std::uint64_t entry_at = 0;  // file offset of its entry in a leaf page
  std::uint64_t page_ib = 0;
};

struct NodeEntry {
  std::uint32_t nid = 0, parent = 0;
  std::uint64_t bid_data = 0, bid_sub = 0;
  std::uint64_t entry_at = 0;
  std::uint64_t page_ib = 0;
};

struct Layout {
  bool wide = true;  // Unicode (64-bit) rather than ANSI
  std::uint8_t crypt = 0;
  std::uint64_t nbt_bid = 0, nbt_ib = 0, bbt_bid = 0, bbt_ib = 0;
  std::vector<Page> pages;
  std::vector<BlockEntry> blocks;
  std::vector<NodeEntry> nodes;

  int id() const { return wide ? 8 : 4; }
  std::size_t count_at() const { return wide ? 488 : 496; }  // then cEntMax, cbEnt, cLevel
  std::size_t crc_at() const { return wide ? 500 : 508; }
  std::size_t covered() const { return wide ? 496 : 500; }
  std::size_t block_trailer() const { return wide ? 16 : 12; }
  std::size_t max_payload() const { return 8192 - block_trailer(); }
  const Page* root(std::uint8_t ptype) const {
    for (const Page& p : pages) {
      if (p.ptype == ptype && p.ancestors.empty()) return &p;
    }
    return nullptr;
  }
  const NodeEntry* node(std::uint32_t nid) const {
    for (const NodeEntry& n : nodes) {
      if (n.nid == nid) return &n;
    }
    return nullptr;
  }
};

// Adds the page (BID, IB) of type PTYPE and everything below it to L.
// Throws when the file is not laid out as an undamaged one is.
void WalkTree(const std::string& b, Layout& l, std::uint64_t bid, std::uint64_t ib, std::uint8_t ptype,
              std::vector<std::size_t> ancestors, std::set<std::uint64_t>& seen) {
  if (ib + 512 > b.size() || !seen.insert(ib).second) throw std::runtime_error("unexpected index layout");
  Page page;
  page.bid = bid;
  page.ib = ib;
  page.ptype = ptype;
  page.count = static_cast<std::uint8_t>(b[ib + l.count_at()]);
  page.entry_size = static_cast<std::uint8_t>(b[ib + l.count_at() + 2]);
  page.level = static_cast<std::uint8_t>(b[ib + l.count_at() + 3]);
  page.ancestors = ancestors;
  l.pages.push_back(page);
  const std::size_t index = l.pages.size() - 1;
  const int w = l.id();
  for (std::size_t i = 0; i < page.count; ++i) {
    const std::uint64_t e = ib + i * page.entry_size;
    if (page.level > 0) {
      std::vector<std::size_t> below = ancestors;
      below.push_back(index);
      WalkTree(b, l, Get(b, e + w, w), Get(b, e + 2 * w, w), ptype, below, seen);
    } else if (ptype == 0x80) {
      BlockEntry entry{Get(b, e, w), Get(b, e + w, w), static_cast<std::uint16_t>(Get(b, e + 2 * w, 2)), e, ib};
      l.blocks.push_back(entry);
    } else {
      l.nodes.push_back(NodeEntry{static_cast<std::uint32_t>(Get(b, e, 4)),
                                  static_cast<std::uint32_t>(Get(b, e + 3 * w, 4)), Get(b, e + w, w),
                                  Get(b, e + 2 * w, w), e, ib});
    }
  }
}

// The layout of the undamaged file B.
Layout ReadLayout(const std::string& b) {
  Layout l;
  const auto version = Get(b, 10, 2);
  l.wide = version >= 21;
  if (l.wide) {
    l.nbt_bid = Get(b, 216, 8);
    l.nbt_ib = Get(b, 224, 8);
    l.bbt_bid = Get(b, 232, 8);
    l.bbt_ib = Get(b, 240, 8);
    l.crypt = static_cast<std::uint8_t>(b[513]);
  } else {
    l.nbt_bid = Get(b, 184, 4);
    l.nbt_ib = Get(b, 188, 4);
    l.bbt_bid = Get(b, 192, 4);
    l.bbt_ib = Get(b, 196, 4);
    l.crypt = static_cast<std::uint8_t>(b[461]);
  }
  std::set<std::uint64_t> seen;
  WalkTree(b, l, l.nbt_bid, l.nbt_ib, 0x81, {}, seen);
  WalkTree(b, l, l.bbt_bid, l.bbt_ib, 0x80, {}, seen);
  return l;
}

// Recomputes the CRC of the index page at IB after it was changed.
void ResealPage(std::string& b, const Layout& l, std::uint64_t ib) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(b.data() + ib);
  Put(b, ib + l.crc_at(), 4, pstgen::Crc32(p, l.covered()));
}

// Decodes or encodes a block's data in place (the cyclic encoding is its
// own inverse). Blocks of data and subnode trees are never encoded.
void Code(const Layout& l, std::uint64_t bid, std::vector<std::uint8_t>& data, bool decode) {
  if (bid & 2) return;
  if (l.crypt == 1) {
    if (decode)
      pstgen::PermuteDecode(data.data(), data.size());
    else
      pstgen::PermuteEncode(data.data(), data.size());
  } else if (l.crypt == 2) {
    pst::DecodeCyclic(data.data(), data.size(), static_cast<std::uint32_t>(bid & ~std::uint64_t{1}));
  }
}

// The decoded data of block E.
std::vector<std::uint8_t> BlockData(const std::string& b, const Layout& l, const BlockEntry& e) {
  std::vector<std::uint8_t> data(b.begin() + static_cast<std::ptrdiff_t>(e.ib),
                                 b.begin() + static_cast<std::ptrdiff_t>(e.ib + e.cb));
  Code(l, e.bid, data, true);
  return data;
}

// Writes DATA (decoded, E.cb bytes) back as block E with a fresh CRC, so
// that the block passes its check and the change reaches the structure.
void StoreBlockData(std::string& b, const Layout& l, const BlockEntry& e, std::vector<std::uint8_t> data) {
  Code(l, e.bid, data, false);
  std::memcpy(b.data() + e.ib, data.data(), data.size());
  const std::uint64_t trailer = e.ib + AlignUp(e.cb + l.block_trailer(), 64) - l.block_trailer();
  Put(b, trailer + (l.wide ? 4 : 8), 4, pstgen::Crc32(data.data(), data.size()));
}

// Whether decoded block data D starts a heap, or is a tree block of TYPE
// (1 data tree, 2 subnode tree) and LEVEL.
bool IsHeapBlock(const std::vector<std::uint8_t>& d) { return d.size() >= 12 && d[2] == 0xEC; }
bool IsTreeBlock(const std::vector<std::uint8_t>& d, std::uint8_t type, int level) {
  return d.size() >= 8 && d[0] == type && d[1] == level;
}

// ---------------------------------------------------------------------------
// Cases
// ---------------------------------------------------------------------------

// An undamaged file that cases damage copies of.
struct Base {
  std::string name;
  std::string bytes;
  Layout layout;
};

// One damaged copy: how to make it from its base, and what must happen.
struct Case {
  std::string kind;   // what was done, for the tally
  std::string label;  // and where
  const Base* base = nullptr;
  std::function<void(std::string&)> damage;
  bool must_fail = false;  // the damage lies on every path: reading must fail or report it
  std::string must_say;    // when not empty: what one of the errors or damage reports must say
};

// Makes cases of each kind of damage for one base, drawing places from a
// seeded generator.
class CaseMaker {
 public:
  CaseMaker(const Base& base, std::uint64_t seed, std::vector<Case>& out) : base_(base), rng_(seed), out_(out) {}

  // A number in [0, N), 0 for N = 0. The generator's sequence is fixed by
  // the standard, so the cases are the same with every library.
  std::uint64_t Below(std::uint64_t n) { return n == 0 ? 0 : rng_() % n; }

  // A case of KIND at WHERE, made by DAMAGE.
  void Add(const std::string& kind, const std::string& where, std::function<void(std::string&)> damage) {
    Case c;
    c.kind = kind;
    c.label = base_.name + ": " + kind + " " + where;
    c.base = &base_;
    c.damage = std::move(damage);
    out_.push_back(std::move(c));
  }
  // A case whose damage lies on every path: reading must fail.
  void AddMustFail(const std::string& kind, const std::string& where, std::function<void(std::string&)> damage) {
    Add(kind, where, std::move(damage));
    out_.back().must_fail = true;
  }

  // CASES copies with up to MOST bytes flipped at random places among the
  // first LIMIT bytes of the file.
  void Flips(const std::string& kind, std::uint64_t limit, int most, int cases) {
    for (int c = 0; c < cases; ++c) {
      std::vector<std::pair<std::uint64_t, char>> flips;
      std::string where;
      for (std::uint64_t n = 1 + Below(most); n > 0; --n) {
        flips.emplace_back(Below(std::min(limit, size())), static_cast<char>(1 + Below(255)));
        where += (where.empty() ? "at " : ",") + Hex(flips.back().first);
      }
      Add(kind, where, [flips](std::string& b) {
        for (const auto& [at, mask] : flips) b[at] = static_cast<char>(b[at] ^ mask);
      });
    }
  }

  // Whole 512-byte pages zeroed.
  void ZeroedPages(int cases) {
    for (int c = 0; c < cases; ++c) {
      std::vector<std::uint64_t> pages;
      std::string where;
      for (std::uint64_t n = 1 + Below(3); n > 0; --n) {
        pages.push_back(Below(size() / 512) * 512);
        where += (where.empty() ? "at " : ",") + Hex(pages.back());
      }
      Add("zeroed pages", where, [pages](std::string& b) {
        for (const std::uint64_t at : pages) std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), 512, '\0');
      });
    }
  }

  // The file cut short at random points and inside both index roots.
  void Truncations(int cases) {
    std::vector<std::uint64_t> points;
    for (int c = 0; c < cases; ++c) points.push_back(Below(size()));
    const Layout& l = base_.layout;
    AddMustFail("truncated", "inside the node index root", [at = l.nbt_ib + 256](std::string& b) { b.resize(at); });
    AddMustFail("truncated", "inside the block index root", [at = l.bbt_ib + 256](std::string& b) { b.resize(at); });
    for (const std::uint64_t at : points) Add("truncated", "at " + Hex(at), [at](std::string& b) { b.resize(at); });
  }

  // Index pages changed behind their CRC: entries, counts, sizes, levels.
  void IndexPageFlips(int cases) {
    const Layout& l = base_.layout;
    for (int c = 0; c < cases; ++c) {
      const Page& page = l.pages[Below(l.pages.size())];
      std::vector<std::pair<std::uint64_t, char>> flips;
      std::string where = "in the index page at " + Hex(page.ib) + " at";
      for (std::uint64_t n = 1 + Below(4); n > 0; --n) {
        // Half of them in the used entries, the rest anywhere the CRC covers.
        const std::uint64_t used = std::max<std::uint64_t>(1, page.count * page.entry_size);
        const std::uint64_t offset = Below(2) == 0 ? Below(used) : Below(l.covered());
        flips.emplace_back(page.ib + offset, static_cast<char>(1 << Below(8)));
        where += " +" + std::to_string(offset);
      }
      Add("index page changed", where, [flips, &l, ib = page.ib](std::string& b) {
        for (const auto& [at, mask] : flips) b[at] = static_cast<char>(b[at] ^ mask);
        ResealPage(b, l, ib);
      });
    }
  }

  // Blocks changed behind their CRC, mostly heaps and tree blocks.
  void BlockFlips(int cases) {
    const Layout& l = base_.layout;
    std::vector<std::size_t> structural;
    for (std::size_t i = 0; i < l.blocks.size(); ++i) {
      const auto data = BlockData(base_.bytes, l, l.blocks[i]);
      if ((l.blocks[i].bid & 2) || IsHeapBlock(data)) structural.push_back(i);
    }
    for (int c = 0; c < cases; ++c) {
      const bool pick_structural = !structural.empty() && Below(4) != 0;
      const BlockEntry& e = l.blocks[pick_structural ? structural[Below(structural.size())] : Below(l.blocks.size())];
      if (e.cb == 0) continue;
      std::vector<std::pair<std::size_t, std::uint8_t>> flips;
      std::string where = "in block " + Hex(e.bid) + " at";
      for (std::uint64_t n = 1 + Below(4); n > 0; --n) {
        flips.emplace_back(Below(e.cb), static_cast<std::uint8_t>(1 << Below(8)));
        where += " +" + std::to_string(flips.back().first);
      }
      Add("block changed", where, [flips, &l, e](std::string& b) {
        auto data = BlockData(b, l, e);
        for (const auto& [at, mask] : flips) data[at] ^= mask;
        StoreBlockData(b, l, e, std::move(data));
      });
    }
  }

  // Branch entries of the index trees pointed back at their own page, at
  // a page above it, or into the other tree; every entry of a root at the
  // root.
  void IndexCycles(int per_tree) {
    const Layout& l = base_.layout;
    for (const std::uint8_t ptype : {std::uint8_t{0x81}, std::uint8_t{0x80}}) {
      const std::string tree = ptype == 0x81 ? "node index" : "block index";
      std::vector<const Page*> branches, below_root;
      for (const Page& p : l.pages) {
        if (p.ptype != ptype || p.level == 0) continue;
        branches.push_back(&p);
        if (!p.ancestors.empty()) below_root.push_back(&p);
      }
      for (int c = 0; c < per_tree && !branches.empty(); ++c) {
        const Page& page = *branches[Below(branches.size())];
        PointEntry(tree, page, Below(page.count), page, "that page");
        if (!below_root.empty()) {
          const Page& lower = *below_root[Below(below_root.size())];
          const Page& above = l.pages[lower.ancestors[Below(lower.ancestors.size())]];
          PointEntry(tree, lower, Below(lower.count), above, "a page above it");
        }
      }
      const Page* root = l.root(ptype);
      if (root == nullptr || root->level == 0) continue;
      AddMustFail("index cycle", "in the " + tree + ": every entry of the root points at the root",
                  [&l, page = *root](std::string& b) {
                    for (std::size_t i = 0; i < page.count; ++i) {
                      const std::uint64_t e = page.ib + i * page.entry_size;
                      Put(b, e + l.id(), l.id(), page.bid);
                      Put(b, e + 2 * l.id(), l.id(), page.ib);
                    }
                    ResealPage(b, l, page.ib);
                  });
      // The first page of the other tree at the level the entry leads to
      // (read early, for the lowest keys, and cached): only its page type
      // tells that it does not belong here, and the error must say so.
      for (const Page& p : l.pages) {
        if (p.ptype != ptype && p.level == root->level - 1) {
          PointEntry(tree, *root, root->count - 1, p, "a page of the other index", true);
          break;
        }
      }
    }
  }

  // Points entry ENTRY of branch page PAGE at TARGET.
  void PointEntry(const std::string& tree, const Page& page, std::size_t entry, const Page& target,
                  const std::string& what, bool blame_target = false) {
    const Layout& l = base_.layout;
    Add("index cycle",
        "in the " + tree + ": entry " + std::to_string(entry) + " of the page at " + Hex(page.ib) + " points at " +
            what,
        [&l, page, entry, target](std::string& b) {
          const std::uint64_t e = page.ib + entry * page.entry_size;
          Put(b, e + l.id(), l.id(), target.bid);
          Put(b, e + 2 * l.id(), l.id(), target.ib);
          ResealPage(b, l, page.ib);
        });
    if (blame_target) {
      out_.back().must_fail = true;
      out_.back().must_say = "the index page at offset " + Hex(target.ib) + " is not an index page";
    }
  }

  // Data and subnode tree blocks whose entries point back at themselves;
  // with DATA_TREE_LEVEL, only data tree blocks of that level.
  void TreeBlockCycles(int cases, int data_tree_level = 0) {
    const Layout& l = base_.layout;
    int made = 0;
    for (const BlockEntry& e : l.blocks) {
      if (made >= cases || !(e.bid & 2)) continue;
      const auto data = BlockData(base_.bytes, l, e);
      const std::size_t count = data.size() >= 4 ? pstgen::Get16(&data[2]) : 0;
      if (count == 0) continue;
      // Data tree blocks list identifiers after an 8-byte header; subnode
      // tree blocks list (nid, bid[, bid]) entries after a 4- or 8-byte one.
      std::size_t bid_at = 0;
      std::string what;
      if (data_tree_level != 0 && !IsTreeBlock(data, 0x01, data_tree_level)) continue;
      if (IsTreeBlock(data, 0x01, 1) || IsTreeBlock(data, 0x01, 2)) {
        bid_at = 8 + Below(count) * l.id();
        what = data[1] == 2 ? "data tree (two levels)" : "data tree";
      } else if (IsTreeBlock(data, 0x02, 1)) {
        bid_at = (l.wide ? 8 : 4) + Below(count) * 2 * l.id() + l.id();
        what = "subnode tree";
      } else {
        continue;
      }
      ++made;
      Add("tree block cycle", "in the " + what + " block " + Hex(e.bid) + ": an entry points at the block itself",
          [&l, e, bid_at](std::string& b) {
            auto d = BlockData(b, l, e);
            if (l.wide)
              pstgen::Put64(&d[bid_at], e.bid);
            else
              pstgen::Put32(&d[bid_at], static_cast<std::uint32_t>(e.bid));
            StoreBlockData(b, l, e, std::move(d));
          });
    }
  }

  // Block index entries whose size or offset lies past the end of the file.
  void BlockEntriesPastTheEnd(int per_variant) {
    const Layout& l = base_.layout;
    const std::uint64_t end = size();
    const std::pair<const char*, std::function<void(std::string&, const BlockEntry&)>> variants[] = {
        {"size 0xFFFF", [&l](std::string& b, const BlockEntry& e) { Put(b, e.entry_at + 2 * l.id(), 2, 0xFFFF); }},
        {"the largest size",
         [&l](std::string& b, const BlockEntry& e) { Put(b, e.entry_at + 2 * l.id(), 2, l.max_payload()); }},
        {"offset at the end",
         [&l, end](std::string& b, const BlockEntry& e) { Put(b, e.entry_at + l.id(), l.id(), end); }},
        {"offset straddling the end",
         [&l, end](std::string& b, const BlockEntry& e) { Put(b, e.entry_at + l.id(), l.id(), end - 64); }},
        {"offset far past the end",
         [&l](std::string& b, const BlockEntry& e) {
           Put(b, e.entry_at + l.id(), l.id(), l.wide ? 0xFFFFFFFFFFFFFFC0ULL : 0xFFFFFFC0ULL);
         }},
    };
    for (const auto& [what, change] : variants) {
      for (int c = 0; c < per_variant; ++c) {
        const BlockEntry& e = l.blocks[Below(l.blocks.size())];
        Add("block past the end", "block " + Hex(e.bid) + ": " + what, [change, e, &l](std::string& b) {
          change(b, e);
          ResealPage(b, l, e.page_ib);
        });
      }
    }
  }

  // Data tree blocks whose count or total size is inflated; with LEVEL,
  // only blocks of that level.
  void DataTreeSizes(int blocks, int level = 0) {
    const Layout& l = base_.layout;
    int made = 0;
    for (const BlockEntry& e : l.blocks) {
      if (made >= blocks || !(e.bid & 2)) continue;
      const auto data = BlockData(base_.bytes, l, e);
      if (!IsTreeBlock(data, 0x01, 1) && !IsTreeBlock(data, 0x01, 2)) continue;
      if (level != 0 && data[1] != level) continue;
      const std::uint16_t count = pstgen::Get16(&data[2]);
      const std::uint32_t total = pstgen::Get32(&data[4]);
      const std::pair<std::string, std::pair<int, std::uint32_t>> variants[] = {
          {"count 0xFFFF", {2, 0xFFFF}},
          {"count one more", {2, count + 1u}},
          {"total size 0xFFFFFFFF", {4, 0xFFFFFFFFu}},
          {"total size just under 1 GB", {4, 0x3FFFFFF0u}},
          {"total size one more", {4, total + 1u}},
      };
      for (const auto& [what, change] : variants) {
        // All variants on the first block, the two largest on the others.
        if (made > 0 && what != "count 0xFFFF" && what != "total size just under 1 GB") continue;
        Add("data tree inflated", "block " + Hex(e.bid) + ": " + what,
            [&l, e, at = change.first, v = change.second](std::string& b) {
              auto d = BlockData(b, l, e);
              if (at == 2)
                pstgen::Put16(&d[2], static_cast<std::uint16_t>(v));
              else
                pstgen::Put32(&d[4], v);
              StoreBlockData(b, l, e, std::move(d));
            });
      }
      ++made;
    }
  }

  // Heap blocks whose page map counts more allocations than it holds, or
  // lies outside the block.
  void HeapMaps(int blocks) {
    const Layout& l = base_.layout;
    std::vector<const BlockEntry*> heaps;
    for (const BlockEntry& e : l.blocks) {
      if (!(e.bid & 2) && IsHeapBlock(BlockData(base_.bytes, l, e))) heaps.push_back(&e);
    }
    for (int c = 0; c < blocks && !heaps.empty(); ++c) {
      const BlockEntry e = *heaps[Below(heaps.size())];
      const std::pair<const char*, std::function<void(std::vector<std::uint8_t>&)>> variants[] = {
          {"allocation count 0xFFFF",
           [](std::vector<std::uint8_t>& d) { pstgen::Put16(&d[pstgen::Get16(d.data())], 0xFFFF); }},
          {"allocation count one more",
           [](std::vector<std::uint8_t>& d) {
             std::uint8_t* map = &d[pstgen::Get16(d.data())];
             pstgen::Put16(map, static_cast<std::uint16_t>(pstgen::Get16(map) + 1));
           }},
          {"page map past the block", [](std::vector<std::uint8_t>& d) { pstgen::Put16(d.data(), 0xFFF0); }},
      };
      for (const auto& [what, change] : variants) {
        Add("heap map inflated", "block " + Hex(e.bid) + ": " + what, [&l, e, change](std::string& b) {
          auto d = BlockData(b, l, e);
          if (pstgen::Get16(d.data()) + 4u <= d.size()) change(d);
          StoreBlockData(b, l, e, std::move(d));
        });
      }
    }
  }

  // A folder's hierarchy table replaced by its grandparent's: the folder
  // then lists its own parent among its sub-folders, which lists it again.
  void FolderLoops(int cases) {
    const Layout& l = base_.layout;
    int made = 0;
    auto is_folder = [](std::uint32_t nid) { return (nid & 0x1F) == 0x02; };
    for (const NodeEntry& n : l.nodes) {
      if (made >= cases || !is_folder(n.nid) || n.nid == 0x122) continue;
      const NodeEntry* parent = l.node(n.parent);
      if (parent == nullptr || !is_folder(parent->nid) || parent->nid == n.nid) continue;
      const NodeEntry* grandparent = l.node(parent->parent);
      if (grandparent == nullptr || !is_folder(grandparent->nid) || grandparent->nid == parent->nid) continue;
      const NodeEntry* own_table = l.node((n.nid & ~0x1Fu) | 0x0D);
      const NodeEntry* grand_table = l.node((grandparent->nid & ~0x1Fu) | 0x0D);
      if (own_table == nullptr || grand_table == nullptr) continue;
      ++made;
      Add("folder loop", "folder node " + std::to_string(n.nid) + " lists its parent as a sub-folder",
          [&l, own = *own_table, grand = *grand_table](std::string& b) {
            Put(b, own.entry_at + l.id(), l.id(), grand.bid_data);
            Put(b, own.entry_at + 2 * l.id(), l.id(), grand.bid_sub);
            ResealPage(b, l, own.page_ib);
          });
    }
  }

  // V in hexadecimal, for the labels.
  static std::string Hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
    return text;
  }

 private:
  std::uint64_t size() const { return base_.bytes.size(); }

  const Base& base_;
  std::mt19937_64 rng_;
  std::vector<Case>& out_;
};

// The cases of every kind for BASE, about 40 per SCALE.
void MakeCases(const Base& base, std::uint64_t seed, int scale, std::vector<Case>& out) {
  CaseMaker make(base, seed, out);
  make.Flips("flipped bytes", base.bytes.size(), 8, 3 * scale);
  // The header: version, encoding, index roots.
  make.Flips("header changed", 580, 3, scale);
  make.ZeroedPages(2 * scale);
  make.Truncations(3 * scale);
  make.IndexPageFlips(5 * scale);
  make.BlockFlips(6 * scale);
  make.IndexCycles(scale);
  make.TreeBlockCycles(2 * scale);
  make.BlockEntriesPastTheEnd(scale);
  make.DataTreeSizes(scale);
  make.HeapMaps(scale);
  make.FolderLoops(2);
}

// How many times the usual number of cases to run: $NORVEXA_DAMAGE_SCALE
// (the longer run of the "long" label sets it), else 1.
int Scale() {
  const char* text = std::getenv("NORVEXA_DAMAGE_SCALE");
  const int scale = text != nullptr ? std::atoi(text) : 1;
  return std::clamp(scale, 1, 100);
}

// ---------------------------------------------------------------------------
// Running one case
// ---------------------------------------------------------------------------

// What reading a damaged file came to.
struct Outcome {
  enum class End { Read, Crashed, Hung, OtherException, OutOfMemory, Leaked };
  End end = End::Crashed;
  std::vector<std::string> errors;       // OutlookError messages, in order
  std::vector<std::string> damage;       // what the store's account of damage says
  std::string detail;                    // for the other ends
  bool opened = false;                   // OpenStoreFile succeeded
  std::uint64_t resident_growth_kb = 0;  // peak growth of the resident memory (Linux)
};

// Adds a record to the REPORT of a case: kind letter, length, text.
void Record(std::string& report, char kind, const std::string& text) {
  report += kind;
  report += std::to_string(text.size());
  report += ':';
  report += text;
}

// Opens and reads the file at PATH as a conversion would, collecting every
// OutlookError into REPORT.
void ReadCase(const fs::path& path, const fs::path& scratch, std::string& report) {
  auto record = [&report](char kind, const std::string& text) { Record(report, kind, text); };
  try {
    const auto store = OpenStoreFile(path);
    record('O', "");
    testing::ReadEverything(*store, scratch, [&](const OutlookError& e) { record('E', e.what()); });
    for (const Damage& d : store->Damage()) record('D', d.what);
  } catch (const OutlookError& e) {
    record('E', e.what());
  } catch (const std::bad_alloc&) {
    record('M', "std::bad_alloc");
  } catch (const std::exception& e) {
    record('X', e.what());
  } catch (...) {
    record('X', "an exception of unknown type");
  }
  ReleaseCachedStores();
}

// An outcome other than a read, told by DETAIL.
Outcome Ended(Outcome::End end, std::string detail) {
  Outcome outcome;
  outcome.end = end;
  outcome.detail = std::move(detail);
  return outcome;
}

// The outcome that the records of REPORT describe.
Outcome ParseReport(const std::string& report) {
  Outcome outcome;
  outcome.end = Outcome::End::Read;
  std::size_t at = 0;
  while (at < report.size()) {
    const char kind = report[at];
    const std::size_t colon = report.find(':', at);
    const std::size_t length = std::stoul(report.substr(at + 1, colon - at - 1));
    const std::string text = report.substr(colon + 1, length);
    at = colon + 1 + length;
    auto ended = [&](Outcome::End end) {
      outcome.end = end;
      outcome.detail = text;
    };
    switch (kind) {
      case 'E': outcome.errors.push_back(text); break;
      case 'D': outcome.damage.push_back(text); break;
      case 'O': outcome.opened = true; break;
      case 'R': outcome.resident_growth_kb = std::stoull(text); break;
      case 'L': ended(Outcome::End::Leaked); break;
      case 'M': ended(Outcome::End::OutOfMemory); break;
      case 'X': ended(Outcome::End::OtherException); break;
    }
  }
  return outcome;
}

#ifdef __linux__

// How much more address space a case may take than the test has when it
// starts: far more than reading any of these files needs. Under the
// address sanitizer the limit holds for large allocations only (small ones
// come from space it reserved at start), and freed ones wait in its
// quarantine before they are given back.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t kAddressBudget = 1536ULL << 20;
#else
constexpr std::uint64_t kAddressBudget = 512ULL << 20;
#endif
// A case reads files of a few MB; one that has not finished after this is
// stuck, however slow the build.
constexpr unsigned kCaseSeconds = 120;

// A figure in kB from /proc/self/status ("VmSize:", "VmHWM:"...).
std::uint64_t StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stoull(line.substr(std::strlen(field)));
  }
  return 0;
}

// Reads the file at PATH (ReadCase) in a child process limited to
// kAddressBudget more address space and kCaseSeconds, and tells how it
// ended; SCRATCH takes saved attachments.
Outcome RunCase(const fs::path& path, const fs::path& scratch) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return Ended(Outcome::End::Crashed, "pipe() failed");
  std::cout.flush();
  std::cerr.flush();
  const pid_t child = fork();
  if (child < 0) return Ended(Outcome::End::Crashed, "fork() failed");
  if (child == 0) {
    close(pipe_fds[0]);
    const std::uint64_t start_kb = StatusKb("VmSize:");
    const std::uint64_t start_resident_kb = StatusKb("VmRSS:");
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = static_cast<rlim_t>(start_kb * 1024 + kAddressBudget);
    setrlimit(RLIMIT_AS, &limit);
    alarm(kCaseSeconds);
    std::string report;
    ReadCase(path, scratch, report);
    Record(report, 'R', std::to_string(StatusKb("VmHWM:") - start_resident_kb));
#if defined(__SANITIZE_ADDRESS__)
    // The child ends without the exit-time leak check; what the reader
    // left behind is looked for here, and reported above.
    if (__lsan_do_recoverable_leak_check() != 0) Record(report, 'L', "leaked memory (see the report above)");
#endif
    for (std::size_t done = 0; done < report.size();) {
      const ssize_t n = write(pipe_fds[1], report.data() + done, report.size() - done);
      if (n <= 0) _exit(3);
      done += static_cast<std::size_t>(n);
    }
    // No destructors, exit handlers or leak check of the copied test state.
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    report.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipe_fds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    if (signal == SIGALRM) {
      return Ended(Outcome::End::Hung, "still reading after " + std::to_string(kCaseSeconds) + " s");
    }
    return Ended(Outcome::End::Crashed, std::string("killed by signal ") + strsignal(signal));
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return Ended(Outcome::End::Crashed, "exited with status " + std::to_string(WEXITSTATUS(status)));
  }
  return ParseReport(report);
}

#else

// Without fork() the case runs in this process: a crash ends the test run
// and a hang stalls it, which still fails it.
Outcome RunCase(const fs::path& path, const fs::path& scratch) {
  std::string report;
  ReadCase(path, scratch, report);
  return ParseReport(report);
}

#endif

// ---------------------------------------------------------------------------
// Checking the outcomes
// ---------------------------------------------------------------------------

// What an error must say about the file besides its name: that it is
// damaged, cut short, or not a store (of a kind) this reader reads.
bool SaysWhatIsWrong(const std::string& message) {
  // An attachment that damage made a link to an outside file is reported
  // as what it now says it is.
  for (const char* words :
       {"damaged", "cut short", "not an Outlook data file", "not supported", "too short", "it holds no data"}) {
    if (message.find(words) != std::string::npos) return true;
  }
  return false;
}

struct Tally {
  int cases = 0, read_clean = 0, read_repaired = 0, read_with_errors = 0, failed_to_open = 0;
};

// Runs every case, each on its own copy of its base file in SCRATCH, and
// checks how it ended. Prints a tally by kind of damage.
void RunCases(const std::vector<Case>& cases, const fs::path& scratch) {
  // $NORVEXA_DAMAGE_LOG set: every case and its errors go to the standard
  // error, to see what the reader says about each kind of damage.
  const bool log = std::getenv("NORVEXA_DAMAGE_LOG") != nullptr;
  std::map<std::string, Tally> tally;
  std::uint64_t most_resident_kb = 0;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string file_name = "case-" + std::to_string(index++) + ".pst";
    const fs::path path = scratch / file_name;
    const fs::path work = scratch / "work";
    fs::create_directories(work);
    std::string bytes = c.base->bytes;
    c.damage(bytes);
    testing::WriteFile(path, bytes);
    const Outcome outcome = RunCase(path, work);
    fs::remove(path);
    fs::remove_all(work);

    Tally& t = tally[c.kind];
    ++t.cases;
    most_resident_kb = std::max(most_resident_kb, outcome.resident_growth_kb);
    switch (outcome.end) {
      case Outcome::End::Read: break;
      case Outcome::End::Crashed: ADD_FAILURE() << "crashed: " << outcome.detail; continue;
      case Outcome::End::Hung: ADD_FAILURE() << "hung: " << outcome.detail; continue;
      case Outcome::End::Leaked: ADD_FAILURE() << outcome.detail; continue;
      case Outcome::End::OutOfMemory:
        ADD_FAILURE() << "ran out of its address space budget: " << outcome.detail;
        continue;
      case Outcome::End::OtherException:
        ADD_FAILURE() << "threw something other than an OutlookError: " << outcome.detail;
        continue;
    }
    if (outcome.errors.empty()) {
      ++(outcome.damage.empty() ? t.read_clean : t.read_repaired);
      EXPECT_FALSE(c.must_fail && outcome.damage.empty()) << "read without an error or a report of damage";
    } else {
      ++(outcome.opened ? t.read_with_errors : t.failed_to_open);
    }
    if (log) {
      std::cerr << c.label << (outcome.opened ? "" : " (not opened)") << "\n";
      for (const std::string& message : outcome.errors) std::cerr << "    " << message << "\n";
      for (const std::string& message : outcome.damage) std::cerr << "    damage: " << message << "\n";
    }
    if (!c.must_say.empty()) {
      auto says = [&](const std::string& m) { return m.find(c.must_say) != std::string::npos; };
      EXPECT_TRUE(std::any_of(outcome.errors.begin(), outcome.errors.end(), says) ||
                  std::any_of(outcome.damage.begin(), outcome.damage.end(), says))
          << "no error or report of damage says \"" << c.must_say << "\""
          << (outcome.errors.empty() ? "" : ": " + outcome.errors[0]);
    }
    for (const std::string& message : outcome.errors) {
      EXPECT_NE(message.find(file_name), std::string::npos) << "the error does not name the file: " << message;
      EXPECT_TRUE(SaysWhatIsWrong(message)) << "the error does not say what is wrong: " << message;
    }
  }
  std::cout << "[ damaged  ] " << cases.size()
            << " cases; kind of damage: cases, read cleanly, read with the index repaired, read with errors, "
               "failed at opening\n";
  for (const auto& [kind, t] : tally) {
    std::cout << "[ damaged  ]   " << kind << ": " << t.cases << ", " << t.read_clean << ", " << t.read_repaired
              << ", " << t.read_with_errors << ", " << t.failed_to_open << "\n";
  }
  std::cout << "[ damaged  ] largest growth of the resident memory in one case: " << most_resident_kb / 1024 << " MB\n";
}

// Where the damaged copies and the attachments saved from them go: a
// folder in memory (/dev/shm) where the system has one, as the hundreds of
// files written and removed would otherwise wait on a busy disk; else a
// scratch folder. Removed with everything in it.
class CaseFolder {
 public:
  CaseFolder() {
#ifdef __linux__
    static int counter = 0;
    std::error_code ec;
    const fs::path memory = "/dev/shm";
    if (fs::is_directory(memory, ec)) {
      path_ = memory / ("norvexa-damaged-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
      if (fs::create_directory(path_, ec)) return;
    }
#endif
    fallback_ = std::make_unique<testing::ScratchDir>();
    path_ = fallback_->path();
  }
  ~CaseFolder() {
    std::error_code ec;
    if (!fallback_) fs::remove_all(path_, ec);
  }
  CaseFolder(const CaseFolder&) = delete;
  CaseFolder& operator=(const CaseFolder&) = delete;

  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::unique_ptr<testing::ScratchDir> fallback_;
  fs::path path_;
};

// Reads BASE undamaged: it must read without a single error or report of
// damage, or the damage found later says nothing.
void ExpectReadsCleanly(const Base& base, const fs::path& scratch) {
  const fs::path path = scratch / "undamaged.pst";
  const fs::path work = scratch / "work";
  fs::create_directories(work);
  testing::WriteFile(path, base.bytes);
  const Outcome outcome = RunCase(path, work);
  fs::remove(path);
  fs::remove_all(work);
  EXPECT_EQ(outcome.end, Outcome::End::Read) << base.name << ": " << outcome.detail;
  EXPECT_TRUE(outcome.errors.empty()) << base.name << ": " << (outcome.errors.empty() ? "" : outcome.errors.front());
  EXPECT_TRUE(outcome.damage.empty()) << base.name << ": " << (outcome.damage.empty() ? "" : outcome.damage.front());
}

// The base NAME holding BYTES, its layout read.
Base MakeBase(const std::string& name, std::string bytes) {
  Base base{name, std::move(bytes), {}};
  base.layout = ReadLayout(base.bytes);
  return base;
}

// The every-kind mailbox with its 11 MB attachment cut to 40 KB, so that
// random damage mostly lands on structures, and one body long enough to
// need a data tree of its own (the full size is used for the two-level
// data tree cases).
pstgen::MailboxSpec EveryKind(bool full_size) {
  pstgen::MailboxSpec spec =
      pstgen::ReadDescription(fs::path(NORVEXA_SOURCE_DIR) / "tests/data/mailboxes/every-kind.json");
  if (full_size) return spec;
  for (pstgen::FolderSpec& folder : spec.folders) {
    folder.items = [produce = folder.items,
                    inbox = folder.name == "Inbox"](const std::function<void(const pstgen::Item&)>& sink) {
      bool first = inbox;
      produce([&](const pstgen::Item& original) {
        pstgen::Item item = original;
        for (pstgen::Attachment& a : item.attachments) {
          if (a.use_pattern) a.pattern_size = std::min<std::uint64_t>(a.pattern_size, 40000);
        }
        if (first) {
          for (int i = 0; i < 8; ++i) {
            item.body += "A longer body, so that it needs more than one block.\r\n" + item.body;
          }
          first = false;
        }
        sink(item);
      });
    };
  }
  return spec;
}

// Writes SPEC as a PST file at PATH and returns its bytes.
std::string WriteGenerated(const pstgen::MailboxSpec& spec, const fs::path& path) {
  pstgen::WriteMailbox(spec, path);
  return testing::ReadFile(path);
}

TEST(DamagedStores, GeneratedMailboxDamagedEveryWayReadsOrFailsCleanly) {
  CaseFolder scratch;
  const Base every_kind = MakeBase("every-kind", WriteGenerated(EveryKind(false), scratch / "every-kind.pst"));
  const Base full = MakeBase("every-kind (full size)", WriteGenerated(EveryKind(true), scratch / "full.pst"));
  ExpectReadsCleanly(every_kind, scratch.path());
  ExpectReadsCleanly(full, scratch.path());

  std::vector<Case> cases;
  MakeCases(every_kind, kSeed, 4 * Scale(), cases);
  // Two-level data trees only exist for values over 8 MB, and the block
  // index grows a level above its leaves' parents only with the blocks of
  // such a value.
  CaseMaker big(full, kSeed + 1, cases);
  big.TreeBlockCycles(Scale(), 2);
  big.DataTreeSizes(1, 2);
  big.IndexCycles(Scale());
  // The generated mailboxes have every structure that the damage aims at.
  std::map<std::string, int> kinds;
  for (const Case& c : cases) ++kinds[c.kind];
  for (const char* kind : {"flipped bytes", "header changed", "zeroed pages", "truncated", "index page changed",
                           "block changed", "index cycle", "tree block cycle", "block past the end",
                           "data tree inflated", "heap map inflated", "folder loop"}) {
    EXPECT_GT(kinds[kind], 0) << kind;
  }
  for (const char* where : {"data tree (two levels)", "points at a page above it"}) {
    EXPECT_TRUE(std::any_of(cases.begin(), cases.end(), [&](const Case& c) {
      return c.label.find(where) != std::string::npos;
    })) << where;
  }
  RunCases(cases, scratch.path());
}

TEST(DamagedStores, RealStoresDamagedEveryWayReadOrFailCleanly) {
  NORVEXA_REQUIRE_SHARED_PST(sample, "sample1.pst");
  CaseFolder scratch;
  // The cases keep pointers to their bases: the list is complete before
  // the first case is made.
  std::vector<Base> bases;
  for (const auto& entry : fs::directory_iterator(sample.parent_path())) {
    if (entry.path().extension() != ".pst") continue;
    bases.push_back(MakeBase(entry.path().filename().string(), testing::ReadFile(entry.path())));
  }
  std::sort(bases.begin(), bases.end(), [](const Base& a, const Base& b) { return a.name < b.name; });
  std::vector<Case> cases;
  for (std::size_t i = 0; i < bases.size(); ++i) {
    ExpectReadsCleanly(bases[i], scratch.path());
    MakeCases(bases[i], kSeed + 100 + i, Scale(), cases);
  }
  EXPECT_GE(bases.size(), 11u);
  RunCases(cases, scratch.path());
}

}  // namespace
}  // namespace norvexa::outlook
