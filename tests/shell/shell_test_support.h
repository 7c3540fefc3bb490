// Helpers for the main-window tests: a default profile pointed at a file of
// the test's choosing, and answering a modal window from inside its exec().
#pragma once

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace norvexa::testing {

// Points $NORVEXA_MAPI_PROFILE at PROFILE for the guard's lifetime.
class ProfileGuard {
 public:
  explicit ProfileGuard(const std::filesystem::path& profile);
  ~ProfileGuard();
  ProfileGuard(const ProfileGuard&) = delete;
  ProfileGuard& operator=(const ProfileGuard&) = delete;

 private:
  QByteArray previous_;
  bool had_previous_;
};

// Writes a profile listing FILES (one per line) to PATH; returns PATH.
std::filesystem::path WriteProfile(const std::filesystem::path& path, const std::vector<std::filesystem::path>& files);

// Runs ACTION on the first modal window that comes up once the event loop
// runs (polling for up to 5 s); ACTION must close it. Watching stops when
// the returned timer is destroyed, so keep it until the modal call returns.
[[nodiscard]] std::unique_ptr<QTimer> OnNextModal(std::function<void(QWidget*)> action);

}  // namespace norvexa::testing

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
