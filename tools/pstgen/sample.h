// The built-in "Sample Mailbox" that ./run offers a new user.
#pragma once

#include "model.h"

namespace norvexa::pstgen {

// The sample mailbox: mail folders with sub-folders, calendar, tasks,
// contacts with a distribution list, journal and notes, attachments.
MailboxSpec SampleMailbox();

}  // namespace norvexa::pstgen
