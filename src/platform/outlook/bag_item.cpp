// An item read from its property bag (see bag_item.h).
#include "platform/outlook/bag_item.h"

#include "platform/outlook/one_off_entry_id.h"
#include "platform/outlook/text_codec.h"

namespace norvexa::outlook::items {
namespace {

// The ordinary property behind each contact field; 0 for the e-mail
// addresses, which are named properties.
std::uint16_t ContactTag(ContactField field) {
  switch (field) {
    case ContactField::FirstName: return mapi::PR_GIVEN_NAME;
    case ContactField::MiddleName: return mapi::PR_MIDDLE_NAME;
    case ContactField::LastName: return mapi::PR_SURNAME;
    case ContactField::Suffix: return mapi::PR_GENERATION;
    case ContactField::Title: return mapi::PR_DISPLAY_NAME_PREFIX;
    case ContactField::CompanyName: return mapi::PR_COMPANY_NAME;
    case ContactField::JobTitle: return mapi::PR_TITLE;
    case ContactField::BusinessStreet: return mapi::PR_BUSINESS_ADDRESS_STREET;
    case ContactField::BusinessCity: return mapi::PR_BUSINESS_ADDRESS_CITY;
    case ContactField::BusinessPostalCode: return mapi::PR_BUSINESS_ADDRESS_POSTAL_CODE;
    case ContactField::BusinessState: return mapi::PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE;
    case ContactField::BusinessCountry: return mapi::PR_BUSINESS_ADDRESS_COUNTRY;
    case ContactField::OfficeLocation: return mapi::PR_OFFICE_LOCATION;
    case ContactField::WebPage: return mapi::PR_BUSINESS_HOME_PAGE;
    case ContactField::Department: return mapi::PR_DEPARTMENT_NAME;
    case ContactField::ManagerName: return mapi::PR_MANAGER_NAME;
    case ContactField::AssistantName: return mapi::PR_ASSISTANT;
    case ContactField::BusinessPhone: return mapi::PR_BUSINESS_TELEPHONE_NUMBER;
    case ContactField::BusinessFax: return mapi::PR_BUSINESS_FAX_NUMBER;
    case ContactField::MobilePhone: return mapi::PR_MOBILE_TELEPHONE_NUMBER;
    case ContactField::Pager: return mapi::PR_PAGER_TELEPHONE_NUMBER;
    case ContactField::HomeStreet: return mapi::PR_HOME_ADDRESS_STREET;
    case ContactField::HomeCity: return mapi::PR_HOME_ADDRESS_CITY;
    case ContactField::HomePostalCode: return mapi::PR_HOME_ADDRESS_POSTAL_CODE;
    case ContactField::HomeState: return mapi::PR_HOME_ADDRESS_STATE_OR_PROVINCE;
    case ContactField::HomeCountry: return mapi::PR_HOME_ADDRESS_COUNTRY;
    case ContactField::Spouse: return mapi::PR_SPOUSE_NAME;
    case ContactField::Children: return mapi::PR_CHILDRENS_NAMES;
    case ContactField::HomePhone: return mapi::PR_HOME_TELEPHONE_NUMBER;
    case ContactField::HomeFax: return mapi::PR_HOME_FAX_NUMBER;
    case ContactField::Email1:
    case ContactField::Email2:
    case ContactField::Email3: break;
  }
  return 0;
}

// The code page number of UTF-16LE, which text_codec reads apart.
constexpr int kCodepageUtf16Le = 1200;

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

std::string MapiItem::MessageClass() const { return bag_.Text(mapi::PR_MESSAGE_CLASS); }

std::string MapiItem::Subject() const {
  std::string subject = bag_.Text(mapi::PR_SUBJECT);
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

std::string MapiItem::Body() const { return bag_.Text(mapi::PR_BODY); }
std::string MapiItem::To() const { return bag_.Text(mapi::PR_DISPLAY_TO); }
std::string MapiItem::CC() const { return bag_.Text(mapi::PR_DISPLAY_CC); }
std::string MapiItem::BCC() const { return bag_.Text(mapi::PR_DISPLAY_BCC); }
std::string MapiItem::SenderEmailAddress() const { return bag_.Text(mapi::PR_SENDER_EMAIL_ADDRESS); }
std::string MapiItem::SenderName() const { return bag_.Text(mapi::PR_SENDER_NAME); }
std::optional<std::int64_t> MapiItem::Importance() const { return bag_.Integer(bag_.Find(mapi::PR_IMPORTANCE)); }

std::string MapiItem::Categories() const { return bag_.Text(bag_.FindNamed(mapi::PS_PUBLIC_STRINGS, mapi::PidNameKeywords)); }

std::optional<QDateTime> MapiItem::CreationTime() const { return bag_.Date(mapi::PR_CREATION_TIME); }

std::optional<QDateTime> MapiItem::MessageDate() const {
  return FirstDate({bag_.Date(mapi::PR_MESSAGE_DELIVERY_TIME), bag_.Date(mapi::PR_CLIENT_SUBMIT_TIME), bag_.Date(mapi::PR_CREATION_TIME)});
}

std::optional<QDateTime> MapiItem::Start() const {
  return FirstDate({bag_.Date(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidAppointmentStartWhole)), bag_.Date(mapi::PR_START_DATE)});
}

std::optional<QDateTime> MapiItem::End() const {
  return FirstDate({bag_.Date(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidAppointmentEndWhole)), bag_.Date(mapi::PR_END_DATE)});
}

std::string MapiItem::Location() const { return bag_.Text(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidLocation)); }

std::optional<QDateTime> MapiItem::DueDate() const { return bag_.Date(bag_.FindNamed(mapi::PSETID_Task, mapi::PidLidTaskDueDate)); }
std::optional<QDateTime> MapiItem::StartDate() const { return bag_.Date(bag_.FindNamed(mapi::PSETID_Task, mapi::PidLidTaskStartDate)); }
std::optional<QDateTime> MapiItem::ReminderTime() const {
  return bag_.Date(bag_.FindNamed(mapi::PSETID_Common, mapi::PidLidReminderTime));
}

std::string MapiItem::Contact(ContactField field) const {
  switch (field) {
    case ContactField::Email1: return bag_.Text(bag_.FindNamed(mapi::PSETID_Address, mapi::PidLidEmail1EmailAddress));
    case ContactField::Email2: return bag_.Text(bag_.FindNamed(mapi::PSETID_Address, mapi::PidLidEmail2EmailAddress));
    case ContactField::Email3: return bag_.Text(bag_.FindNamed(mapi::PSETID_Address, mapi::PidLidEmail3EmailAddress));
    default: return bag_.Text(ContactTag(field));
  }
}

std::optional<QDateTime> MapiItem::Birthday() const { return bag_.Date(mapi::PR_BIRTHDAY); }
std::optional<QDateTime> MapiItem::Anniversary() const { return bag_.Date(mapi::PR_WEDDING_ANNIVERSARY); }

std::string MapiItem::DLName() const {
  std::string name = bag_.Text(mapi::PR_DISPLAY_NAME);
  if (name.empty()) name = bag_.Text(bag_.FindNamed(mapi::PSETID_Address, mapi::PidLidDistributionListName));
  return name;
}

std::vector<std::string> MapiItem::Members() const {
  std::vector<std::string> entries = bag_.Binaries(bag_.FindNamed(mapi::PSETID_Address, mapi::PidLidDistributionListOneOffMembers));
  if (entries.empty()) entries = bag_.Binaries(bag_.FindNamed(mapi::PSETID_Address, mapi::PidLidDistributionListMembers));
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

std::string MapiItem::HtmlBody() const {
  const PropertyBag::Entry* entry = bag_.Find(mapi::PR_HTML);
  if (entry == nullptr) return std::string();
  if (entry->type != mapi::PT_BINARY) return bag_.Text(entry);
  const std::string bytes = bag_.Bytes(entry);
  const int codepage = static_cast<int>(
      bag_.Integer(bag_.Find(mapi::PR_INTERNET_CPID)).value_or(bag_.codepage()));
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::string html = codepage == kCodepageUtf16Le ? text::FromUtf16Le(data, bytes.size())
                                                  : text::FromCodepage(data, bytes.size(), codepage);
  // A byte-order mark says nothing once the text is UTF-8.
  if (html.rfind("\xEF\xBB\xBF", 0) == 0) html.erase(0, 3);
  return html;
}

std::string MapiItem::CompressedRtf() const { return bag_.Bytes(bag_.Find(mapi::PR_RTF_COMPRESSED, mapi::PT_BINARY)); }
std::string MapiItem::InternetMessageId() const { return bag_.Text(mapi::PR_INTERNET_MESSAGE_ID); }
std::string MapiItem::InReplyTo() const { return bag_.Text(mapi::PR_IN_REPLY_TO_ID); }
std::string MapiItem::InternetReferences() const { return bag_.Text(mapi::PR_INTERNET_REFERENCES); }
std::string MapiItem::TransportHeaders() const { return bag_.Text(mapi::PR_TRANSPORT_MESSAGE_HEADERS); }
std::optional<std::int64_t> MapiItem::MessageFlags() const { return bag_.Integer(bag_.Find(mapi::PR_MESSAGE_FLAGS)); }
std::optional<std::int64_t> MapiItem::Sensitivity() const { return bag_.Integer(bag_.Find(mapi::PR_SENSITIVITY)); }
std::optional<QDateTime> MapiItem::ReceivedTime() const { return bag_.Date(mapi::PR_MESSAGE_DELIVERY_TIME); }
std::optional<QDateTime> MapiItem::SubmitTime() const { return bag_.Date(mapi::PR_CLIENT_SUBMIT_TIME); }

std::vector<std::string> MapiItem::CategoryList() const {
  return bag_.Texts(bag_.FindNamed(mapi::PS_PUBLIC_STRINGS, mapi::PidNameKeywords));
}

FollowUpFlag MapiItem::FollowUp() const {
  FollowUpFlag flag;
  flag.status = bag_.Integer(bag_.Find(mapi::PR_FLAG_STATUS)).value_or(0);
  flag.request = bag_.Text(bag_.FindNamed(mapi::PSETID_Common, mapi::PidLidFlagRequest));
  flag.due = FirstDate({bag_.Date(bag_.FindNamed(mapi::PSETID_Task, mapi::PidLidTaskDueDate)),
                        bag_.Date(mapi::PR_REPLY_TIME)});
  flag.completed = bag_.Date(mapi::PR_FLAG_COMPLETE_TIME);
  return flag;
}

std::vector<RecipientEntry> MapiItem::RecipientList() const { return ToRecipientEntries(Recipients()); }

std::string MapiItem::SentRepresentingName() const { return bag_.Text(mapi::PR_SENT_REPRESENTING_NAME); }

std::string MapiItem::SentRepresentingAddress() const {
  std::string address = bag_.Text(mapi::PR_SENT_REPRESENTING_SMTP_ADDRESS);
  return address.empty() ? bag_.Text(mapi::PR_SENT_REPRESENTING_EMAIL_ADDRESS) : address;
}

namespace {

// The whole number of a named property LID in SET of BAG as a truth value.
std::optional<bool> NamedFlag(const PropertyBag& bag, const mapi::Guid& set, std::uint32_t lid) {
  const auto value = bag.Integer(bag.FindNamed(set, lid));
  if (!value) return std::nullopt;
  return *value != 0;
}

}  // namespace

std::string MapiItem::RecurrenceBlob() const {
  return bag_.Bytes(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidAppointmentRecur));
}
std::optional<bool> MapiItem::IsRecurring() const {
  return NamedFlag(bag_, mapi::PSETID_Appointment, mapi::PidLidRecurring);
}

std::string MapiItem::TimeZoneDefinition() const {
  std::string definition =
      bag_.Bytes(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidAppointmentTimeZoneDefinitionRecur));
  if (definition.empty()) {
    definition = bag_.Bytes(
        bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidAppointmentTimeZoneDefinitionStartDisplay));
  }
  return definition;
}

std::string MapiItem::TimeZoneStruct() const {
  return bag_.Bytes(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidTimeZoneStruct));
}
std::string MapiItem::TimeZoneDescription() const {
  return bag_.Text(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidTimeZoneDescription));
}
std::optional<bool> MapiItem::AllDayEvent() const {
  return NamedFlag(bag_, mapi::PSETID_Appointment, mapi::PidLidAppointmentSubType);
}
std::optional<std::int64_t> MapiItem::BusyStatus() const {
  return bag_.Integer(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidBusyStatus));
}
std::optional<std::int64_t> MapiItem::AppointmentStateFlags() const {
  return bag_.Integer(bag_.FindNamed(mapi::PSETID_Appointment, mapi::PidLidAppointmentStateFlags));
}
std::optional<bool> MapiItem::ReminderSet() const { return NamedFlag(bag_, mapi::PSETID_Common, mapi::PidLidReminderSet); }
std::optional<std::int64_t> MapiItem::ReminderMinutesBefore() const {
  return bag_.Integer(bag_.FindNamed(mapi::PSETID_Common, mapi::PidLidReminderDelta));
}

std::optional<std::int64_t> MapiItem::TaskStatus() const {
  return bag_.Integer(bag_.FindNamed(mapi::PSETID_Task, mapi::PidLidTaskStatus));
}
std::optional<double> MapiItem::PercentComplete() const {
  return bag_.Double(bag_.FindNamed(mapi::PSETID_Task, mapi::PidLidPercentComplete));
}
std::optional<QDateTime> MapiItem::TaskDateCompleted() const {
  return bag_.Date(bag_.FindNamed(mapi::PSETID_Task, mapi::PidLidTaskDateCompleted));
}
std::optional<bool> MapiItem::TaskComplete() const { return NamedFlag(bag_, mapi::PSETID_Task, mapi::PidLidTaskComplete); }
std::string MapiItem::TaskOwner() const { return bag_.Text(bag_.FindNamed(mapi::PSETID_Task, mapi::PidLidTaskOwner)); }

PropValue MapiItem::GetProp(std::uint32_t tag) const {
  return bag_.Value(bag_.Find(mapi::PropId(tag), mapi::PropType(tag)));
}

std::string MapiItem::SenderSmtpAddress() const {
  std::string address = bag_.Text(mapi::PR_SENDER_SMTP_ADDRESS);
  return address.empty() ? SenderEmailAddress() : address;
}

}  // namespace norvexa::outlook::items
