// Helpers for the main-window tests.
#include "shell/shell_test_support.h"

#include "support/fixtures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace norvexa::testing {

ProfileGuard::ProfileGuard(const std::filesystem::path& profile)
    : previous_(qgetenv("NORVEXA_MAPI_PROFILE")), had_previous_(qEnvironmentVariableIsSet("NORVEXA_MAPI_PROFILE")) {
  qputenv("NORVEXA_MAPI_PROFILE", QByteArray::fromStdString(profile.string()));
}

ProfileGuard::~ProfileGuard() {
  if (had_previous_)
    qputenv("NORVEXA_MAPI_PROFILE", previous_);
  else
    qunsetenv("NORVEXA_MAPI_PROFILE");
}

std::filesystem::path WriteProfile(const std::filesystem::path& path, const std::vector<std::filesystem::path>& files) {
  std::string text;
  for (const auto& f : files) text += f.string() + "\n";
  return WriteFile(path, text);
}

void OnNextModal(std::function<void(QWidget*)> action) {
  auto timer = std::make_shared<QElapsedTimer>();
  timer->start();
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [action, timer, poll]() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      action(modal);
      *poll = nullptr;  // break the cycle
      return;
    }
    if (timer->elapsed() < 5000) {
      QTimer::singleShot(10, *poll);
    } else {
      *poll = nullptr;
    }
  };
  QTimer::singleShot(0, *poll);
}

}  // namespace norvexa::testing
