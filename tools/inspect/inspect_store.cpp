// norvexa-inspect store: prints a store's folder tree (and with --items every
// item's values as the item preparation reads them) as one JSON object,
// every folder it can read, with what was damaged wherever it was met.
#include "inspect.h"

#include "platform/outlook/libpff/pff_objects.h"
#include "platform/outlook/outlook.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <initializer_list>
#include <ostream>
#include <streambuf>
#include <variant>

namespace norvexa::inspect {
namespace {

using namespace norvexa::outlook;

// TEXT (UTF-8) as a QString.
QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A date as ISO 8601 with its offset, or null when absent.
QJsonValue DateValue(const std::optional<QDateTime>& date) {
  if (!date) return QJsonValue::Null;
  return date->toOffsetFromUtc(date->offsetFromUtc()).toString(Qt::ISODate);
}

// VALUE as a JSON number, or null when absent.
QJsonValue Integer(const std::optional<std::int64_t>& value) {
  return value ? QJsonValue(static_cast<qint64>(*value)) : QJsonValue(QJsonValue::Null);
}

// A stream buffer that hashes what is written to it.
class HashingWriter : public std::streambuf {
 public:
  QString Hex() const { return QString::fromLatin1(hash_.result().toHex()); }

 protected:
  int_type overflow(int_type ch) override {
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      const char c = traits_type::to_char_type(ch);
      hash_.addData(QByteArrayView(&c, 1));
    }
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    hash_.addData(QByteArrayView(data, static_cast<qsizetype>(size)));
    return size;
  }

 private:
  QCryptographicHash hash_{QCryptographicHash::Sha256};
};

// The SHA-256 of what saving ATTACHMENT writes, as hex.
QString ContentHash(const Attachment& attachment) {
  HashingWriter hash;
  std::ostream sink(&hash);
  static_cast<const items::MapiAttachment&>(attachment).WriteTo(sink);
  return hash.Hex();
}

// The item's attachments as name and size; a table that cannot be read
// gives an "attachments_error" instead.
void AddAttachments(const Item& item, QJsonObject& object) {
  try {
    const auto attachments = item.GetAttachments();
    QJsonArray list;
    for (std::int64_t k = 1; k <= attachments->Count(); ++k) {
      const auto attachment = attachments->GetAttachment(k);
      QJsonObject entry{{"name", Q(attachment->FileName())}};
      if (!attachment->ContentId().empty()) entry["content_id"] = Q(attachment->ContentId());
      if (!attachment->MimeType().empty()) entry["mime_type"] = Q(attachment->MimeType());
      if (attachment->IsHidden()) entry["hidden"] = true;
      try {
        entry["size"] = static_cast<qint64>(attachment->Size());
        entry["sha256"] = ContentHash(*attachment);
      } catch (const OutlookError& e) {
        entry["error"] = Q(e.what());
      }
      list.append(entry);
    }
    object["attachments"] = list;
  } catch (const OutlookError& e) {
    object["attachments_error"] = Q(e.what());
  }
}

// One value of an item as norvexa-inspect prints it: its key and the
// item's getter of its text, date or number.
struct ItemValue {
  using Text = std::string (Item::*)() const;
  using Date = std::optional<QDateTime> (Item::*)() const;
  using Number = std::optional<std::int64_t> (Item::*)() const;

  const char* key;
  std::variant<Text, Date, Number> get;

  // The value read from ITEM as JSON; throws what the getter throws.
  QJsonValue Read(const Item& item) const {
    if (const Text* text = std::get_if<Text>(&get)) return Q((item.**text)());
    if (const Date* date = std::get_if<Date>(&get)) return DateValue((item.**date)());
    return Integer((item.*std::get<Number>(get))());
  }
};

// An item's JSON object filled value by value: a value whose getter throws
// is named with its error in "value_errors" instead, and the item's other
// values are still printed, as the conversion still copies them.
class ItemJson {
 public:
  // Sets KEY to what GET returns (a QJsonValue), or notes its error.
  template <typename Get>
  void Set(const char* key, Get get) {
    try {
      o_[QLatin1String(key)] = get();
    } catch (const OutlookError& e) {
      errors_[QLatin1String(key)] = Q(e.what());
    }
  }
  // Sets each of VALUES as read from ITEM.
  void SetAll(const Item& item, std::initializer_list<ItemValue> values) {
    for (const ItemValue& value : values) Set(value.key, [&] { return value.Read(item); });
  }
  QJsonObject& object() { return o_; }
  // The object, with its "value_errors" when there were any.
  QJsonObject Take() {
    if (!errors_.isEmpty()) o_["value_errors"] = errors_;
    return o_;
  }

 private:
  QJsonObject o_;
  QJsonObject errors_;
};

// The values the mail preparation reads.
void AddMail(const Item& item, ItemJson& j) {
  MapiUtils utils;
  j.SetAll(item, {{"subject", &Item::Subject}, {"to", &Item::To}, {"cc", &Item::CC}, {"bcc", &Item::BCC},
                  {"sender_email", &Item::SenderEmailAddress}, {"body", &Item::Body}, {"date", &Item::MessageDate}});
  j.Set("sender_name", [&] { return QJsonValue(Q(utils.HrGetOneProp(item.MAPIOBJECT(), PR_SENDER_NAME).text)); });
  j.Set("sent", [&] { return QJsonValue(!utils.HrGetOneProp(item.MAPIOBJECT(), PR_SENTMAIL_ENTRYID).empty()); });
  AddAttachments(item, j.object());
}

// The values the appointment preparation reads.
void AddAppointment(const Item& item, ItemJson& j) {
  j.SetAll(item, {{"subject", &Item::Subject}, {"sender_email", &Item::SenderEmailAddress}, {"start", &Item::Start},
                  {"end", &Item::End}, {"body", &Item::Body}, {"creation_time", &Item::CreationTime},
                  {"location", &Item::Location}, {"categories", &Item::Categories}});
  AddAttachments(item, j.object());
}

// The values the task preparation reads.
void AddTask(const Item& item, ItemJson& j) {
  j.SetAll(item, {{"subject", &Item::Subject}, {"due_date", &Item::DueDate}, {"start_date", &Item::StartDate},
                  {"body", &Item::Body}, {"creation_time", &Item::CreationTime}, {"importance", &Item::Importance},
                  {"reminder_time", &Item::ReminderTime}});
  AddAttachments(item, j.object());
}

// The values the contact preparation reads: every contact field by name.
void AddContact(const Item& item, ItemJson& j) {
  static const std::pair<const char*, ContactField> kFields[] = {
      {"first_name", ContactField::FirstName}, {"middle_name", ContactField::MiddleName},
      {"last_name", ContactField::LastName}, {"suffix", ContactField::Suffix}, {"title", ContactField::Title},
      {"email1", ContactField::Email1}, {"email2", ContactField::Email2}, {"email3", ContactField::Email3},
      {"company", ContactField::CompanyName}, {"job_title", ContactField::JobTitle},
      {"business_street", ContactField::BusinessStreet}, {"business_city", ContactField::BusinessCity},
      {"business_postal_code", ContactField::BusinessPostalCode}, {"business_state", ContactField::BusinessState},
      {"business_country", ContactField::BusinessCountry}, {"office_location", ContactField::OfficeLocation},
      {"web_page", ContactField::WebPage}, {"department", ContactField::Department},
      {"manager", ContactField::ManagerName}, {"assistant", ContactField::AssistantName},
      {"business_phone", ContactField::BusinessPhone}, {"business_fax", ContactField::BusinessFax},
      {"mobile_phone", ContactField::MobilePhone}, {"pager", ContactField::Pager},
      {"home_street", ContactField::HomeStreet}, {"home_city", ContactField::HomeCity},
      {"home_postal_code", ContactField::HomePostalCode}, {"home_state", ContactField::HomeState},
      {"home_country", ContactField::HomeCountry}, {"spouse", ContactField::Spouse},
      {"children", ContactField::Children}, {"home_phone", ContactField::HomePhone},
      {"home_fax", ContactField::HomeFax},
  };
  j.SetAll(item, {{"subject", &Item::Subject}});
  for (const auto& [key, field] : kFields) j.Set(key, [&] { return QJsonValue(Q(item.Contact(field))); });
  j.SetAll(item, {{"birthday", &Item::Birthday}, {"anniversary", &Item::Anniversary}, {"body", &Item::Body},
                  {"categories", &Item::Categories}});
}

// The values the distribution-list preparation reads.
void AddDistList(const Item& item, ItemJson& j) {
  j.SetAll(item, {{"dl_name", &Item::DLName}, {"body", &Item::Body}});
  j.Set("members", [&] {
    QJsonArray members;
    for (const std::string& member : item.Members()) members.append(Q(member));
    return QJsonValue(members);
  });
}

// DAMAGE as a JSON list of {offset, what}, the offset a number of bytes
// from the start of the file (as norvexa-export's report gives it).
QJsonArray DamageList(const std::vector<Damage>& damage) {
  QJsonArray list;
  for (const Damage& d : damage) list.append(QJsonObject{{"offset", static_cast<qint64>(d.offset)}, {"what", Q(d.what)}});
  return list;
}

// Whether a value or an attachment of the item printed as ITEM could not
// be read.
bool HasReadingError(const QJsonObject& item) {
  if (item.contains("attachments_error") || item.contains("value_errors")) return true;
  for (const QJsonValue& a : item["attachments"].toArray()) {
    if (a.toObject().contains("error")) return true;
  }
  return false;
}

// Adds DAMAGE to OBJECT as "damage" when there is any, and says so in
// DAMAGED.
void AddDamage(const std::vector<Damage>& damage, QJsonObject& object, bool& damaged) {
  if (damage.empty()) return;
  object["damage"] = DamageList(damage);
  damaged = true;
}

// The SHA-256 of BYTES as hex, or null when there are none: large values
// (bodies in other forms, blobs, header blocks) are compared by hash.
QJsonValue Hash(const std::string& bytes) {
  if (bytes.empty()) return QJsonValue::Null;
  return QString::fromLatin1(
      QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                               QCryptographicHash::Sha256)
          .toHex());
}

// VALUE as JSON true or false, or null when absent.
QJsonValue Flag(const std::optional<bool>& value) { return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null); }

// The values every kind of item may carry beyond those its writer takes
// first: formatted bodies, Internet headers, flags, recipients and the
// appointment and task details.
QJsonObject ItemDetails(const Item& item) {
  QJsonObject o;
  o["html_sha256"] = Hash(item.HtmlBody());
  o["rtf_sha256"] = Hash(item.CompressedRtf());
  o["message_id"] = Q(item.InternetMessageId());
  o["in_reply_to"] = Q(item.InReplyTo());
  o["references"] = Q(item.InternetReferences());
  o["transport_headers_sha256"] = Hash(item.TransportHeaders());
  o["message_flags"] = Integer(item.MessageFlags());
  o["sensitivity"] = Integer(item.Sensitivity());
  o["received"] = DateValue(item.ReceivedTime());
  o["submitted"] = DateValue(item.SubmitTime());
  QJsonArray categories;
  for (const std::string& category : item.CategoryList()) categories.append(Q(category));
  o["category_list"] = categories;
  const FollowUpFlag flag = item.FollowUp();
  o["follow_up"] = QJsonObject{{"status", static_cast<qint64>(flag.status)},
                               {"request", Q(flag.request)},
                               {"due", DateValue(flag.due)},
                               {"completed", DateValue(flag.completed)}};
  try {
    QJsonArray recipients;
    for (const RecipientEntry& r : item.RecipientList()) {
      const char* kind = r.kind == RecipientEntry::Kind::Cc ? "cc" : r.kind == RecipientEntry::Kind::Bcc ? "bcc" : "to";
      recipients.append(QJsonObject{{"kind", kind}, {"name", Q(r.name)}, {"address", Q(r.address)}});
    }
    o["recipients"] = recipients;
  } catch (const OutlookError& e) {
    o["recipients_error"] = Q(e.what());
  }
  o["sender_smtp"] = Q(item.SenderSmtpAddress());
  o["sent_representing"] = QJsonObject{{"name", Q(item.SentRepresentingName())},
                                       {"address", Q(item.SentRepresentingAddress())}};
  o["recurrence_sha256"] = Hash(item.RecurrenceBlob());
  o["recurring"] = Flag(item.IsRecurring());
  o["time_zone_sha256"] = Hash(item.TimeZoneDefinition());
  o["time_zone_struct_sha256"] = Hash(item.TimeZoneStruct());
  o["time_zone_description"] = Q(item.TimeZoneDescription());
  o["all_day"] = Flag(item.AllDayEvent());
  o["busy_status"] = Integer(item.BusyStatus());
  o["appointment_state"] = Integer(item.AppointmentStateFlags());
  o["reminder_set"] = Flag(item.ReminderSet());
  o["reminder_minutes"] = Integer(item.ReminderMinutesBefore());
  o["task_status"] = Integer(item.TaskStatus());
  const std::optional<double> percent = item.PercentComplete();
  o["percent_complete"] = percent ? QJsonValue(*percent) : QJsonValue(QJsonValue::Null);
  o["date_completed"] = DateValue(item.TaskDateCompleted());
  o["task_complete"] = Flag(item.TaskComplete());
  o["task_owner"] = Q(item.TaskOwner());
  return o;
}

// One item of a folder whose items are of class KIND.
QJsonObject ItemObject(const Item& item, const std::string& kind) {
  ItemJson j;
  std::string message_class;
  j.Set("message_class", [&] {
    message_class = item.MessageClass();
    return QJsonValue(Q(message_class));
  });
  j.object()["source_key"] = Q(item.SourceKey());
  if (kind == "IPM.Note") AddMail(item, j);
  else if (kind == "IPM.Appointment") AddAppointment(item, j);
  else if (kind == "IPM.Task") AddTask(item, j);
  else if (kind == "IPM.Contact" && message_class == "IPM.DistList") AddDistList(item, j);
  else if (kind == "IPM.Contact") AddContact(item, j);
  else j.SetAll(item, {{"subject", &Item::Subject}});
  j.Set("details", [&] { return QJsonValue(ItemDetails(item)); });
  return j.Take();
}

// Appends FOLDER and, in pre-order, everything below it to FOLDERS; what
// cannot be read is named in its place and the rest still prints. DAMAGED
// is set when anything was damaged.
void AddFolder(const Folder& folder, bool with_items, QJsonArray& folders, bool& damaged) {
  QJsonObject o{{"path", Q(folder.FolderPath())},
                {"entry_id", Q(folder.EntryID())},
                {"class", Q(folder.DefaultMessageClass())}};
  try {
    const auto items = folder.GetItems();
    o["count"] = static_cast<qint64>(items->Count());
    if (with_items) {
      const std::string kind = folder.DefaultMessageClass();
      QJsonArray list;
      for (std::int64_t i = 1; i <= items->Count(); ++i) {
        try {
          const auto item = items->GetItem(i);
          QJsonObject entry = ItemObject(*item, kind);
          AddDamage(item->Damage(), entry, damaged);
          if (HasReadingError(entry)) damaged = true;
          list.append(entry);
        } catch (const OutlookError& e) {
          // One damaged item is reported in its place; the rest still prints.
          list.append(QJsonObject{{"error", Q(e.what())}});
          damaged = true;
        }
      }
      o["items"] = list;
    }
  } catch (const OutlookError& e) {
    o["error"] = Q(e.what());
    damaged = true;
  }
  std::vector<std::unique_ptr<Folder>> subfolders;
  try {
    subfolders = folder.Folders();
  } catch (const OutlookError& e) {
    o["folders_error"] = Q(e.what());
    damaged = true;
  }
  AddDamage(folder.Damage(), o, damaged);
  folders.append(o);
  for (const auto& sub : subfolders) AddFolder(*sub, with_items, folders, damaged);
}

}  // namespace

int InspectStore(const std::string& file, bool with_items, StoreReader reader, std::ostream& out, std::ostream& err) {
  try {
    const std::filesystem::path path(std::u8string(file.begin(), file.end()));
    const auto store = reader == StoreReader::Libpff ? libpff::OpenStore(path) : OpenStoreFile(path);
    QJsonArray folders;
    bool damaged = false;
    AddFolder(*store->IPMRootFolder(), with_items, folders, damaged);
    QJsonObject result{{"name", Q(store->DisplayName())}, {"id", Q(store->StoreID())}, {"folders", folders}};
    AddDamage(store->Damage(), result, damaged);
    out << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
    if (damaged) err << file << ": damaged: see the \"damage\" and \"error\" entries\n";
    return damaged ? 1 : 0;
  } catch (const OutlookError& e) {
    return FailWith(e.what(), err);
  }
}

int FailWith(std::string reason, std::ostream& err) {
  for (char& c : reason) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  err << reason << "\n";
  return 1;
}

}  // namespace norvexa::inspect
