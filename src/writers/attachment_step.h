// The attachment step of the mail, calendar and task writers: every staged
// file listed in MailAttachment is embedded into the rich-text item
// "Attachment" of the document and then deleted.
#pragma once

#include "platform/notes/notes.h"
#include "writers/steps.h"

#include <memory>
#include <string>

namespace norvexa::writers {

// When MAIL_ATTACHMENT, trimmed of spaces, is not empty: drops its first
// character (the leading "|") in the caller's text, splits the rest at "|",
// yields to the message loop, creates the item "Attachment" (a step under
// the writer's policy), then, with every failure passed over from the first
// path on, for each path in order embeds the file (type 1454, class "",
// name "Attachment"), deletes the file if one is still there, and yields to
// the message loop. A listed path without a file is passed over; a folder
// is never deleted. Returns true when the step ran (the list was not
// empty), which also means STEPS now skips failures.
bool EmbedStagedAttachments(Steps& steps, const std::unique_ptr<notes::Document>& document,
                            std::string& MailAttachment);

}  // namespace norvexa::writers
