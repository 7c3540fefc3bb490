// Damage done to a written PST file (see damage.h).
#include "damage.h"

#include <fstream>
#include <stdexcept>

namespace norvexa::pstgen {
namespace {

// TEXT as a whole number, decimal or 0x-hexadecimal; false when it is not.
bool Number(const std::string& text, std::uint64_t& out) {
  if (text.empty()) return false;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  std::size_t used = 0;
  try {
    out = std::stoull(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
  } catch (const std::exception&) {
    return false;
  }
  return used == text.size() - (hex ? 2 : 0);
}

}  // namespace

bool ParseFlipBit(const std::string& text, FileDamage& out) {
  const std::size_t colon = text.rfind(':');
  std::uint64_t offset = 0, bit = 0;
  if (colon == std::string::npos || !Number(text.substr(0, colon), offset) || !Number(text.substr(colon + 1), bit) ||
      bit > 7) {
    return false;
  }
  out = FileDamage{FileDamage::Kind::FlipBit, offset, static_cast<int>(bit)};
  return true;
}

bool ParseZeroPage(const std::string& text, FileDamage& out) {
  std::uint64_t offset = 0;
  if (!Number(text, offset)) return false;
  out = FileDamage{FileDamage::Kind::ZeroPage, offset, 0};
  return true;
}

void ApplyDamage(const std::filesystem::path& path, const std::vector<FileDamage>& damage) {
  if (damage.empty()) return;
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) throw std::runtime_error("cannot open " + path.string() + " to damage it");
  std::error_code ec;
  const std::uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) throw std::runtime_error("cannot read the size of " + path.string());
  // The format version at offset 10: 36 is the 4 KB-page form.
  char version[2] = {0, 0};
  if (size >= 12) {
    file.seekg(10);
    file.read(version, 2);
  }
  const std::uint64_t page =
      (static_cast<unsigned char>(version[0]) | (static_cast<unsigned char>(version[1]) << 8)) == 36 ? 4096 : 512;
  for (const FileDamage& d : damage) {
    const std::uint64_t length = d.kind == FileDamage::Kind::ZeroPage ? page : 1;
    if (d.offset > size || length > size - d.offset) {
      throw std::runtime_error("offset " + std::to_string(d.offset) + " lies outside " + path.string() + " (" +
                               std::to_string(size) + " bytes)");
    }
    file.seekp(static_cast<std::streamoff>(d.offset));
    if (d.kind == FileDamage::Kind::ZeroPage) {
      const std::string zeros(static_cast<std::size_t>(page), '\0');
      file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    } else {
      file.seekg(static_cast<std::streamoff>(d.offset));
      char byte = 0;
      file.read(&byte, 1);
      byte = static_cast<char>(byte ^ (1 << d.bit));
      file.seekp(static_cast<std::streamoff>(d.offset));
      file.write(&byte, 1);
    }
    if (!file) throw std::runtime_error("cannot write the damage into " + path.string());
  }
  file.flush();
  if (!file) throw std::runtime_error("cannot write the damage into " + path.string());
}

}  // namespace norvexa::pstgen
