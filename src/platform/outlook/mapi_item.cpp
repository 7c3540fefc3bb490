// Items and attachments read from a property bag (see mapi_item.h).
#include "platform/outlook/mapi_item.h"

#include "platform/outlook/eml_writer.h"
#include "platform/outlook/one_off_entry_id.h"

#include <fstream>

namespace norvexa::outlook::pff {
namespace {

// Ordinary property identifiers.
constexpr std::uint16_t PR_IMPORTANCE = 0x0017;
constexpr std::uint16_t PR_MESSAGE_CLASS = 0x001A;
constexpr std::uint16_t PR_SUBJECT = 0x0037;
constexpr std::uint16_t PR_CLIENT_SUBMIT_TIME = 0x0039;
constexpr std::uint16_t PR_START_DATE = 0x0060;
constexpr std::uint16_t PR_END_DATE = 0x0061;
constexpr std::uint16_t PR_SENDER_NAME_ID = 0x0C1A;
constexpr std::uint16_t PR_RECIPIENT_TYPE = 0x0C15;
constexpr std::uint16_t PR_SENDER_EMAIL_ADDRESS = 0x0C1F;
constexpr std::uint16_t PR_DISPLAY_BCC = 0x0E02;
constexpr std::uint16_t PR_DISPLAY_CC = 0x0E03;
constexpr std::uint16_t PR_DISPLAY_TO = 0x0E04;
constexpr std::uint16_t PR_MESSAGE_DELIVERY_TIME = 0x0E06;
constexpr std::uint16_t PR_BODY = 0x1000;
constexpr std::uint16_t PR_DISPLAY_NAME = 0x3001;
constexpr std::uint16_t PR_EMAIL_ADDRESS = 0x3003;
constexpr std::uint16_t PR_CREATION_TIME = 0x3007;
constexpr std::uint16_t PR_SMTP_ADDRESS = 0x39FE;
constexpr std::uint16_t PR_BIRTHDAY = 0x3A42;
constexpr std::uint16_t PR_WEDDING_ANNIVERSARY = 0x3A41;
constexpr std::uint16_t PR_SENDER_SMTP_ADDRESS = 0x5D01;

// Named properties.
constexpr std::uint32_t PidLidLocation = 0x8208;
constexpr std::uint32_t PidLidAppointmentStartWhole = 0x820D;
constexpr std::uint32_t PidLidAppointmentEndWhole = 0x820E;
constexpr std::uint32_t PidLidTaskStartDate = 0x8104;
constexpr std::uint32_t PidLidTaskDueDate = 0x8105;
constexpr std::uint32_t PidLidReminderSignalTime = 0x8502;
constexpr std::uint32_t PidLidEmail1EmailAddress = 0x8083;
constexpr std::uint32_t PidLidEmail2EmailAddress = 0x8093;
constexpr std::uint32_t PidLidEmail3EmailAddress = 0x80A3;
constexpr std::uint32_t PidLidDistributionListName = 0x8053;
constexpr std::uint32_t PidLidDistributionListOneOffMembers = 0x8054;
constexpr std::uint32_t PidLidDistributionListMembers = 0x8055;

// The ordinary property behind each contact field; 0 for the e-mail
// addresses, which are named properties.
std::uint16_t ContactTag(ContactField field) {
  switch (field) {
    case ContactField::FirstName: return 0x3A06;
    case ContactField::MiddleName: return 0x3A44;
    case ContactField::LastName: return 0x3A11;
    case ContactField::Suffix: return 0x3A05;
    case ContactField::Title: return 0x3A45;
    case ContactField::CompanyName: return 0x3A16;
    case ContactField::JobTitle: return 0x3A17;
    case ContactField::BusinessStreet: return 0x3A29;
    case ContactField::BusinessCity: return 0x3A27;
    case ContactField::BusinessPostalCode: return 0x3A2A;
    case ContactField::BusinessState: return 0x3A28;
    case ContactField::BusinessCountry: return 0x3A26;
    case ContactField::OfficeLocation: return 0x3A19;
    case ContactField::WebPage: return 0x3A51;
    case ContactField::Department: return 0x3A18;
    case ContactField::ManagerName: return 0x3A4E;
    case ContactField::AssistantName: return 0x3A30;
    case ContactField::BusinessPhone: return 0x3A08;
    case ContactField::BusinessFax: return 0x3A24;
    case ContactField::MobilePhone: return 0x3A1C;
    case ContactField::Pager: return 0x3A21;
    case ContactField::HomeStreet: return 0x3A5D;
    case ContactField::HomeCity: return 0x3A59;
    case ContactField::HomePostalCode: return 0x3A5B;
    case ContactField::HomeState: return 0x3A5C;
    case ContactField::HomeCountry: return 0x3A5A;
    case ContactField::Spouse: return 0x3A48;
    case ContactField::Children: return 0x3A58;
    case ContactField::HomePhone: return 0x3A09;
    case ContactField::HomeFax: return 0x3A25;
    case ContactField::Email1:
    case ContactField::Email2:
    case ContactField::Email3: break;
  }
  return 0;
}

// The first present date among CANDIDATES.
std::optional<QDateTime> FirstDate(std::initializer_list<std::optional<QDateTime>> candidates) {
  for (const auto& date : candidates) {
    if (date) return date;
  }
  return std::nullopt;
}

}  // namespace

std::string MapiItem::Describe() const {
  try {
    return "item \"" + Subject() + "\"";
  } catch (const OutlookError&) {
    return "an item";
  }
}

std::string MapiItem::MessageClass() const { return bag_.Text(PR_MESSAGE_CLASS); }

std::string MapiItem::Subject() const {
  std::string subject = bag_.Text(PR_SUBJECT);
  // A leading U+0001 and one length character mark the reply/forward prefix.
  if (subject.size() >= 2 && subject[0] == '\x01') {
    std::size_t length = 1;
    const auto lead = static_cast<unsigned char>(subject[1]);
    if (lead >= 0xF0) length = 4;
    else if (lead >= 0xE0) length = 3;
    else if (lead >= 0xC0) length = 2;
    subject.erase(0, std::min(subject.size(), 1 + length));
  }
  return subject;
}

std::string MapiItem::Body() const { return bag_.Text(PR_BODY); }
std::string MapiItem::To() const { return bag_.Text(PR_DISPLAY_TO); }
std::string MapiItem::CC() const { return bag_.Text(PR_DISPLAY_CC); }
std::string MapiItem::BCC() const { return bag_.Text(PR_DISPLAY_BCC); }
std::string MapiItem::SenderEmailAddress() const { return bag_.Text(PR_SENDER_EMAIL_ADDRESS); }
std::string MapiItem::SenderName() const { return bag_.Text(PR_SENDER_NAME_ID); }
std::optional<std::int64_t> MapiItem::Importance() const { return bag_.Integer(bag_.Find(PR_IMPORTANCE)); }

std::string MapiItem::Categories() const { return bag_.Text(bag_.FindNamed(PS_PUBLIC_STRINGS, std::string("Keywords"))); }

std::optional<QDateTime> MapiItem::CreationTime() const { return bag_.Date(PR_CREATION_TIME); }

std::optional<QDateTime> MapiItem::MessageDate() const {
  return FirstDate({bag_.Date(PR_MESSAGE_DELIVERY_TIME), bag_.Date(PR_CLIENT_SUBMIT_TIME), bag_.Date(PR_CREATION_TIME)});
}

std::optional<QDateTime> MapiItem::Start() const {
  return FirstDate({bag_.Date(bag_.FindNamed(PSETID_Appointment, PidLidAppointmentStartWhole)), bag_.Date(PR_START_DATE)});
}

std::optional<QDateTime> MapiItem::End() const {
  return FirstDate({bag_.Date(bag_.FindNamed(PSETID_Appointment, PidLidAppointmentEndWhole)), bag_.Date(PR_END_DATE)});
}

std::string MapiItem::Location() const { return bag_.Text(bag_.FindNamed(PSETID_Appointment, PidLidLocation)); }

std::optional<QDateTime> MapiItem::DueDate() const { return bag_.Date(bag_.FindNamed(PSETID_Task, PidLidTaskDueDate)); }
std::optional<QDateTime> MapiItem::StartDate() const { return bag_.Date(bag_.FindNamed(PSETID_Task, PidLidTaskStartDate)); }
std::optional<QDateTime> MapiItem::ReminderTime() const {
  return bag_.Date(bag_.FindNamed(PSETID_Common, PidLidReminderSignalTime));
}

std::string MapiItem::Contact(ContactField field) const {
  switch (field) {
    case ContactField::Email1: return bag_.Text(bag_.FindNamed(PSETID_Address, PidLidEmail1EmailAddress));
    case ContactField::Email2: return bag_.Text(bag_.FindNamed(PSETID_Address, PidLidEmail2EmailAddress));
    case ContactField::Email3: return bag_.Text(bag_.FindNamed(PSETID_Address, PidLidEmail3EmailAddress));
    default: return bag_.Text(ContactTag(field));
  }
}

std::optional<QDateTime> MapiItem::Birthday() const { return bag_.Date(PR_BIRTHDAY); }
std::optional<QDateTime> MapiItem::Anniversary() const { return bag_.Date(PR_WEDDING_ANNIVERSARY); }

std::string MapiItem::DLName() const {
  std::string name = bag_.Text(PR_DISPLAY_NAME);
  if (name.empty()) name = bag_.Text(bag_.FindNamed(PSETID_Address, PidLidDistributionListName));
  return name;
}

std::vector<std::string> MapiItem::Members() const {
  std::vector<std::string> entries = bag_.Binaries(bag_.FindNamed(PSETID_Address, PidLidDistributionListOneOffMembers));
  if (entries.empty()) entries = bag_.Binaries(bag_.FindNamed(PSETID_Address, PidLidDistributionListMembers));
  std::vector<std::string> members;
  members.reserve(entries.size());
  for (const std::string& entry : entries) {
    // Entries that are not one-off (wrapped references to contacts) carry
    // no name or address of their own; the one-off list names them all.
    const auto address = DecodeOneOffEntryId(entry, bag_.codepage());
    if (!address) continue;
    members.push_back(!address->address.empty() ? address->address : address->display_name);
  }
  return members;
}

PropValue MapiItem::GetProp(std::uint32_t tag) const {
  return bag_.Value(bag_.Find(static_cast<std::uint16_t>(tag >> 16), static_cast<std::uint16_t>(tag & 0xFFFF)));
}

Recipient MapiItem::RecipientFromRow(const PropertyBag& row) {
  Recipient r;
  r.type = static_cast<int>(row.Integer(row.Find(PR_RECIPIENT_TYPE)).value_or(1));
  r.name = row.Text(PR_DISPLAY_NAME);
  r.address = row.Text(PR_SMTP_ADDRESS);
  if (r.address.empty()) r.address = row.Text(PR_EMAIL_ADDRESS);
  return r;
}

std::string MapiItem::SenderSmtpAddress() const {
  std::string address = bag_.Text(PR_SENDER_SMTP_ADDRESS);
  return address.empty() ? SenderEmailAddress() : address;
}

namespace {

constexpr std::uint16_t PR_ATTACH_FILENAME = 0x3704;
constexpr std::uint16_t PR_ATTACH_LONG_FILENAME = 0x3707;
constexpr std::uint16_t PR_ATTACH_MIME_TAG = 0x370E;

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char a = text[text.size() - suffix.size() + i];
    if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(suffix[i]))) return false;
  }
  return true;
}

}  // namespace

std::string SafeFileName(const std::string& name) {
  const auto slash = name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  for (char& c : base) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') c = '_';
  }
  // Trailing dots and blanks are dropped by Windows file systems.
  while (!base.empty() && (base.back() == '.' || base.back() == ' ')) base.pop_back();
  if (base.empty() || base == "." || base == "..") return std::string();
  return base;
}

std::string MapiAttachment::FileName() const {
  std::string name = bag_.Text(PR_ATTACH_LONG_FILENAME);
  if (name.empty()) name = bag_.Text(PR_ATTACH_FILENAME);
  if (name.empty()) name = bag_.Text(PR_DISPLAY_NAME);
  name = SafeFileName(name);
  if (IsItem()) {
    if (name.empty()) {
      try {
        name = SafeFileName(AttachedItem().Subject());
      } catch (const OutlookError&) {
        // An attached item that cannot be read has no subject to offer; the
        // save reports the damage.
      }
    }
    if (!name.empty() && !EndsWithIgnoringCase(name, ".eml") && !EndsWithIgnoringCase(name, ".msg")) name += ".eml";
    if (EndsWithIgnoringCase(name, ".msg")) name.replace(name.size() - 4, 4, ".eml");
  }
  return name;
}

std::string MapiAttachment::MimeType() const { return bag_.Text(PR_ATTACH_MIME_TAG); }

std::string MapiAttachment::Describe() const {
  std::string name = bag_.Text(PR_ATTACH_LONG_FILENAME);
  if (name.empty()) name = bag_.Text(PR_ATTACH_FILENAME);
  if (name.empty()) name = bag_.Text(PR_DISPLAY_NAME);
  return "attachment " + std::to_string(position_) + (name.empty() ? std::string() : " (" + name + ")");
}

// Attached items nest inside one another; a damaged file could make them
// nest without end, which no real mailbox does.
constexpr int kMaxNesting = 32;

std::int64_t MapiAttachment::Size() const {
  if (kind_ == Kind::Data) return DataSize();
  if (IsItem()) {
    CountingWriter counter;
    std::ostream sink(&counter);
    WriteTo(sink);
    return counter.count();
  }
  return 0;
}

void MapiAttachment::WriteTo(std::ostream& out, int depth) const {
  const std::string& file = bag_.file();
  if (IsItem()) {
    if (depth >= kMaxNesting) throw OutlookError(file + ": " + Describe() + " nests attached items too deep (damaged)");
    WriteEml(AttachedItem(), out, depth);
    return;
  }
  if (kind_ != Kind::Data) {
    throw OutlookError(file + ": " + Describe() + " is a link to a file outside the store; it holds no data");
  }
  WriteData(out);
  if (!out) throw OutlookError(file + ": cannot write " + Describe());
}

void MapiAttachment::SaveAsFile(const std::filesystem::path& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw OutlookError(bag_.file() + ": cannot save " + Describe() + " to " + PathUtf8(path) +
                       ": the file cannot be created");
  }
  try {
    WriteTo(out);
    out.close();
    if (!out) throw OutlookError(bag_.file() + ": cannot finish writing " + PathUtf8(path));
  } catch (const OutlookError& e) {
    // A half-written file would pass for the attachment: remove it.
    out.close();
    std::error_code ec;
    std::filesystem::remove(path, ec);
    throw OutlookError(std::string("cannot save ") + Describe() + " to " + PathUtf8(path) + ": " + e.what());
  }
}

}  // namespace norvexa::outlook::pff
