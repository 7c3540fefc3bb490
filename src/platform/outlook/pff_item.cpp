// Items on libpff: the values the item preparation reads, by property tag
// or through the store's name-to-ID map, from one property index per item.
#include "platform/outlook/pff_objects.h"

#include "platform/outlook/one_off_entry_id.h"

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

// "item \"subject\"" for error messages; the bare word when even the subject
// cannot be read (the error being reported matters more).
static std::string DescribeItem(const PffItem& item) {
  try {
    return "item \"" + item.Subject() + "\"";
  } catch (const OutlookError&) {
    return "an item";
  }
}

PffItem::PffItem(ItemRef message)
    : message_(std::move(message)),
      bag_(message_->get(), 0, message_->file()->path(), message_->file()->default_codepage()) {}

std::string PffItem::MessageClass() const { return bag_.Text(PR_MESSAGE_CLASS); }

std::string PffItem::Subject() const {
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

std::string PffItem::Body() const { return bag_.Text(PR_BODY); }
std::string PffItem::To() const { return bag_.Text(PR_DISPLAY_TO); }
std::string PffItem::CC() const { return bag_.Text(PR_DISPLAY_CC); }
std::string PffItem::BCC() const { return bag_.Text(PR_DISPLAY_BCC); }
std::string PffItem::SenderEmailAddress() const { return bag_.Text(PR_SENDER_EMAIL_ADDRESS); }
std::string PffItem::SenderName() const { return bag_.Text(PR_SENDER_NAME_ID); }
std::optional<std::int64_t> PffItem::Importance() const { return bag_.Integer(bag_.Find(PR_IMPORTANCE)); }

std::string PffItem::Categories() const { return bag_.Text(bag_.FindNamed(PS_PUBLIC_STRINGS, std::string("Keywords"))); }

std::optional<QDateTime> PffItem::CreationTime() const { return bag_.Date(PR_CREATION_TIME); }

std::optional<QDateTime> PffItem::MessageDate() const {
  return FirstDate({bag_.Date(PR_MESSAGE_DELIVERY_TIME), bag_.Date(PR_CLIENT_SUBMIT_TIME), bag_.Date(PR_CREATION_TIME)});
}

std::optional<QDateTime> PffItem::Start() const {
  return FirstDate({bag_.Date(bag_.FindNamed(PSETID_Appointment, PidLidAppointmentStartWhole)), bag_.Date(PR_START_DATE)});
}

std::optional<QDateTime> PffItem::End() const {
  return FirstDate({bag_.Date(bag_.FindNamed(PSETID_Appointment, PidLidAppointmentEndWhole)), bag_.Date(PR_END_DATE)});
}

std::string PffItem::Location() const { return bag_.Text(bag_.FindNamed(PSETID_Appointment, PidLidLocation)); }

std::optional<QDateTime> PffItem::DueDate() const { return bag_.Date(bag_.FindNamed(PSETID_Task, PidLidTaskDueDate)); }
std::optional<QDateTime> PffItem::StartDate() const { return bag_.Date(bag_.FindNamed(PSETID_Task, PidLidTaskStartDate)); }
std::optional<QDateTime> PffItem::ReminderTime() const {
  return bag_.Date(bag_.FindNamed(PSETID_Common, PidLidReminderSignalTime));
}

std::string PffItem::Contact(ContactField field) const {
  switch (field) {
    case ContactField::Email1: return bag_.Text(bag_.FindNamed(PSETID_Address, PidLidEmail1EmailAddress));
    case ContactField::Email2: return bag_.Text(bag_.FindNamed(PSETID_Address, PidLidEmail2EmailAddress));
    case ContactField::Email3: return bag_.Text(bag_.FindNamed(PSETID_Address, PidLidEmail3EmailAddress));
    default: return bag_.Text(ContactTag(field));
  }
}

std::optional<QDateTime> PffItem::Birthday() const { return bag_.Date(PR_BIRTHDAY); }
std::optional<QDateTime> PffItem::Anniversary() const { return bag_.Date(PR_WEDDING_ANNIVERSARY); }

std::string PffItem::DLName() const {
  std::string name = bag_.Text(PR_DISPLAY_NAME);
  if (name.empty()) name = bag_.Text(bag_.FindNamed(PSETID_Address, PidLidDistributionListName));
  return name;
}

std::vector<std::string> PffItem::Members() const {
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

std::unique_ptr<Attachments> PffItem::GetAttachments() const {
  int count = 0;
  libpff_error_t* error = nullptr;
  if (libpff_message_get_number_of_attachments(message_->get(), &count, &error) != 1) {
    Fail(message_->file()->path(), "cannot read the attachment table of " + DescribeItem(*this), error);
  }
  return std::make_unique<PffAttachments>(message_, count);
}

PropValue PffItem::GetProp(std::uint32_t tag) const {
  return bag_.Value(bag_.Find(static_cast<std::uint16_t>(tag >> 16), static_cast<std::uint16_t>(tag & 0xFFFF)));
}

std::vector<Recipient> PffItem::Recipients() const {
  std::vector<Recipient> recipients;
  libpff_item_t* table = nullptr;
  libpff_error_t* error = nullptr;
  const int found = libpff_message_get_recipients(message_->get(), &table, &error);
  if (found == -1) Fail(message_->file()->path(), "cannot read the recipients of " + DescribeItem(*this), error);
  if (found == 0 || table == nullptr) return recipients;
  const ItemHandle handle(message_->file(), message_, table);
  int count = 0;
  if (libpff_item_get_number_of_record_sets(handle.get(), &count, &error) != 1) {
    Fail(message_->file()->path(), "cannot read the recipients of " + DescribeItem(*this), error);
  }
  for (int i = 0; i < count; ++i) {
    const PropertyBag row(handle.get(), i, message_->file()->path(), bag_.codepage());
    Recipient r;
    r.type = static_cast<int>(row.Integer(row.Find(PR_RECIPIENT_TYPE)).value_or(1));
    r.name = row.Text(PR_DISPLAY_NAME);
    r.address = row.Text(PR_SMTP_ADDRESS);
    if (r.address.empty()) r.address = row.Text(PR_EMAIL_ADDRESS);
    recipients.push_back(std::move(r));
  }
  return recipients;
}

std::string PffItem::SenderSmtpAddress() const {
  std::string address = bag_.Text(PR_SENDER_SMTP_ADDRESS);
  return address.empty() ? SenderEmailAddress() : address;
}

}  // namespace norvexa::outlook::pff
