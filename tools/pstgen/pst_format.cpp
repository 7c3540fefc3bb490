// The PST CRC-32, the block encodings, block deflation, the three format
// descriptors with the header, page and block layouts, and text conversion.
#include "pst_format.h"

#include <QString>

#include <zlib.h>

#include <array>
#include <cstring>
#include <stdexcept>

namespace norvexa::pstgen {
namespace {

// The CRC table of the reflected polynomial 0xEDB88320, built once.
const std::array<std::uint32_t, 256>& CrcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

// The encoding permutation of NDB_CRYPT_PERMUTE (first third of mpbbCrypt).
constexpr std::uint8_t kPermute[256] = {
    65,  54,  19,  98,  168, 33,  110, 187, 244, 22,  204, 4,   127, 100, 232, 93,
    30,  242, 203, 42,  116, 197, 94,  53,  210, 149, 71,  158, 150, 45,  154, 136,
    76,  125, 132, 63,  219, 172, 49,  182, 72,  95,  246, 196, 216, 57,  139, 231,
    35,  59,  56,  142, 200, 193, 223, 37,  177, 32,  165, 70,  96,  78,  156, 251,
    170, 211, 86,  81,  69,  124, 85,  0,   7,   201, 43,  157, 133, 155, 9,   160,
    143, 173, 179, 15,  99,  171, 137, 75,  215, 167, 21,  90,  113, 102, 66,  191,
    38,  74,  107, 152, 250, 234, 119, 83,  178, 112, 5,   44,  253, 89,  58,  134,
    126, 206, 6,   235, 130, 120, 87,  199, 141, 67,  175, 180, 28,  212, 91,  205,
    226, 233, 39,  79,  195, 8,   114, 128, 207, 176, 239, 245, 40,  109, 190, 48,
    77,  52,  146, 213, 14,  60,  34,  50,  229, 228, 249, 159, 194, 209, 10,  129,
    18,  225, 238, 145, 131, 118, 227, 151, 230, 97,  138, 23,  121, 164, 183, 220,
    144, 122, 92,  140, 2,   166, 202, 105, 222, 80,  26,  17,  147, 185, 82,  135,
    88,  252, 237, 29,  55,  73,  27,  106, 224, 41,  51,  153, 189, 108, 217, 148,
    243, 64,  84,  111, 240, 198, 115, 184, 214, 62,  101, 24,  68,  31,  221, 103,
    16,  241, 12,  25,  236, 174, 3,   161, 20,  123, 169, 11,  255, 248, 163, 192,
    162, 1,   247, 46,  188, 36,  104, 117, 13,  254, 186, 47,  181, 208, 218, 61,
};

// The middle third of mpbbCrypt, used by NDB_CRYPT_CYCLIC only. It is its
// own inverse, which makes the cyclic encoding its own inverse too.
constexpr std::uint8_t kCyclicMiddle[256] = {
    20,  83,  15,  86,  179, 200, 122, 156, 235, 101, 72,  23,  22,  21,  159, 2,
    204, 84,  124, 131, 0,   13,  12,  11,  162, 98,  168, 118, 219, 217, 237, 199,
    197, 164, 220, 172, 133, 116, 214, 208, 167, 155, 174, 154, 150, 113, 102, 195,
    99,  153, 184, 221, 115, 146, 142, 132, 125, 165, 94,  209, 93,  147, 177, 87,
    81,  80,  128, 137, 82,  148, 79,  78,  10,  107, 188, 141, 127, 110, 71,  70,
    65,  64,  68,  1,   17,  203, 3,   63,  247, 244, 225, 169, 143, 60,  58,  249,
    251, 240, 25,  48,  130, 9,   46,  201, 157, 160, 134, 73,  238, 111, 77,  109,
    196, 45,  129, 52,  37,  135, 27,  136, 170, 252, 6,   161, 18,  56,  253, 76,
    66,  114, 100, 19,  55,  36,  106, 117, 119, 67,  255, 230, 180, 75,  54,  92,
    228, 216, 53,  61,  69,  185, 44,  236, 183, 49,  43,  41,  7,   104, 163, 14,
    105, 123, 24,  158, 33,  57,  190, 40,  26,  91,  120, 245, 35,  202, 42,  176,
    175, 62,  254, 4,   140, 231, 229, 152, 50,  149, 211, 246, 74,  232, 166, 234,
    233, 243, 213, 47,  112, 32,  242, 31,  5,   103, 173, 85,  16,  206, 205, 227,
    39,  59,  218, 186, 215, 194, 38,  212, 145, 29,  210, 28,  34,  51,  248, 250,
    241, 90,  239, 207, 144, 182, 139, 181, 189, 192, 191, 8,   151, 30,  108, 226,
    97,  224, 198, 193, 89,  171, 187, 88,  222, 95,  223, 96,  121, 126, 178, 138,
};

// The inverse of kPermute, built once.
const std::array<std::uint8_t, 256>& InversePermute() {
  static const std::array<std::uint8_t, 256> inv = [] {
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[kPermute[i]] = static_cast<std::uint8_t>(i);
    return t;
  }();
  return inv;
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  const auto& table = CrcTable();
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

void PermuteEncode(std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) data[i] = kPermute[data[i]];
}

void PermuteDecode(std::uint8_t* data, std::size_t size) {
  const auto& inv = InversePermute();
  for (std::size_t i = 0; i < size; ++i) data[i] = inv[data[i]];
}

void CyclicCode(std::uint8_t* data, std::size_t size, std::uint32_t key) {
  // The three rotors are the permutation, the middle table and the inverse
  // permutation, each shifted by a byte of a 16-bit counter that starts
  // from the folded key and steps once per byte.
  const auto& inverse = InversePermute();
  auto w = static_cast<std::uint16_t>((key ^ (key >> 16)) & 0xFFFF);
  for (std::size_t i = 0; i < size; ++i) {
    const auto low = static_cast<std::uint8_t>(w);
    const auto high = static_cast<std::uint8_t>(w >> 8);
    std::uint8_t b = data[i];
    b = kPermute[static_cast<std::uint8_t>(b + low)];
    b = kCyclicMiddle[static_cast<std::uint8_t>(b + high)];
    b = inverse[static_cast<std::uint8_t>(b - high)];
    data[i] = static_cast<std::uint8_t>(b - low);
    ++w;
  }
}

void EncodeBlock(Encoding encoding, std::uint64_t bid, std::uint8_t* data, std::size_t size) {
  switch (encoding) {
    case Encoding::None: return;
    case Encoding::Permute: PermuteEncode(data, size); return;
    case Encoding::Cyclic: CyclicCode(data, size, static_cast<std::uint32_t>(bid)); return;
  }
}

void DecodeBlock(Encoding encoding, std::uint64_t bid, std::uint8_t* data, std::size_t size) {
  switch (encoding) {
    case Encoding::None: return;
    case Encoding::Permute: PermuteDecode(data, size); return;
    case Encoding::Cyclic: CyclicCode(data, size, static_cast<std::uint32_t>(bid)); return;
  }
}

std::optional<Bytes> Deflate(const std::uint8_t* data, std::size_t size) {
  uLongf out_size = compressBound(static_cast<uLong>(size));
  Bytes out(out_size);
  if (compress2(out.data(), &out_size, data, static_cast<uLong>(size), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw std::runtime_error("zlib cannot deflate a block");
  if (out_size >= size) return std::nullopt;
  out.resize(out_size);
  return out;
}

bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t inflated, Bytes& out) {
  out.assign(inflated, 0);
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&stream, Z_FINISH);
  const bool ok = rc == Z_STREAM_END && stream.total_out == inflated && stream.avail_in == 0;
  inflateEnd(&stream);
  return ok;
}

// ---- Format descriptors -----------------------------------------------------

namespace {

// The 4 KB-page format keeps the Unicode header, ids and entry layouts;
// pages are 4096 bytes with 24-byte trailers, B-tree pages count their
// entries in 2 bytes, blocks are aligned to 512 bytes with a 24-byte trailer
// and may be deflated, heap ids have a 14-bit index, and one AMap bit stands
// for 512 bytes (4072 bytes of bits, a region every 16,678,912 bytes from
// 0x22000) with no PMap, FMap or FPMap pages.
//
// Its largest block is 65,536 bytes with the trailer (65,512 of data): the
// public documentation's estimate (eight 8 KB blocks for eight 512-byte
// pages in a 4 KB one), the bound libpff and our reader check against, and
// within what the 16-bit cb and inflated-size fields of the trailer can
// count.
constexpr std::size_t kMaxBlock4k = 65536;

// The 64-bit Unicode format of 512-byte pages, from which the other two
// are described by what they change.
constexpr PstFormat UnicodeFormat() {
  PstFormat f{};
  f.kind = FileFormat::Unicode;
  f.name = "Unicode";
  f.version = 23;
  f.header_size = 564;
  f.id_size = 8;
  f.page_size = kPageSize;
  f.page_trailer_at = 496;
  f.btree_meta_at = 488;
  f.btree_count_size = 1;
  f.map_bits_at = 0;
  f.map_bits_size = kMapBitsSize;
  f.map_unit = 64;
  f.first_amap = kFirstAMap;
  f.density_list_at = 0x4200;
  f.side_maps = true;
  f.block_align = 64;
  f.block_trailer_size = 16;
  f.max_block_data = kMaxBlockSize - 16;
  f.subnode_header_size = 8;
  f.max_file_size = std::uint64_t{1} << 62;
  f.string_type = mapi::PT_UNICODE;
  f.row_index_size = 4;
  f.hid_index_bits = 11;
  f.deflates = false;
  return f;
}

// The 32-bit ANSI format: as Unicode with 4-byte ids and offsets (Outlook
// keeps these files under 2 GB), a shorter header, 12-byte trailers, 4
// bytes of padding before a map page's bits, unpadded subnode blocks,
// 8-bit strings and 2-byte row numbers.
constexpr PstFormat AnsiFormat() {
  PstFormat f = UnicodeFormat();
  f.kind = FileFormat::Ansi;
  f.name = "ANSI";
  f.version = 14;
  f.header_size = 512;
  f.id_size = 4;
  f.page_trailer_at = 500;
  f.btree_meta_at = 496;
  f.map_bits_at = 4;
  f.block_trailer_size = 12;
  f.max_block_data = kMaxBlockSize - 12;
  f.subnode_header_size = 4;
  f.max_file_size = std::uint64_t{1} << 31;
  f.string_type = mapi::PT_STRING8;
  f.row_index_size = 2;
  return f;
}

// The 4 KB-page format: as Unicode with the page, map, block and heap-id
// sizes said above.
constexpr PstFormat Unicode4kFormat() {
  PstFormat f = UnicodeFormat();
  f.kind = FileFormat::Unicode4k;
  f.name = "Unicode 4K";
  f.version = 36;
  f.page_size = 4096;
  f.page_trailer_at = 4072;
  f.btree_meta_at = 4056;
  f.btree_count_size = 2;
  f.map_bits_size = 4072;
  f.map_unit = 512;
  f.first_amap = 0x22000;
  f.density_list_at = 0x21000;
  f.side_maps = false;
  f.block_align = 512;
  f.block_trailer_size = 24;
  f.max_block_data = kMaxBlock4k - 24;
  f.hid_index_bits = 14;
  f.deflates = true;
  return f;
}

constexpr PstFormat kUnicode = UnicodeFormat();
constexpr PstFormat kAnsi = AnsiFormat();
constexpr PstFormat kUnicode4k = Unicode4kFormat();

// Where the header fields lie. ROOT fields follow its 4-byte dwReserved as
// ids: ibFileEof, ibAMapLast, cbAMapFree, cbPMapFree, BREFNBT (bid, ib),
// BREFBBT (bid, ib), then fAMapValid.
struct HeaderLayout {
  std::size_t bid_next_b, bid_next_p, unique, rgnid, root, rgb_fm, rgb_fp, sentinel, crypt, crc_full;
};
// The header layout of format F.
const HeaderLayout& LayoutOf(const PstFormat& f) {
  static const HeaderLayout unicode{516, 32, 40, 44, 180, 256, 384, 512, 513, 524};
  static const HeaderLayout ansi{24, 28, 32, 36, 164, 204, 332, 460, 461, 0};
  return f.kind == FileFormat::Ansi ? ansi : unicode;
}

// Stores CRC and BID at T, the part after wSig that page and block
// trailers share: dwCRC then the 8-byte bid, or (ANSI) the 4-byte bid then
// dwCRC.
void PutCrcAndBid(const PstFormat& f, std::uint8_t* t, std::uint32_t crc, std::uint64_t bid) {
  if (f.kind != FileFormat::Ansi) {
    Put32(t, crc);
    Put64(t + 4, bid);
  } else {
    Put32(t, static_cast<std::uint32_t>(bid));
    Put32(t + 4, crc);
  }
}

// Loads what PutCrcAndBid stores at T into CRC and BID.
void GetCrcAndBid(const PstFormat& f, const std::uint8_t* t, std::uint32_t& crc, std::uint64_t& bid) {
  if (f.kind != FileFormat::Ansi) {
    crc = Get32(t);
    bid = Get64(t + 4);
  } else {
    bid = Get32(t);
    crc = Get32(t + 4);
  }
}

// Bytes under dwCRCPartial and dwCRCFull, both from wMagicClient (offset 8).
constexpr std::size_t kCrcPartialSize = 471;
constexpr std::size_t kCrcFullSize = 516;

}  // namespace

const PstFormat& FormatOf(FileFormat format) {
  switch (format) {
    case FileFormat::Ansi: return kAnsi;
    case FileFormat::Unicode4k: return kUnicode4k;
    case FileFormat::Unicode: break;
  }
  return kUnicode;
}

const PstFormat* FormatOfVersion(std::uint16_t version) {
  if (version == 14 || version == 15) return &kAnsi;
  if (version == 21 || version == 23) return &kUnicode;
  if (version == 36) return &kUnicode4k;
  return nullptr;
}

void PstFormat::PutId(std::uint8_t* p, std::uint64_t v) const {
  if (id_size == 8)
    Put64(p, v);
  else
    Put32(p, static_cast<std::uint32_t>(v));
}

std::uint64_t PstFormat::GetId(const std::uint8_t* p) const { return id_size == 8 ? Get64(p) : Get32(p); }

void PstFormat::AppendId(std::vector<std::uint8_t>& b, std::uint64_t v) const {
  b.resize(b.size() + id_size);
  PutId(&b[b.size() - id_size], v);
}

// Page trailers: ptype, ptypeRepeat, wSig, then dwCRC and the 8-byte bid
// (Unicode; 4 KB pages add 8 bytes of unknown use, left zero) or the 4-byte
// bid and dwCRC (ANSI).
void PstFormat::WritePageTrailer(std::uint8_t* page, std::uint8_t ptype, std::uint16_t sig,
                                 std::uint64_t bid) const {
  std::uint8_t* t = page + page_trailer_at;
  t[0] = ptype;
  t[1] = ptype;
  Put16(t + 2, sig);
  PutCrcAndBid(*this, t + 4, PageCrc(page), bid);
}

PageTrailer PstFormat::ReadPageTrailer(const std::uint8_t* page) const {
  const std::uint8_t* t = page + page_trailer_at;
  PageTrailer out;
  out.ptype = t[0];
  out.ptype_repeat = t[1];
  out.sig = Get16(t + 2);
  GetCrcAndBid(*this, t + 4, out.crc, out.bid);
  return out;
}

std::uint32_t PstFormat::PageCrc(const std::uint8_t* page) const { return Crc32(page, page_trailer_at); }

// BBTENTRY: bid, ib, cb, then cRef and padding - except in 4 KB-page files,
// where cb is followed by the inflated size, then cRef and 2 bytes of
// padding (as libpst, XstReader and other readers of Outlook's OST files
// read it; libpff's documentation lists the 512-byte-page layout for these
// pages too, and libpff itself does not use cRef).
void PstFormat::WriteBbtEntry(std::uint8_t* e, const BbtEntry& entry) const {
  PutId(e, entry.bid);
  PutId(e + id_size, entry.ib);
  std::uint8_t* sizes = e + 2 * id_size;
  Put16(sizes, entry.cb);
  if (deflates) {
    Put16(sizes + 2, entry.inflated);
    Put16(sizes + 4, entry.refs);
  } else {
    Put16(sizes + 2, entry.refs);
  }
}

BbtEntry PstFormat::ReadBbtEntry(const std::uint8_t* e) const {
  BbtEntry entry;
  entry.bid = GetId(e);
  entry.ib = GetId(e + id_size);
  const std::uint8_t* sizes = e + 2 * id_size;
  entry.cb = Get16(sizes);
  entry.inflated = deflates ? Get16(sizes + 2) : entry.cb;
  entry.refs = Get16(sizes + (deflates ? 4 : 2));
  return entry;
}

// cEnt and cEntMax are one byte each in 512-byte pages, two in 4 KB pages;
// cbEnt and cLevel follow, one byte each.
void PstFormat::WriteBTreeMeta(std::uint8_t* page, const BTreeMeta& meta) const {
  std::uint8_t* m = page + btree_meta_at;
  if (btree_count_size == 2) {
    Put16(m, static_cast<std::uint16_t>(meta.count));
    Put16(m + 2, static_cast<std::uint16_t>(meta.max));
  } else {
    m[0] = static_cast<std::uint8_t>(meta.count);
    m[1] = static_cast<std::uint8_t>(meta.max);
  }
  m[2 * btree_count_size] = static_cast<std::uint8_t>(meta.entry_size);
  m[2 * btree_count_size + 1] = meta.level;
}

BTreeMeta PstFormat::ReadBTreeMeta(const std::uint8_t* page) const {
  const std::uint8_t* m = page + btree_meta_at;
  BTreeMeta meta;
  meta.count = btree_count_size == 2 ? Get16(m) : m[0];
  meta.max = btree_count_size == 2 ? Get16(m + 2) : m[1];
  meta.entry_size = m[2 * btree_count_size];
  meta.level = m[2 * btree_count_size + 1];
  return meta;
}

// Block trailers: cb, wSig, then dwCRC and the 8-byte bid (Unicode) or the
// 4-byte bid and dwCRC (ANSI). The 4 KB-page format goes on with 2 bytes of
// unknown use (the documentation has seen 2 there), the inflated size, and
// 4 bytes of unknown use (seen empty).
void PstFormat::WriteBlockTrailer(std::uint8_t* t, std::uint16_t cb, std::uint16_t sig, std::uint32_t crc,
                                  std::uint64_t bid, std::uint16_t inflated) const {
  Put16(t, cb);
  Put16(t + 2, sig);
  PutCrcAndBid(*this, t + 4, crc, bid);
  if (kind == FileFormat::Unicode4k) {
    Put16(t + 16, 2);
    Put16(t + 18, inflated);
    Put32(t + 20, 0);
  }
}

BlockTrailer PstFormat::ReadBlockTrailer(const std::uint8_t* t) const {
  BlockTrailer out;
  out.cb = Get16(t);
  out.sig = Get16(t + 2);
  GetCrcAndBid(*this, t + 4, out.crc, out.bid);
  out.inflated = kind == FileFormat::Unicode4k ? Get16(t + 18) : out.cb;
  return out;
}

std::uint32_t PstFormat::HeaderCrcPartial(const std::uint8_t* h) const { return Crc32(h + 8, kCrcPartialSize); }

std::uint32_t PstFormat::HeaderCrcFull(const std::uint8_t* h) const {
  return has_crc_full() ? Crc32(h + 8, kCrcFullSize) : 0;
}

void PstFormat::WriteHeader(const HeaderFields& f, std::uint8_t* h) const {
  const HeaderLayout& l = LayoutOf(*this);
  std::memcpy(h, "!BDN", 4);
  h[8] = 'S';
  h[9] = 'M';
  Put16(h + 10, f.version);
  Put16(h + 12, f.client_version);
  h[14] = 0x01;  // bPlatformCreate
  h[15] = 0x01;  // bPlatformAccess
  PutId(h + l.bid_next_b, f.bid_next_b);
  PutId(h + l.bid_next_p, f.bid_next_p);
  Put32(h + l.unique, f.unique);
  for (std::size_t i = 0; i < 32; ++i) Put32(h + l.rgnid + 4 * i, f.rgnid[i]);
  std::uint8_t* root = h + l.root + 4;
  for (std::uint64_t v : {f.file_eof, f.amap_last, f.amap_free, f.pmap_free, f.nbt_bid, f.nbt_ib, f.bbt_bid,
                          f.bbt_ib}) {
    PutId(root, v);
    root += id_size;
  }
  root[0] = f.amap_valid;
  std::memcpy(h + l.rgb_fm, f.rgb_fm.data(), f.rgb_fm.size());
  std::memcpy(h + l.rgb_fp, f.rgb_fp.data(), f.rgb_fp.size());
  h[l.sentinel] = f.sentinel;
  h[l.crypt] = f.crypt;
  Put32(h + 4, HeaderCrcPartial(h));
  if (has_crc_full()) Put32(h + l.crc_full, HeaderCrcFull(h));
}

HeaderFields PstFormat::ReadHeader(const std::uint8_t* h) const {
  const HeaderLayout& l = LayoutOf(*this);
  HeaderFields f;
  f.version = Get16(h + 10);
  f.client_version = Get16(h + 12);
  f.bid_next_b = GetId(h + l.bid_next_b);
  f.bid_next_p = GetId(h + l.bid_next_p);
  f.unique = Get32(h + l.unique);
  for (std::size_t i = 0; i < 32; ++i) f.rgnid[i] = Get32(h + l.rgnid + 4 * i);
  const std::uint8_t* root = h + l.root + 4;
  for (std::uint64_t* v : {&f.file_eof, &f.amap_last, &f.amap_free, &f.pmap_free, &f.nbt_bid, &f.nbt_ib,
                           &f.bbt_bid, &f.bbt_ib}) {
    *v = GetId(root);
    root += id_size;
  }
  f.amap_valid = root[0];
  std::memcpy(f.rgb_fm.data(), h + l.rgb_fm, f.rgb_fm.size());
  std::memcpy(f.rgb_fp.data(), h + l.rgb_fp, f.rgb_fp.size());
  f.sentinel = h[l.sentinel];
  f.crypt = h[l.crypt];
  f.crc_partial = Get32(h + 4);
  f.crc_full = has_crc_full() ? Get32(h + l.crc_full) : 0;
  return f;
}

Bytes Utf16(const std::string& text) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  Bytes out(static_cast<std::size_t>(s.size()) * 2);
  for (qsizetype i = 0; i < s.size(); ++i) Put16(&out[static_cast<std::size_t>(i) * 2], s[i].unicode());
  return out;
}

}  // namespace norvexa::pstgen
