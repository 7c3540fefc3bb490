// An item read from its property bag: every value the rest of Norvexa reads
// of an item (texts, dates, contact fields, list members). A store reader
// gives each item its bag, its recipients and its attachments; everything
// else is the same whichever reader read the file.
#pragma once

#include "platform/outlook/outlook.h"
#include "platform/outlook/property_bag.h"
#include "platform/outlook/recipients.h"

#include <string>
#include <vector>

namespace norvexa::outlook::items {

class MapiItem : public Item, public MapiObject {
 public:
  explicit MapiItem(PropertyBag bag) : bag_(std::move(bag)) {}

  std::string MessageClass() const override;
  std::string Subject() const override;
  std::string Body() const override;
  std::string To() const override;
  std::string CC() const override;
  std::string BCC() const override;
  std::string SenderEmailAddress() const override;
  std::string SenderName() const override;
  std::optional<std::int64_t> Importance() const override;
  std::string Categories() const override;
  std::optional<QDateTime> CreationTime() const override;
  std::optional<QDateTime> MessageDate() const override;
  std::optional<QDateTime> Start() const override;
  std::optional<QDateTime> End() const override;
  std::string Location() const override;
  std::optional<QDateTime> DueDate() const override;
  std::optional<QDateTime> StartDate() const override;
  std::optional<QDateTime> ReminderTime() const override;
  std::string Contact(ContactField field) const override;
  std::optional<QDateTime> Birthday() const override;
  std::optional<QDateTime> Anniversary() const override;
  std::string DLName() const override;
  std::vector<std::string> Members() const override;
  std::string HtmlBody() const override;
  std::string CompressedRtf() const override;
  std::string InternetMessageId() const override;
  std::string InReplyTo() const override;
  std::string InternetReferences() const override;
  std::string TransportHeaders() const override;
  std::optional<std::int64_t> MessageFlags() const override;
  std::optional<std::int64_t> Sensitivity() const override;
  std::optional<QDateTime> ReceivedTime() const override;
  std::optional<QDateTime> SubmitTime() const override;
  std::vector<std::string> CategoryList() const override;
  FollowUpFlag FollowUp() const override;
  std::vector<RecipientEntry> RecipientList() const override;
  std::string SenderSmtpAddress() const override;
  std::string SentRepresentingName() const override;
  std::string SentRepresentingAddress() const override;
  std::string RecurrenceBlob() const override;
  std::optional<bool> IsRecurring() const override;
  std::string TimeZoneDefinition() const override;
  std::string TimeZoneStruct() const override;
  std::string TimeZoneDescription() const override;
  std::optional<bool> AllDayEvent() const override;
  std::optional<std::int64_t> BusyStatus() const override;
  std::optional<std::int64_t> AppointmentStateFlags() const override;
  std::optional<bool> ReminderSet() const override;
  std::optional<std::int64_t> ReminderMinutesBefore() const override;
  std::optional<std::int64_t> TaskStatus() const override;
  std::optional<double> PercentComplete() const override;
  std::optional<QDateTime> TaskDateCompleted() const override;
  std::optional<bool> TaskComplete() const override;
  std::string TaskOwner() const override;
  const MapiObject& MAPIOBJECT() const override { return *this; }

  PropValue GetProp(std::uint32_t tag) const override;

  // The message's recipients from its recipient table, in table order.
  // Throws OutlookError when the table is damaged.
  virtual std::vector<Recipient> Recipients() const = 0;

  const PropertyBag& bag() const { return bag_; }

 protected:
  // "item \"subject\"" for error messages.
  std::string Describe() const;

  PropertyBag bag_;
};

}  // namespace norvexa::outlook::items
