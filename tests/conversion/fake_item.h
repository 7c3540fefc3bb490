// In-memory items for the cases no store file has: attachments sharing a
// name, attachments that cannot be saved, values that are missing or that
// fail to read.
#pragma once

#include "platform/outlook/outlook.h"

#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace norvexa::testing {

struct FakeAttachmentData {
  std::string name;
  std::string bytes;
  bool fails = false;    // SaveAsFile throws
  bool is_item = false;  // an attached Outlook item
  std::string mime_type = {}, content_id = {};
  bool hidden = false;
};

class FakeAttachment final : public outlook::Attachment {
 public:
  explicit FakeAttachment(FakeAttachmentData data) : data_(std::move(data)) {}
  std::string FileName() const override { return data_.name; }
  std::int64_t Size() const override { return static_cast<std::int64_t>(data_.bytes.size()); }
  bool IsItem() const override { return data_.is_item; }
  std::string MimeType() const override { return data_.mime_type; }
  std::string ContentId() const override { return data_.content_id; }
  std::string ContentLocation() const override { return std::string(); }
  bool IsHidden() const override { return data_.hidden; }
  void SaveAsFile(const std::filesystem::path& path) const override {
    if (data_.fails) throw outlook::OutlookError("attachment " + data_.name + " is damaged");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    SaveTo(out);
  }
  void SaveTo(std::ostream& out) const override {
    if (data_.fails) throw outlook::OutlookError("attachment " + data_.name + " is damaged");
    out << data_.bytes;
    if (!out) throw outlook::OutlookError("cannot write attachment " + data_.name);
  }

 private:
  FakeAttachmentData data_;
};

class FakeAttachments final : public outlook::Attachments {
 public:
  explicit FakeAttachments(std::vector<FakeAttachmentData> list) : list_(std::move(list)) {}
  std::int64_t Count() const override { return static_cast<std::int64_t>(list_.size()); }
  std::unique_ptr<outlook::Attachment> GetAttachment(std::int64_t position) const override {
    return std::make_unique<FakeAttachment>(list_.at(static_cast<std::size_t>(position - 1)));
  }

 private:
  std::vector<FakeAttachmentData> list_;
};

class FakeMapiObject final : public outlook::MapiObject {
 public:
  std::map<std::uint32_t, outlook::PropValue> props;
  outlook::PropValue GetProp(std::uint32_t tag) const override {
    auto it = props.find(tag);
    return it == props.end() ? outlook::PropValue() : it->second;
  }
};

// An item whose values are plain members; a name in `failing` makes that
// getter throw as an unreadable value does.
class FakeItem final : public outlook::Item {
 public:
  std::string message_class = "IPM.Note", subject, body, to, cc, bcc, sender_email, sender_name, categories,
              location, dl_name, source_key;
  std::string html, rtf, message_id, in_reply_to, references, transport_headers, sender_smtp,
      sent_representing_name, sent_representing_address, recurrence, time_zone, time_zone_struct,
      time_zone_description, task_owner;
  std::optional<std::int64_t> importance, message_flags, sensitivity, busy_status, state_flags, reminder_minutes,
      task_status;
  std::optional<bool> recurring, all_day, reminder_set, task_complete;
  std::optional<double> percent_complete;
  std::optional<QDateTime> creation, date, start, end, due, start_date, reminder, birthday, anniversary, received,
      submitted, date_completed;
  std::vector<std::string> category_list;
  outlook::FollowUpFlag follow_up;
  std::vector<outlook::RecipientEntry> recipients;
  std::map<outlook::ContactField, std::string> contact;
  std::vector<std::string> members;
  std::vector<FakeAttachmentData> attachments;
  std::vector<std::string> failing;
  std::vector<outlook::Damage> damage;  // what Damage() gives
  FakeMapiObject mapi;

  std::string MessageClass() const override { return message_class; }
  std::string Subject() const override { return Get("Subject", subject); }
  std::string Body() const override { return Get("Body", body); }
  std::string To() const override { return to; }
  std::string CC() const override { return cc; }
  std::string BCC() const override { return bcc; }
  std::string SenderEmailAddress() const override { return sender_email; }
  std::string SenderName() const override { return sender_name; }
  std::optional<std::int64_t> Importance() const override { return importance; }
  std::string Categories() const override { return categories; }
  std::optional<QDateTime> CreationTime() const override { return creation; }
  std::optional<QDateTime> MessageDate() const override { return date; }
  std::optional<QDateTime> Start() const override { return start; }
  std::optional<QDateTime> End() const override { return end; }
  std::string Location() const override { return location; }
  std::optional<QDateTime> DueDate() const override { return due; }
  std::optional<QDateTime> StartDate() const override { return start_date; }
  std::optional<QDateTime> ReminderTime() const override { return reminder; }
  std::string Contact(outlook::ContactField field) const override {
    auto it = contact.find(field);
    return it == contact.end() ? std::string() : it->second;
  }
  std::optional<QDateTime> Birthday() const override { return birthday; }
  std::optional<QDateTime> Anniversary() const override { return anniversary; }
  std::string DLName() const override { return dl_name; }
  std::vector<std::string> Members() const override { return members; }
  std::unique_ptr<outlook::Attachments> GetAttachments() const override {
    Get("Attachments", std::string());
    return std::make_unique<FakeAttachments>(attachments);
  }
  std::string HtmlBody() const override { return Get("HtmlBody", html); }
  std::string CompressedRtf() const override { return Get("CompressedRtf", rtf); }
  std::string InternetMessageId() const override { return message_id; }
  std::string InReplyTo() const override { return in_reply_to; }
  std::string InternetReferences() const override { return references; }
  std::string TransportHeaders() const override { return Get("TransportHeaders", transport_headers); }
  std::optional<std::int64_t> MessageFlags() const override { return message_flags; }
  std::optional<std::int64_t> Sensitivity() const override { return sensitivity; }
  std::optional<QDateTime> ReceivedTime() const override { return received; }
  std::optional<QDateTime> SubmitTime() const override { return submitted; }
  std::vector<std::string> CategoryList() const override { return category_list; }
  outlook::FollowUpFlag FollowUp() const override { return follow_up; }
  std::vector<outlook::RecipientEntry> RecipientList() const override {
    Get("Recipients", std::string());
    return recipients;
  }
  std::string SenderSmtpAddress() const override { return sender_smtp.empty() ? sender_email : sender_smtp; }
  std::string SentRepresentingName() const override { return sent_representing_name; }
  std::string SentRepresentingAddress() const override { return sent_representing_address; }
  std::string RecurrenceBlob() const override { return Get("RecurrenceBlob", recurrence); }
  std::optional<bool> IsRecurring() const override { return recurring; }
  std::string TimeZoneDefinition() const override { return time_zone; }
  std::string TimeZoneStruct() const override { return time_zone_struct; }
  std::string TimeZoneDescription() const override { return time_zone_description; }
  std::optional<bool> AllDayEvent() const override { return all_day; }
  std::optional<std::int64_t> BusyStatus() const override { return busy_status; }
  std::optional<std::int64_t> AppointmentStateFlags() const override { return state_flags; }
  std::optional<bool> ReminderSet() const override { return reminder_set; }
  std::optional<std::int64_t> ReminderMinutesBefore() const override { return reminder_minutes; }
  std::optional<std::int64_t> TaskStatus() const override { return task_status; }
  std::optional<double> PercentComplete() const override { return percent_complete; }
  std::optional<QDateTime> TaskDateCompleted() const override { return date_completed; }
  std::optional<bool> TaskComplete() const override { return task_complete; }
  std::string TaskOwner() const override { return task_owner; }
  const outlook::MapiObject& MAPIOBJECT() const override { return mapi; }
  std::string SourceKey() const override { return source_key; }
  std::vector<outlook::Damage> Damage() const override { return damage; }

 private:
  std::string Get(const std::string& what, const std::string& value) const {
    for (const std::string& f : failing) {
      if (f == what) throw outlook::OutlookError(what + " is damaged");
    }
    return value;
  }
};

class FakeItems final : public outlook::Items {
 public:
  std::int64_t count = 0;
  std::int64_t Count() const override { return count; }
  std::unique_ptr<outlook::Item> GetItem(std::int64_t) const override {
    throw outlook::OutlookError("no items in a fake collection");
  }
};

}  // namespace norvexa::testing
