// norvexa-inspect store: prints a store's folder tree (and with --items every
// item's values as the item preparation reads them) as one JSON object.
#include "inspect.h"

#include "platform/outlook/libpff/pff_objects.h"
#include "platform/outlook/outlook.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <ostream>
#include <streambuf>

namespace norvexa::inspect {
namespace {

using namespace norvexa::outlook;

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A date as ISO 8601 with its offset, or null when absent.
QJsonValue DateValue(const std::optional<QDateTime>& date) {
  if (!date) return QJsonValue::Null;
  return date->toOffsetFromUtc(date->offsetFromUtc()).toString(Qt::ISODate);
}

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
  static_cast<const pff::MapiAttachment&>(attachment).WriteTo(sink);
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

// The values the mail preparation reads.
void AddMail(const Item& item, QJsonObject& o) {
  MapiUtils utils;
  o["subject"] = Q(item.Subject());
  o["to"] = Q(item.To());
  o["cc"] = Q(item.CC());
  o["bcc"] = Q(item.BCC());
  o["sender_email"] = Q(item.SenderEmailAddress());
  o["sender_name"] = Q(utils.HrGetOneProp(item.MAPIOBJECT(), PR_SENDER_NAME).text);
  o["body"] = Q(item.Body());
  o["date"] = DateValue(item.MessageDate());
  o["sent"] = !utils.HrGetOneProp(item.MAPIOBJECT(), PR_SENTMAIL_ENTRYID).empty();
  AddAttachments(item, o);
}

void AddAppointment(const Item& item, QJsonObject& o) {
  o["subject"] = Q(item.Subject());
  o["sender_email"] = Q(item.SenderEmailAddress());
  o["start"] = DateValue(item.Start());
  o["end"] = DateValue(item.End());
  o["body"] = Q(item.Body());
  o["creation_time"] = DateValue(item.CreationTime());
  o["location"] = Q(item.Location());
  o["categories"] = Q(item.Categories());
  AddAttachments(item, o);
}

void AddTask(const Item& item, QJsonObject& o) {
  o["subject"] = Q(item.Subject());
  o["due_date"] = DateValue(item.DueDate());
  o["start_date"] = DateValue(item.StartDate());
  o["body"] = Q(item.Body());
  o["creation_time"] = DateValue(item.CreationTime());
  o["importance"] = Integer(item.Importance());
  o["reminder_time"] = DateValue(item.ReminderTime());
  AddAttachments(item, o);
}

void AddContact(const Item& item, QJsonObject& o) {
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
  o["subject"] = Q(item.Subject());
  for (const auto& [key, field] : kFields) o[key] = Q(item.Contact(field));
  o["birthday"] = DateValue(item.Birthday());
  o["anniversary"] = DateValue(item.Anniversary());
  o["body"] = Q(item.Body());
  o["categories"] = Q(item.Categories());
}

void AddDistList(const Item& item, QJsonObject& o) {
  o["dl_name"] = Q(item.DLName());
  QJsonArray members;
  for (const std::string& member : item.Members()) members.append(Q(member));
  o["members"] = members;
  o["body"] = Q(item.Body());
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
  QJsonObject o;
  const std::string message_class = item.MessageClass();
  o["message_class"] = Q(message_class);
  o["source_key"] = Q(item.SourceKey());
  if (kind == "IPM.Note") AddMail(item, o);
  else if (kind == "IPM.Appointment") AddAppointment(item, o);
  else if (kind == "IPM.Task") AddTask(item, o);
  else if (kind == "IPM.Contact" && message_class == "IPM.DistList") AddDistList(item, o);
  else if (kind == "IPM.Contact") AddContact(item, o);
  else o["subject"] = Q(item.Subject());
  o["details"] = ItemDetails(item);
  return o;
}

// Appends FOLDER and, in pre-order, everything below it to FOLDERS.
void AddFolder(const Folder& folder, bool with_items, QJsonArray& folders) {
  const auto items = folder.GetItems();
  QJsonObject o{{"path", Q(folder.FolderPath())},
                {"entry_id", Q(folder.EntryID())},
                {"class", Q(folder.DefaultMessageClass())},
                {"count", static_cast<qint64>(items->Count())}};
  if (with_items) {
    const std::string kind = folder.DefaultMessageClass();
    QJsonArray list;
    for (std::int64_t i = 1; i <= items->Count(); ++i) {
      try {
        list.append(ItemObject(*items->GetItem(i), kind));
      } catch (const OutlookError& e) {
        // One damaged item is reported in its place; the rest still prints.
        list.append(QJsonObject{{"error", Q(e.what())}});
      }
    }
    o["items"] = list;
  }
  folders.append(o);
  for (const auto& sub : folder.Folders()) AddFolder(*sub, with_items, folders);
}

}  // namespace

int InspectStore(const std::string& file, bool with_items, StoreReader reader, std::ostream& out, std::ostream& err) {
  try {
    const std::filesystem::path path(std::u8string(file.begin(), file.end()));
    const auto store = reader == StoreReader::Libpff ? libpff::OpenStore(path) : OpenStoreFile(path);
    QJsonArray folders;
    AddFolder(*store->IPMRootFolder(), with_items, folders);
    const QJsonObject result{{"name", Q(store->DisplayName())}, {"id", Q(store->StoreID())}, {"folders", folders}};
    out << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
    return 0;
  } catch (const OutlookError& e) {
    std::string reason = e.what();
    for (char& c : reason) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    err << reason << "\n";
    return 1;
  }
}

}  // namespace norvexa::inspect
