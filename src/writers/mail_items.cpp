// The items a Memo gets beyond the memo's own; see mail_items.h.
#include "writers/mail_items.h"

#include "writers/item_values.h"

namespace norvexa::writers {
namespace {

// The RFC 2156 Sensitivity header value of MAPI's sensitivity, "" for normal.
std::string SensitivityText(const std::optional<std::int64_t>& sensitivity) {
  switch (sensitivity.value_or(0)) {
    case 1: return "Personal";
    case 2: return "Private";
    case 3: return "Company-Confidential";
    default: return std::string();
  }
}

}  // namespace

std::string NotesImportance(const std::optional<std::int64_t>& mapi_importance) {
  switch (mapi_importance.value_or(1)) {
    case 2: return "1";
    case 0: return "3";
    default: return "2";
  }
}

std::string InternetSender(const std::string& name, const std::string& address) {
  if (address.empty()) return std::string();
  if (name.empty() || name == address) return address;
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '\r' || c == '\n') continue;
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\" <" + address + ">";
}

void PutMailExtras(Steps& steps, const std::unique_ptr<notes::Document>& document, const MailExtras& extras) {
  const std::string sender = InternetSender(extras.sender_name, extras.sender_address);
  if (!sender.empty()) Put(steps, document, "INetFrom", sender);
  if (!extras.message_id.empty()) Put(steps, document, "$MessageID", extras.message_id);
  if (!extras.in_reply_to.empty()) Put(steps, document, "In_Reply_To", extras.in_reply_to);
  if (!extras.references.empty()) Put(steps, document, "References", extras.references);
  Put(steps, document, "Importance", NotesImportance(extras.importance));
  const std::string sensitivity = SensitivityText(extras.sensitivity);
  if (!sensitivity.empty()) Put(steps, document, "Sensitivity", sensitivity);
  if (!extras.categories.empty()) Put(steps, document, "Categories", notes::TextList(extras.categories));
  const FollowUp& flag = extras.follow_up;
  if (flag.status == 1 || flag.status == 2) {
    Put(steps, document, "FollowUp", flag.request.empty() ? std::string("Follow up") : flag.request);
    // Notes' follow-up status: "1" flagged, "2" done.
    Put(steps, document, "FollowUpStatus", std::string(flag.status == 2 ? "1" : "2"));
    if (flag.due) Put(steps, document, "FollowUpDate", DateValue(flag.due));
    if (flag.status == 1 && flag.completed) Put(steps, document, "FollowUpCompleted", DateValue(flag.completed));
  }
}

}  // namespace norvexa::writers
