// The items a Memo gets beyond the memo's own: what Internet mail carries
// (the sender's Internet address with its display name, message ids,
// importance, sensitivity, categories, the follow-up flag), under the
// names and in the value forms Notes uses for them (docs/notes-database.md,
// "Mail beyond the memo").
#pragma once

#include "platform/notes/notes.h"
#include "writers/item_extras.h"
#include "writers/steps.h"

#include <memory>
#include <optional>
#include <string>

namespace norvexa::writers {

// Notes' importance ("1" high, "2" normal, "3" low) of MAPI's (2 high, 1
// normal, 0 low); an item without one is of normal importance.
std::string NotesImportance(const std::optional<std::int64_t>& mapi_importance);

// The sender as an RFC 5322 mailbox: "Display Name" <address>, the bare
// address when the name is empty or the address itself, "" without an
// address. Quotes and backslashes in the name are escaped.
std::string InternetSender(const std::string& name, const std::string& address);

// Puts the items of EXTRAS into DOCUMENT, each a step of STEPS: INetFrom,
// $MessageID, In_Reply_To, References (each only when the mail has one),
// Importance, Sensitivity (unless normal), Categories (a text list, when
// there are any) and the follow-up flag (FollowUp, FollowUpStatus,
// FollowUpDate, when the mail is flagged or its flag complete).
void PutMailExtras(Steps& steps, const std::unique_ptr<notes::Document>& document, const MailExtras& extras);

}  // namespace norvexa::writers
