// The recipients of a message (see recipients.h).
#include "platform/outlook/recipients.h"

namespace norvexa::outlook::items {

Recipient RecipientFromRow(const PropertyBag& row) {
  Recipient r;
  r.type = static_cast<int>(row.Integer(row.Find(mapi::PR_RECIPIENT_TYPE)).value_or(mapi::MAPI_TO));
  r.name = row.Text(mapi::PR_DISPLAY_NAME);
  r.address = row.Text(mapi::PR_SMTP_ADDRESS);
  if (r.address.empty()) r.address = row.Text(mapi::PR_EMAIL_ADDRESS);
  return r;
}

std::vector<RecipientEntry> ToRecipientEntries(const std::vector<Recipient>& recipients) {
  std::vector<RecipientEntry> list;
  for (const Recipient& r : recipients) {
    RecipientEntry entry;
    entry.kind = r.type == mapi::MAPI_CC    ? RecipientEntry::Kind::Cc
                 : r.type == mapi::MAPI_BCC ? RecipientEntry::Kind::Bcc
                                            : RecipientEntry::Kind::To;
    entry.name = r.name;
    entry.address = r.address;
    list.push_back(std::move(entry));
  }
  return list;
}

}  // namespace norvexa::outlook::items
