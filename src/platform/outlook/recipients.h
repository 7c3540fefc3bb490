// The recipients of a message as a store reader lists them: one recipient
// read from its row of a recipient table, and the list outlook.h's
// Item::RecipientList gives.
#pragma once

#include "platform/outlook/outlook.h"
#include "platform/outlook/property_bag.h"

#include <string>
#include <vector>

namespace norvexa::outlook::items {

// One recipient of a message (for writing attached messages out).
struct Recipient {
  int type = mapi::MAPI_TO;  // PR_RECIPIENT_TYPE: MAPI_TO, MAPI_CC or MAPI_BCC
  std::string name;
  std::string address;
};

// One recipient from its row ROW of a recipient table (PR_SMTP_ADDRESS,
// else PR_EMAIL_ADDRESS). Throws OutlookError when a value cannot be read.
Recipient RecipientFromRow(const PropertyBag& row);

// RECIPIENTS as outlook.h's recipient entries, in order. Never throws.
std::vector<RecipientEntry> ToRecipientEntries(const std::vector<Recipient>& recipients);

}  // namespace norvexa::outlook::items
