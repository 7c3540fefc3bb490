// The processes of this machine; see processes.h.
#include "platform/system/processes.h"

#include <QCoreApplication>
#include <QSysInfo>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#endif

#include <limits>

namespace norvexa::sys {

std::int64_t CurrentProcessId() { return static_cast<std::int64_t>(QCoreApplication::applicationPid()); }

std::string CurrentHostName() {
  const std::string name = QSysInfo::machineHostName().toStdString();
  return name.empty() ? std::string("localhost") : name;
}

bool ProcessExists(std::int64_t pid) {
  if (pid <= 0) return false;
#ifdef _WIN32
  if (pid > std::numeric_limits<DWORD>::max()) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
#else
  if (pid > std::numeric_limits<pid_t>::max()) return false;
  // Signal 0 checks that the process exists without sending anything; a
  // process of another user answers EPERM, which still means it is there.
  if (::kill(static_cast<pid_t>(pid), 0) == 0) return true;
  return errno == EPERM;
#endif
}

}  // namespace norvexa::sys
