// Encoding of item values for the items table.
#include "platform/notes/item_codec.h"

#include "platform/system/hex.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace norvexa::notes::internal {

namespace {

struct TypeNamer {
  std::string operator()(const std::string&) const { return "text"; }
  std::string operator()(double) const { return "number"; }
  std::string operator()(const QDateTime&) const { return "datetime"; }
  std::string operator()(const QTime&) const { return "time"; }
  std::string operator()(const TextList&) const { return "textlist"; }
  std::string operator()(const DateTimeList&) const { return "datetimelist"; }
  std::string operator()(const NumberList&) const { return "numberlist"; }
};

// The array JSON holds, or nullopt when it is not one.
std::optional<QJsonArray> JsonArray(const std::string& json) {
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  if (error.error != QJsonParseError::NoError || !doc.isArray()) return std::nullopt;
  return doc.array();
}

// Appends TEXT to OUT as a JSON string literal.
void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u" + sys::HexNumber(c, 4, sys::HexCase::Lower);
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

std::string FormatTime(const QTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour(), t.minute(), t.second());
  return text;
}

}  // namespace

std::string ItemTypeName(const ItemValue& value) { return std::visit(TypeNamer{}, value); }

bool IsStoredItemType(const std::string& type) {
  return type == "text" || type == "number" || type == "datetime" || type == "time" || type == "textlist" ||
         type == "richtext" || type == "datetimelist" || type == "numberlist";
}

std::string FormatDateTime(const QDateTime& value) {
  if (!value.isValid()) throw NotesError("a date-time item must hold a valid date-time");
  // One time-zone look-up, for the instant (a local-time value pays for it
  // with mktime, which also checks the system's zone file). The offset is
  // the wall-clock time the value holds, read as UTC, less the instant; the
  // value keeps its wall-clock time, so reading it needs no look-up.
  const qint64 msecs = value.toMSecsSinceEpoch();
  const qint64 wall = QDateTime(value.date(), value.time(), Qt::UTC).toMSecsSinceEpoch();
  const int offset = static_cast<int>((wall - msecs) / 1000);
  // The instant truncated to the second (toward zero, as toSecsSinceEpoch
  // does), shown at the offset.
  const QDateTime shifted = QDateTime::fromSecsSinceEpoch(msecs / 1000 + offset, Qt::UTC);
  const QDate d = shifted.date();
  const QTime t = shifted.time();
  if (d.year() < 1 || d.year() > 9999) throw NotesError("a date-time item must lie in the years 1 to 9999");
  const int magnitude = std::abs(offset);
  char text[48];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", d.year(), d.month(), d.day(),
                        t.hour(), t.minute(), t.second(), offset < 0 ? '-' : '+', magnitude / 3600,
                        (magnitude / 60) % 60);
  if (magnitude % 60 != 0) std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ":%02d", magnitude % 60);
  return text;
}

QDateTime ParseDateTime(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, oh = 0, om = 0, os = 0, used = 0;
  char sign = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &sign, &oh, &om,
                  &used) < 9)
    return {};
  if (static_cast<std::size_t>(used) < text.size() && std::sscanf(text.c_str() + used, ":%2d", &os) != 1) return {};
  if (sign != '+' && sign != '-') return {};
  const int offset = (sign == '-' ? -1 : 1) * (oh * 3600 + om * 60 + os);
  const QDate date(y, mo, d);
  const QTime time(h, mi, s);
  if (!date.isValid() || !time.isValid()) return {};
  return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}

std::string NowUtc() {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  const QDate d = now.date();
  const QTime t = now.time();
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", d.year(), d.month(), d.day(), t.hour(),
                t.minute(), t.second(), t.msec());
  return text;
}

std::string TextListToJson(const TextList& texts) {
  std::string json = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i) json += ',';
    AppendJsonString(json, texts[i]);
  }
  json += ']';
  return json;
}

TextList TextListFromJson(const std::string& json, bool* ok) {
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
  *ok = error.error == QJsonParseError::NoError && doc.isArray();
  TextList texts;
  if (!*ok) return texts;
  for (const QJsonValue& v : doc.array()) {
    if (!v.isString()) {
      *ok = false;
      return {};
    }
    texts.push_back(v.toString().toStdString());
  }
  return texts;
}

std::string DateTimeListToJson(const DateTimeList& values) {
  std::string json = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) json += ',';
    json += '"' + FormatDateTime(values[i]) + '"';
  }
  json += ']';
  return json;
}

DateTimeList DateTimeListFromJson(const std::string& json, bool* ok) {
  *ok = false;
  const std::optional<QJsonArray> array = JsonArray(json);
  if (!array) return {};
  DateTimeList values;
  for (const QJsonValue& v : *array) {
    if (!v.isString()) return {};
    QDateTime when = ParseDateTime(v.toString().toStdString());
    if (!when.isValid()) return {};
    values.push_back(std::move(when));
  }
  *ok = true;
  return values;
}

std::string NumberListToJson(const NumberList& numbers) {
  std::string json = "[";
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (!std::isfinite(numbers[i])) throw NotesError("a number list item must hold finite numbers");
    if (i) json += ',';
    if (numbers[i] == 0 && std::signbit(numbers[i])) {
      json += "-0.0";  // "-0" would read back as the integer 0
      continue;
    }
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, numbers[i]);
    if (error != std::errc()) throw NotesError("a number list item holds a number that cannot be written");
    json.append(text, end);
  }
  json += ']';
  return json;
}

// Read with from_chars rather than Qt's JSON parser, which keeps an
// integral double as an integer and so loses the sign of -0.0.
NumberList NumberListFromJson(const std::string& json, bool* ok) {
  *ok = false;
  const char* at = json.data();
  const char* const end = json.data() + json.size();
  const auto skip_blanks = [&] {
    while (at < end && (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r')) ++at;
  };
  skip_blanks();
  if (at == end || *at++ != '[') return {};
  NumberList numbers;
  skip_blanks();
  if (at < end && *at == ']') {
    ++at;
  } else {
    for (;;) {
      skip_blanks();
      double value = 0;
      const auto [next, error] = std::from_chars(at, end, value);
      if (error != std::errc() || !std::isfinite(value)) return {};
      numbers.push_back(value);
      at = next;
      skip_blanks();
      if (at < end && *at == ',') {
        ++at;
        continue;
      }
      if (at < end && *at == ']') {
        ++at;
        break;
      }
      return {};
    }
  }
  skip_blanks();
  if (at != end) return {};
  *ok = true;
  return numbers;
}

StoredValue EncodeItemValue(const ItemValue& value) {
  StoredValue stored;
  stored.type = ItemTypeName(value);
  if (const auto* text = std::get_if<std::string>(&value)) {
    stored.text = *text;
  } else if (const auto* number = std::get_if<double>(&value)) {
    if (!std::isfinite(*number)) throw NotesError("a number item must be finite");
    stored.is_real = true;
    stored.real = *number;
  } else if (const auto* when = std::get_if<QDateTime>(&value)) {
    stored.text = FormatDateTime(*when);
  } else if (const auto* time = std::get_if<QTime>(&value)) {
    if (!time->isValid()) throw NotesError("a time item must hold a valid time of day");
    stored.text = FormatTime(*time);
  } else if (const auto* texts = std::get_if<TextList>(&value)) {
    stored.text = TextListToJson(*texts);
  } else if (const auto* whens = std::get_if<DateTimeList>(&value)) {
    stored.text = DateTimeListToJson(*whens);
  } else {
    stored.text = NumberListToJson(std::get<NumberList>(value));
  }
  return stored;
}

ItemValue DecodeItemValue(const StoredValue& stored) {
  if (stored.type == "text" || stored.type == "richtext") return stored.text;
  if (stored.type == "number") return stored.real;
  if (stored.type == "datetime") {
    QDateTime when = ParseDateTime(stored.text);
    if (!when.isValid()) throw NotesError("stored date-time \"" + stored.text + "\" is malformed");
    return when;
  }
  if (stored.type == "time") {
    int h = 0, m = 0, s = 0;
    const QTime time = std::sscanf(stored.text.c_str(), "%2d:%2d:%2d", &h, &m, &s) == 3 ? QTime(h, m, s) : QTime();
    if (!time.isValid()) throw NotesError("stored time \"" + stored.text + "\" is malformed");
    return time;
  }
  if (stored.type == "textlist") {
    bool ok = false;
    TextList texts = TextListFromJson(stored.text, &ok);
    if (!ok) throw NotesError("stored text list is malformed");
    return texts;
  }
  if (stored.type == "datetimelist") {
    bool ok = false;
    DateTimeList values = DateTimeListFromJson(stored.text, &ok);
    if (!ok) throw NotesError("stored date-time list is malformed");
    return values;
  }
  if (stored.type == "numberlist") {
    bool ok = false;
    NumberList numbers = NumberListFromJson(stored.text, &ok);
    if (!ok) throw NotesError("stored number list is malformed");
    return numbers;
  }
  throw NotesError("stored item type \"" + stored.type + "\" is unknown");
}

}  // namespace norvexa::notes::internal
