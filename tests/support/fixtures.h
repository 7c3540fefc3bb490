// Test helpers shared by every test executable: the real PST fixtures kept
// outside the repository, and private scratch folders that clean up.
#pragma once

#include <filesystem>
#include <string>

namespace norvexa::testing {

// Path of ../shared/fixtures/pst/NAME, or the empty path when the shared
// fixtures are not present. Callers use NORVEXA_REQUIRE_SHARED_PST to skip.
std::filesystem::path SharedPst(const std::string& name);

// A fresh folder under the system temporary folder, removed with everything
// in it when the object goes out of scope.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Writes BYTES to PATH (creating parent folders); returns PATH.
std::filesystem::path WriteFile(const std::filesystem::path& path, const std::string& bytes);

// Reads the whole file at PATH; throws std::runtime_error when it cannot.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace norvexa::testing

// Declares `var` as the path of shared fixture NAME, or skips the test with a
// clear message when ../shared is absent.
#define NORVEXA_REQUIRE_SHARED_PST(var, name)                                         \
  const std::filesystem::path var = ::norvexa::testing::SharedPst(name);              \
  if (var.empty())                                                                     \
  GTEST_SKIP() << "shared PST fixture " << (name)                                      \
               << " not present (../shared/fixtures/pst is absent); case skipped"
