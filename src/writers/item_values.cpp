// Item values shared by the writers.
#include "writers/item_values.h"

#include <QTime>

namespace norvexa::writers {

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

notes::TextList ExcludeFromViewList(const WriterContext& context) {
  return notes::TextList(context.exclude_from_view.begin(), context.exclude_from_view.end());
}

void Put(Steps& steps, const std::unique_ptr<notes::Document>& doc, const std::string& name,
         const notes::ItemValue& value) {
  steps.Run("putting item " + name, [&] { Need(doc, "document").ReplaceItemValue(name, value); });
}

}  // namespace norvexa::writers
