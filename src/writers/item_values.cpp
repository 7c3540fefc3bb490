// Item values shared by the writers.
#include "writers/item_values.h"

#include "conversion/global/global.h"

#include <QTime>

namespace norvexa::writers {

std::string TrimSpaces(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitAll(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    if (at == std::string::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

namespace {

bool Present(const DateArg& when) { return when.has_value() && when->isValid(); }

}  // namespace

notes::ItemValue DateValue(const DateArg& when) {
  if (!Present(when)) return std::string();
  return *when;
}

notes::ItemValue DayValue(const DateArg& when) {
  if (!Present(when)) return std::string();
  QDateTime day = *when;
  day.setTime(QTime(0, 0, 0));
  return day;
}

notes::ItemValue TimeOfDayValue(const DateArg& when) {
  if (!Present(when)) return std::string();
  const QTime t = when->time();
  return QTime(t.hour(), t.minute(), t.second());
}

notes::TextList ExcludeFromViewList() {
  return notes::TextList(Global::ExcludeFromViewValues.begin(), Global::ExcludeFromViewValues.end());
}

void Put(Steps& steps, const std::unique_ptr<notes::Document>& doc, const std::string& name,
         const notes::ItemValue& value) {
  steps.Run("putting item " + name, [&] { Need(doc, "document").ReplaceItemValue(name, value); });
}

}  // namespace norvexa::writers
