// Helpers for the main-window tests.
#include "shell/shell_test_support.h"

#include "support/fixtures.h"

#include <QApplication>
#include <QElapsedTimer>

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

std::unique_ptr<QTimer> OnNextModal(std::function<void(QWidget*)> action) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(10);
  QTimer* raw = timer.get();
  QElapsedTimer elapsed;
  elapsed.start();
  QObject::connect(raw, &QTimer::timeout, raw, [raw, action, elapsed]() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      raw->stop();
      action(modal);
    } else if (elapsed.elapsed() > 5000) {
      raw->stop();
    }
  });
  timer->start();
  return timer;
}

}  // namespace norvexa::testing
