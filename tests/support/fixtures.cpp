// Shared test helpers: fixture lookup and scratch folders.
#include "support/fixtures.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace norvexa::testing {

std::filesystem::path SharedPst(const std::string& name) {
  const std::filesystem::path path = std::filesystem::path(NORVEXA_SHARED_FIXTURES) / "pst" / name;
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) ? path : std::filesystem::path();
}

ScratchDir::ScratchDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "norvexa-test-" << rd() << "-" << stamp << "-" << counter++;
    path_ = std::filesystem::temp_directory_path() / name.str();
    if (std::filesystem::create_directory(path_)) return;
  }
  throw std::runtime_error("cannot create a scratch folder");
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
  return path;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

}  // namespace norvexa::testing
