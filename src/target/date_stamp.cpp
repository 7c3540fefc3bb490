// The date stamp of new database names; see date_stamp.h.
#include "target/date_stamp.h"

namespace norvexa::target {

std::string DateStamp(const QDateTime& when) {
  // A format string gives the same digits in every locale.
  return when.toString(QStringLiteral("dd-MM-yyyy-H-m-s")).toStdString();
}

}  // namespace norvexa::target
