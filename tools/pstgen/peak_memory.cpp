// Peak memory from /proc/self/status on Linux; elsewhere unknown.
#include "peak_memory.h"

#include <QFile>

namespace norvexa::pstgen {

std::optional<std::uint64_t> PeakMemoryKb() {
#ifdef __linux__
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
  // /proc files have no size, so read until the end rather than test atEnd().
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) {
      bool ok = false;
      const std::uint64_t kb = line.mid(6).trimmed().split(' ').value(0).toULongLong(&ok);
      if (ok) return kb;
    }
  }
#endif
  return std::nullopt;
}

}  // namespace norvexa::pstgen
