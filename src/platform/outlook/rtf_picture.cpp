// Pictures of RTF (see rtf_picture.h).
#include "platform/outlook/rtf_picture.h"

#include <cstdint>

namespace norvexa::outlook::rtf {
namespace {

constexpr int kMaxDisplaySize = 20000;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::uint32_t Get16(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8);
}

std::uint32_t Get32(const std::string& b, std::size_t at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }

void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// DIB (a BITMAPINFO and the bits) as a .bmp file, or "" when its header
// does not fit.
std::string BmpFromDib(const std::string& dib) {
  if (dib.size() < 12) return "";
  const std::uint32_t header = Get32(dib, 0);
  if (header < 12 || header > dib.size()) return "";
  std::uint64_t palette = 0;
  if (header == 12) {  // BITMAPCOREHEADER: 3-byte palette entries
    const std::uint32_t bits = Get16(dib, 10);
    if (bits <= 8) palette = 3ull << bits;
  } else {
    if (header < 16) return "";
    const std::uint32_t bits = Get16(dib, 14);
    const std::uint32_t compression = header >= 20 ? Get32(dib, 16) : 0;
    const std::uint32_t used = header >= 36 ? Get32(dib, 32) : 0;
    if (used != 0) {
      palette = 4ull * used;
    } else if (bits <= 8) {
      palette = 4ull << bits;
    }
    if (compression == 3 && header == 40) palette += 12;  // BI_BITFIELDS masks
  }
  const std::uint64_t offset = 14 + header + palette;
  if (offset > 14 + dib.size()) return "";
  std::string bmp = "BM";
  Put32(bmp, static_cast<std::uint32_t>(14 + dib.size()));
  Put32(bmp, 0);
  Put32(bmp, static_cast<std::uint32_t>(offset));
  bmp += dib;
  return bmp;
}

}  // namespace

void PictureReader::Control(std::string_view word, bool has_param, int param) {
  if (word == "pngblip") kind_ = Kind::kPng;
  else if (word == "jpegblip") kind_ = Kind::kJpeg;
  else if (word == "emfblip") kind_ = Kind::kEmf;
  else if (word == "wmetafile") kind_ = Kind::kWmf;
  else if (word == "dibitmap") kind_ = Kind::kDib;
  else if (word == "macpict") kind_ = Kind::kMacPict;
  else if (word == "wbitmap") kind_ = Kind::kDeviceBitmap;
  if (!has_param) return;
  if (word == "picw") picw_ = param;
  else if (word == "pich") pich_ = param;
  else if (word == "picwgoal") goalw_ = param;
  else if (word == "pichgoal") goalh_ = param;
  else if (word == "picscalex") scalex_ = param;
  else if (word == "picscaley") scaley_ = param;
}

void PictureReader::Hex(std::string_view text) {
  for (char c : text) {
    const int v = HexValue(c);
    if (v < 0) continue;
    if (pending_nibble_ < 0) {
      pending_nibble_ = v;
    } else {
      bytes_.push_back(static_cast<char>(pending_nibble_ * 16 + v));
      pending_nibble_ = -1;
    }
  }
}

void PictureReader::Binary(std::string_view data) { bytes_.append(data); }

std::optional<Picture> PictureReader::Take(int number) {
  if (bytes_.empty()) return std::nullopt;
  Picture picture;
  std::string extension;
  switch (kind_) {
    case Kind::kPng: picture.mime_type = "image/png"; extension = "png"; break;
    case Kind::kJpeg: picture.mime_type = "image/jpeg"; extension = "jpg"; break;
    case Kind::kEmf: picture.mime_type = "image/x-emf"; extension = "emf"; break;
    case Kind::kWmf: picture.mime_type = "image/x-wmf"; extension = "wmf"; break;
    case Kind::kMacPict: picture.mime_type = "image/x-pict"; extension = "pct"; break;
    case Kind::kDib:
      picture.mime_type = "image/bmp";
      extension = "bmp";
      bytes_ = BmpFromDib(bytes_);
      if (bytes_.empty()) return std::nullopt;
      break;
    case Kind::kUnknown:
    case Kind::kDeviceBitmap:
      return std::nullopt;
  }
  picture.content_id = "rtf-picture-" + std::to_string(number) + "." + extension + "@norvexa";
  picture.bytes = std::move(bytes_);
  bytes_.clear();
  return picture;
}

int PictureReader::DisplaySize(int own, int goal, int scale) const {
  double pixels = 0;
  if (goal > 0) {
    pixels = goal / 15.0;  // twips
  } else if (own > 0) {
    // Metafiles give their size in hundredths of a millimetre, bitmaps in pixels.
    pixels = (kind_ == Kind::kEmf || kind_ == Kind::kWmf) ? own * 96.0 / 2540.0 : own;
  }
  if (scale > 0 && scale != 100) pixels = pixels * scale / 100.0;
  if (pixels < 1 || pixels > kMaxDisplaySize) return 0;
  return static_cast<int>(pixels + 0.5);
}

int PictureReader::DisplayWidth() const { return DisplaySize(picw_, goalw_, scalex_); }
int PictureReader::DisplayHeight() const { return DisplaySize(pich_, goalh_, scaley_); }

}  // namespace norvexa::outlook::rtf
