// Reads mailbox descriptions (JSON) into the writer's model.
#include "description.h"

#include "codepage.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <map>

namespace norvexa::pstgen {
namespace {

// Calls SINK with each of ITEMS, an item REPEAT times over where its count
// says so, "%n" in its subject then the copy's number (1, 2, ...).
void SinkRepeated(const std::vector<std::pair<Item, std::int64_t>>& items,
                  const std::function<void(const Item&)>& sink) {
  for (const auto& [item, repeat] : items) {
    if (repeat == 1) {
      sink(item);
      continue;
    }
    Item copy = item;
    const auto marker = item.subject.find("%n");
    for (std::int64_t i = 1; i <= repeat; ++i) {
      if (marker != std::string::npos)
        copy.subject = item.subject.substr(0, marker) + std::to_string(i) + item.subject.substr(marker + 2);
      sink(copy);
    }
  }
}

// The value named NAME in TABLE into OUT; false when no entry has that
// name.
template <typename T, std::size_t N>
bool FindName(const std::string& name, const std::pair<const char*, T> (&table)[N], T& out) {
  for (const auto& [entry, value] : table) {
    if (name == entry) {
      out = value;
      return true;
    }
  }
  return false;
}

// Reads the parts of one description; every fault is thrown as a
// DescriptionError naming the description (SOURCE), the place in it
// (WHERE: the folder path, item number, key) and what is wrong.
class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  // Throws the DescriptionError of fault WHAT at WHERE.
  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    throw DescriptionError(source_ + ": " + where + ": " + what);
  }

  // The text O[KEY]; empty when absent or null, a fault when not text.
  std::string Text(const QJsonObject& o, const char* key, const std::string& where) const {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) return {};
    if (!v.isString()) Fail(where, std::string("\"") + key + "\" must be text");
    return v.toString().toStdString();
  }

  // The ISO 8601 date O[KEY] in Unix seconds (UTC when it has no offset);
  // nullopt when absent or empty, a fault when not a date.
  std::optional<std::int64_t> Date(const QJsonObject& o, const char* key, const std::string& where) const {
    const std::string s = Text(o, key, where);
    if (s.empty()) return std::nullopt;
    QDateTime t = QDateTime::fromString(QString::fromStdString(s), Qt::ISODate);
    if (!t.isValid()) Fail(where, std::string("\"") + key + "\" is not an ISO 8601 date: " + s);
    if (t.timeSpec() == Qt::LocalTime) t.setTimeZone(QTimeZone::utc());  // no offset given: UTC
    return t.toSecsSinceEpoch();
  }

  // The ADDRESS object V; its type, when not given, is EX for an Exchange
  // address ("/O=..."), else SMTP.
  Address Addr(const QJsonValue& v, const std::string& where) const {
    if (!v.isObject()) Fail(where, "an address must be an object with \"name\" and \"email\"");
    const QJsonObject o = v.toObject();
    Address a;
    a.name = Text(o, "name", where);
    a.email = Text(o, "email", where);
    a.type = Text(o, "type", where);
    if (a.type.empty()) a.type = a.email.rfind("/O=", 0) == 0 || a.email.rfind("/o=", 0) == 0 ? "EX" : "SMTP";
    return a;
  }

  // The list of texts O[KEY]; empty when absent.
  std::vector<std::string> Strings(const QJsonObject& o, const char* key, const std::string& where) const {
    std::vector<std::string> out;
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) return out;
    if (!v.isArray()) Fail(where, std::string("\"") + key + "\" must be a list of texts");
    for (const QJsonValue& e : v.toArray()) {
      if (!e.isString()) Fail(where, std::string("\"") + key + "\" must be a list of texts");
      out.push_back(e.toString().toStdString());
    }
    return out;
  }

  // The ATTACHMENT object O: a message, base64 bytes, pattern bytes of a
  // size, or text.
  Attachment ReadAttachment(const QJsonObject& o, const std::string& where) const {
    Attachment a;
    if (o.contains("name")) a.file_name = Text(o, "name", where);
    if (o.contains("short_name")) a.short_name = Text(o, "short_name", where);
    a.mime_type = Text(o, "mime", where);
    a.content_id = Text(o, "content_id", where);
    a.hidden = o.value("hidden").toBool();
    if (o.contains("message")) {
      if (!o.value("message").isObject()) Fail(where, "\"message\" must be an item");
      a.message = std::make_shared<Item>(ReadItem(o.value("message").toObject(), where + " > message"));
    } else if (o.contains("base64")) {
      const QByteArray bytes = QByteArray::fromBase64(Text(o, "base64", where).c_str());
      a.data.assign(bytes.begin(), bytes.end());
    } else if (o.contains("size")) {
      a.use_pattern = true;
      a.pattern_size = static_cast<std::uint64_t>(o.value("size").toDouble());
      a.pattern_seed = static_cast<std::uint64_t>(o.value("seed").toDouble(1));
    } else {
      const std::string text = Text(o, "text", where);
      a.data.assign(text.begin(), text.end());
    }
    return a;
  }

  // The ITEM object O. Its keys are read in a fixed order, so that of
  // several faults the same one is always named.
  Item ReadItem(const QJsonObject& o, const std::string& where) const {
    Item item;
    item.message_class = ReadMessageClass(o, where);
    ReadTexts(o, where, item);
    ReadFlagAndTask(o, where, item);
    ReadPeople(o, where, item);
    item.delivered = Date(o, "delivered", where);
    item.submitted = Date(o, "submitted", where);
    item.created = Date(o, "created", where);
    item.modified = Date(o, "modified", where);
    if (o.contains("importance")) item.importance = o.value("importance").toInt();
    item.categories = Strings(o, "categories", where);
    item.sent = o.value("sent").toBool();
    item.unread = o.value("unread").toBool();
    ReadSchedule(o, where, item);
    ReadContact(o, where, item);
    ReadAttachments(o, where, item);
    return item;
  }

  // The message class of item O: its "class", else the one of its "kind"
  // (mail when absent); a fault for an unknown kind.
  std::string ReadMessageClass(const QJsonObject& o, const std::string& where) const {
    const std::string kind = Text(o, "kind", where);
    static const std::map<std::string, std::string> classes = {
        {"", "IPM.Note"},           {"mail", "IPM.Note"},     {"appointment", "IPM.Appointment"},
        {"task", "IPM.Task"},       {"contact", "IPM.Contact"}, {"distlist", "IPM.DistList"},
        {"journal", "IPM.Activity"}, {"note", "IPM.StickyNote"}};
    const auto it = classes.find(kind);
    if (it == classes.end()) Fail(where, "unknown item kind \"" + kind + "\"");
    return o.contains("class") ? Text(o, "class", where) : it->second;
  }

  // The texts of item O into ITEM: subject, bodies, Internet headers and
  // ids, and its sensitivity.
  void ReadTexts(const QJsonObject& o, const std::string& where, Item& item) const {
    item.subject = Text(o, "subject", where);
    item.body = Text(o, "body", where);
    item.html = Text(o, "html", where);
    if (o.contains("html_codepage")) item.html_codepage = o.value("html_codepage").toInt();
    item.rtf = Text(o, "rtf", where);
    item.transport_headers = Text(o, "headers", where);
    item.message_id = Text(o, "message_id", where);
    item.in_reply_to = Text(o, "in_reply_to", where);
    item.references = Text(o, "references", where);
    if (o.contains("sensitivity")) item.sensitivity = o.value("sensitivity").toInt();
  }

  // The follow-up flag and the task state of item O into ITEM.
  void ReadFlagAndTask(const QJsonObject& o, const std::string& where, Item& item) const {
    if (o.contains("flag")) {
      if (!o.value("flag").isObject()) Fail(where, "\"flag\" must be an object");
      const QJsonObject f = o.value("flag").toObject();
      Item::Flag flag;
      if (f.contains("status")) flag.status = f.value("status").toInt();
      if (f.contains("request")) flag.request = Text(f, "request", where + " > flag");
      flag.due = Date(f, "due", where + " > flag");
      flag.completed = Date(f, "completed", where + " > flag");
      item.flag = flag;
    }
    if (o.contains("status")) item.task_status = o.value("status").toInt();
    if (o.contains("percent_complete")) item.percent_complete = o.value("percent_complete").toDouble();
    item.date_completed = Date(o, "completed", where);
    item.owner = Text(o, "owner", where);
  }

  // The sender and the To, Cc and Bcc recipients of item O into ITEM.
  void ReadPeople(const QJsonObject& o, const std::string& where, Item& item) const {
    if (o.contains("sender")) item.sender = Addr(o.value("sender"), where + " > sender");
    int kind_index = 1;
    for (const char* key : {"to", "cc", "bcc"}) {
      for (const QJsonValue& v : o.value(QLatin1String(key)).toArray()) {
        Recipient r;
        static_cast<Address&>(r) = Addr(v, where + " > " + key);
        r.kind = kind_index;
        item.recipients.push_back(r);
      }
      ++kind_index;
    }
  }

  // The times of item O into ITEM: start (a task's own start for tasks),
  // end, location, the calendar keys, due date and reminder.
  void ReadSchedule(const QJsonObject& o, const std::string& where, Item& item) const {
    if (item.message_class.rfind("IPM.Task", 0) == 0) {
      item.task_start = Date(o, "start", where);
    } else {
      item.start = Date(o, "start", where);
    }
    item.end = Date(o, "end", where);
    item.location = Text(o, "location", where);
    ReadCalendar(o, where, item);
    item.due = Date(o, "due", where);
    item.reminder = Date(o, "reminder", where);
  }

  // The contact fields, dates, name and list members of item O into ITEM;
  // a fault for an unknown contact field.
  void ReadContact(const QJsonObject& o, const std::string& where, Item& item) const {
    const QJsonObject contact = o.value("contact").toObject();
    for (auto c = contact.begin(); c != contact.end(); ++c) {
      const std::string field = c.key().toStdString();
      if (ContactFieldTag(field) == 0) Fail(where, "unknown contact field \"" + field + "\"");
      if (field == "Children") {
        item.children = Strings(contact, "Children", where);
      } else {
        item.contact[field] = Text(contact, field.c_str(), where);
      }
    }
    item.birthday = Date(o, "birthday", where);
    item.anniversary = Date(o, "anniversary", where);
    item.display_name = Text(o, "name", where);
    for (const QJsonValue& v : o.value("members").toArray()) item.members.push_back(Addr(v, where + " > members"));
  }

  // The attachments of item O, and the shape of their table, into ITEM.
  void ReadAttachments(const QJsonObject& o, const std::string& where, Item& item) const {
    if (o.contains("legacy_attachment_table")) {
      if (!o.value("legacy_attachment_table").isBool())
        Fail(where, "\"legacy_attachment_table\" must be true or false");
      item.legacy_attachment_table = o.value("legacy_attachment_table").toBool();
    }
    int n = 0;
    for (const QJsonValue& v : o.value("attachments").toArray()) {
      if (!v.isObject()) Fail(where, "an attachment must be an object");
      item.attachments.push_back(ReadAttachment(v.toObject(), where + " > attachment " + std::to_string(++n)));
    }
  }

  // A number O[KEY] that must be whole and within LOW..HIGH.
  int Whole(const QJsonObject& o, const char* key, int low, int high, const std::string& where) const {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble() || v.toDouble() != static_cast<double>(v.toInt()) || v.toInt() < low || v.toInt() > high)
      Fail(where, std::string("\"") + key + "\" must be a whole number from " + std::to_string(low) + " to " +
                      std::to_string(high));
    return v.toInt();
  }

  // A weekday named by V ("SU", "Mon", "tuesday"...): 0 Sunday .. 6 Saturday.
  int Weekday(const QJsonValue& v, const std::string& where) const {
    static const char* const names[] = {"su", "mo", "tu", "we", "th", "fr", "sa"};
    const std::string name = v.toString().left(2).toLower().toStdString();
    for (int d = 0; d < 7; ++d)
      if (v.isString() && name == names[d]) return d;
    Fail(where, "a weekday must be named (SU, MO, TU, WE, TH, FR, SA)");
  }

  // The wall-clock date and time TEXT writes, its offset set aside.
  LocalTime Local(const QString& text, const std::string& where) const {
    const QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid()) Fail(where, "not an ISO 8601 date and time: " + text.toStdString());
    return LocalTime{t.date(), t.time().hour() * 60 + t.time().minute()};
  }

  // The date V writes as yyyy-mm-dd.
  QDate Day(const QJsonValue& v, const std::string& where) const {
    const QDate d = QDate::fromString(v.toString(), Qt::ISODate);
    if (!v.isString() || !d.isValid()) Fail(where, "a date must be written yyyy-mm-dd");
    return d;
  }

  // The "recurrence" of an appointment; its series starts at the wall-clock
  // time of the item's "start" as written.
  RecurringSeries ReadRecurrence(const QJsonObject& item, const QJsonObject& o, const std::string& where) const {
    RecurringSeries r;
    r.pattern = Text(o, "pattern", where);
    if (item.value("start").isUndefined()) Fail(where, "a recurrence needs the item's \"start\"");
    r.start = Local(item.value("start").toString(), where);
    const std::optional<std::int64_t> start = Date(item, "start", where), end = Date(item, "end", where);
    r.duration_minutes = end ? static_cast<int>((*end - *start) / 60) : 0;
    if (r.duration_minutes < 0) Fail(where, "the appointment ends before it starts");
    if (o.contains("period")) r.period = Whole(o, "period", 1, 999, where);
    for (const QJsonValue& d : o.value("days").toArray()) r.days |= 1u << Weekday(d, where + " > days");
    if (o.contains("day")) r.day_of_month = Whole(o, "day", 1, 31, where);
    if (o.value("nth") == QJsonValue("last")) {
      r.nth = 5;
    } else if (o.contains("nth")) {
      r.nth = Whole(o, "nth", 1, 5, where);
    }
    if (o.contains("month")) r.month = Whole(o, "month", 1, 12, where);
    if (o.contains("first_day_of_week")) r.first_day_of_week = Weekday(o.value("first_day_of_week"), where);
    const QJsonValue end_value = o.value("end");
    if (end_value.isObject() && end_value.toObject().contains("date")) {
      r.end = "date";
      r.end_date = Day(end_value.toObject().value("date"), where + " > end");
    } else if (end_value.isObject() && end_value.toObject().contains("count")) {
      r.end = "count";
      r.count = Whole(end_value.toObject(), "count", 1, 999, where + " > end");
    } else if (!end_value.isUndefined() && end_value != QJsonValue("never")) {
      Fail(where, "\"end\" must be \"never\", {\"date\": ...} or {\"count\": ...}");
    }
    for (const QJsonValue& d : o.value("deleted").toArray()) r.deleted.push_back(Day(d, where + " > deleted"));
    for (const QJsonValue& v : o.value("modified").toArray()) {
      const QJsonObject m = v.toObject();
      const std::string at = where + " > modified";
      ModifiedOccurrence change;
      change.original_date = Day(m.value("date"), at);
      change.start = Local(m.value("start").toString(), at);
      change.end = Local(m.value("end").toString(), at);
      if (m.contains("subject")) change.subject = Text(m, "subject", at);
      if (m.contains("location")) change.location = Text(m, "location", at);
      r.modified.push_back(change);
    }
    if (o.contains("writer_version")) r.writer_version2 = static_cast<std::uint32_t>(Whole(o, "writer_version", 0x3006, 0x3009, where));
    try {
      SeriesDates(r, 1);  // a pattern that cannot be written fails here, before anything is
    } catch (const std::exception& e) {
      Fail(where, e.what());
    }
    return r;
  }

  // A change of time {"month", "weekday", "week" (1..4 or "last"), "hour", "minute"}.
  ZoneChange ReadTransition(const QJsonValue& v, const std::string& where) const {
    ZoneChange t;
    if (v.isUndefined()) return t;
    const QJsonObject o = v.toObject();
    t.month = Whole(o, "month", 1, 12, where);
    t.day_of_week = o.contains("weekday") ? Weekday(o.value("weekday"), where) : 0;
    t.week = o.value("week") == QJsonValue("last") ? 5 : Whole(o, "week", 1, 5, where);
    t.hour = o.contains("hour") ? Whole(o, "hour", 0, 23, where) : 0;
    t.minute = o.contains("minute") ? Whole(o, "minute", 0, 59, where) : 0;
    return t;
  }

  // The "time_zone" of an appointment: a preset's name, or one rule.
  ZoneRules ReadTimeZone(const QJsonValue& v, const std::string& where) const {
    if (v.isString()) {
      const std::optional<ZoneRules> preset = TimeZonePreset(v.toString().toStdString());
      if (!preset) Fail(where, "unknown time zone \"" + v.toString().toStdString() + "\"");
      return *preset;
    }
    if (!v.isObject()) Fail(where, "\"time_zone\" must be a preset's name or an object");
    const QJsonObject o = v.toObject();
    ZoneRules zone;
    zone.key_name = Text(o, "name", where);
    zone.description = Text(o, "description", where);
    ZoneRule rule;
    rule.bias = Whole(o, "bias", -14 * 60, 14 * 60, where);
    if (o.contains("standard_bias")) rule.standard_bias = Whole(o, "standard_bias", -120, 120, where);
    if (o.contains("daylight_bias")) rule.daylight_bias = Whole(o, "daylight_bias", -120, 120, where);
    rule.standard = ReadTransition(o.value("standard"), where + " > standard");
    rule.daylight = ReadTransition(o.value("daylight"), where + " > daylight");
    zone.rules.push_back(rule);
    return zone;
  }

  // The calendar keys of an item: "recurrence", "time_zone", "all_day",
  // "busy" and "reminder_minutes".
  void ReadCalendar(const QJsonObject& o, const std::string& where, Item& item) const {
    if (o.contains("recurrence")) {
      if (!o.value("recurrence").isObject()) Fail(where, "\"recurrence\" must be an object");
      item.recurrence = ReadRecurrence(o, o.value("recurrence").toObject(), where + " > recurrence");
    }
    if (o.contains("time_zone")) item.time_zone = ReadTimeZone(o.value("time_zone"), where + " > time_zone");
    if (o.contains("all_day")) {
      if (!o.value("all_day").isBool()) Fail(where, "\"all_day\" must be true or false");
      item.all_day = o.value("all_day").toBool();
    }
    if (o.contains("busy")) {
      static const std::map<QString, int> states = {
          {"free", 0}, {"tentative", 1}, {"busy", 2}, {"away", 3}, {"elsewhere", 4}};
      const auto it = states.find(o.value("busy").toString());
      if (it == states.end()) Fail(where, "\"busy\" must be free, tentative, busy, away or elsewhere");
      item.busy = it->second;
    }
    if (o.contains("reminder_minutes")) item.reminder_minutes = Whole(o, "reminder_minutes", 0, 60 * 24 * 365, where);
  }

  // The FOLDER object O below the folder path PARENT, with its items and
  // sub-folders.
  FolderSpec ReadFolder(const QJsonObject& o, const std::string& parent) const {
    FolderSpec f;
    f.name = Text(o, "name", parent);
    const std::string where = parent + "/" + f.name;
    if (o.contains("class")) f.container_class = Text(o, "class", where);
    if (o.contains("message_class")) f.message_class = Text(o, "message_class", where);
    f.role = Text(o, "role", where);
    if (!f.role.empty() && f.role != "sent" && f.role != "deleted") Fail(where, "unknown role \"" + f.role + "\"");
    // Items are parsed now (faults show before anything is written); a
    // "repeat" count makes copies only while writing.
    std::vector<std::pair<Item, std::int64_t>> items;
    int n = 0;
    for (const QJsonValue& v : o.value("items").toArray()) {
      if (!v.isObject()) Fail(where, "an item must be an object");
      const QJsonObject io = v.toObject();
      const std::int64_t repeat = io.contains("repeat") ? static_cast<std::int64_t>(io.value("repeat").toDouble()) : 1;
      if (repeat < 0) Fail(where, "\"repeat\" must not be negative");
      items.emplace_back(ReadItem(io, where + " > item " + std::to_string(++n)), repeat);
    }
    f.items = [items = std::move(items)](const std::function<void(const Item&)>& sink) { SinkRepeated(items, sink); };
    for (const QJsonValue& v : o.value("folders").toArray()) {
      if (!v.isObject()) Fail(where, "a folder must be an object");
      f.children.push_back(ReadFolder(v.toObject(), where));
    }
    return f;
  }

 private:
  std::string source_;
};

}  // namespace

bool ParseFileFormat(const std::string& name, FileFormat& out) {
  static const std::pair<const char*, FileFormat> kNames[] = {
      {"unicode", FileFormat::Unicode}, {"ansi", FileFormat::Ansi}, {"unicode4k", FileFormat::Unicode4k}};
  return FindName(name, kNames, out);
}

bool ParseEncoding(const std::string& name, Encoding& out) {
  static const std::pair<const char*, Encoding> kNames[] = {
      {"none", Encoding::None}, {"compressible", Encoding::Permute}, {"high", Encoding::Cyclic}};
  return FindName(name, kNames, out);
}

MailboxSpec ParseDescription(const QByteArray& json, const std::string& source) {
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
  if (doc.isNull()) throw DescriptionError(source + ": " + error.errorString().toStdString());
  if (!doc.isObject()) throw DescriptionError(source + ": the description must be a JSON object");
  const QJsonObject root = doc.object();
  Reader reader(source);
  MailboxSpec spec;
  if (root.contains("store")) spec.store_name = reader.Text(root, "store", "store");
  const std::string format = reader.Text(root, "format", "format");
  if (!format.empty() && !ParseFileFormat(format, spec.format))
    throw DescriptionError(source + ": unknown format \"" + format + "\" (unicode, ansi or unicode4k)");
  if (root.contains("compress")) {
    if (!root.value("compress").isBool()) throw DescriptionError(source + ": \"compress\" must be true or false");
    spec.compress = root.value("compress").toBool();
  }
  const std::string encoding = reader.Text(root, "encoding", "encoding");
  if (!encoding.empty() && !ParseEncoding(encoding, spec.encoding))
    throw DescriptionError(source + ": unknown encoding \"" + encoding + "\" (none, compressible or high)");
  if (root.contains("codepage")) {
    const QJsonValue cp = root.value("codepage");
    if (!cp.isDouble() || cp.toDouble() != cp.toInt())
      throw DescriptionError(source + ": \"codepage\" must be a whole number (a Windows code page)");
    spec.codepage = cp.toInt();
    if (!CodepageAvailable(spec.codepage))
      throw DescriptionError(source + ": code page " + std::to_string(spec.codepage) + " is not available");
  }
  for (const QJsonValue& v : root.value("folders").toArray()) {
    if (!v.isObject()) throw DescriptionError(source + ": a folder must be an object");
    spec.folders.push_back(reader.ReadFolder(v.toObject(), ""));
  }
  return spec;
}

MailboxSpec ReadDescription(const std::filesystem::path& path) {
  QFile file(QString::fromStdString(path.string()));
  if (!file.open(QIODevice::ReadOnly))
    throw DescriptionError(path.string() + ": " + file.errorString().toStdString());
  return ParseDescription(file.readAll(), path.string());
}

}  // namespace norvexa::pstgen
