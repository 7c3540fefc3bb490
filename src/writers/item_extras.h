// What an item carries beyond the writers' first arguments: its formatted
// body and the pictures that body shows, its read state, and per kind the
// Internet headers and flags of mail, the state of a task and the
// series, alarm and people of an appointment. The item
// preparation fills them from the store; each writer puts what its kind
// has.
#pragma once

#include "writers/calendar_items.h"

#include <QDateTime>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::writers {

// A picture the HTML body shows by "cid:CONTENT_ID": its bytes come from the
// staged attachment file STAGED when that is not empty (read while the
// body is made, before the attachment step deletes the file), else from
// BYTES (a picture held inside an RTF body).
struct BodyPicture {
  std::string content_id;  // without the angle brackets
  std::string mime_type;   // "image/png"; "" when the store names none
  std::string file_name;
  std::filesystem::path staged;
  std::string bytes;
};

// The formatted body of an item as HTML (UTF-8) and the pictures it shows.
// An empty HTML means the item has only its plain body.
struct FormattedBody {
  std::string html;
  std::vector<BodyPicture> pictures;
};

// The follow-up flag of a mail (values as the store gives them: status 0
// none, 1 complete, 2 flagged).
struct FollowUp {
  std::int64_t status = 0;
  std::string request;
  std::optional<QDateTime> due, completed;
};

// Mail beyond the mail writer's arguments.
struct MailExtras {
  std::string sender_name, sender_address;  // the sender's display name and SMTP address
  std::string transport_headers;            // the header block the mail was received with
  std::string message_id, in_reply_to, references;
  std::optional<std::int64_t> importance;   // MAPI's scale: 0 low, 1 normal, 2 high
  std::optional<std::int64_t> sensitivity;  // 0 normal, 1 personal, 2 private, 3 confidential
  std::vector<std::string> categories;
  FollowUp follow_up;
  std::optional<QDateTime> received;        // when the mail arrived
};

// A task beyond the task writer's arguments.
struct TaskExtras {
  std::optional<std::int64_t> status;  // 0 not started, 1 in progress, 2 complete, 3 waiting, 4 deferred
  std::optional<double> percent_complete;  // 0.0 to 1.0
  std::optional<QDateTime> completed;
  bool complete = false;
  std::string owner;
};

struct ItemExtras {
  FormattedBody body;
  // True when the Outlook item was unread: its document is marked unread.
  bool unread = false;
  MailExtras mail;
  TaskExtras task;
  // A calendar entry's occurrences, rule, alarm, busy time and people.
  CalendarDetails calendar;
};

}  // namespace norvexa::writers
