// SendNotesMail: one Outlook mail item as one Notes "Memo" document.
#include "writers/writers.h"

#include "platform/system/text.h"
#include "writers/item_values.h"
#include "writers/mail_items.h"
#include "writers/mime_body.h"
#include "writers/notes_target.h"
#include "writers/steps.h"

#include <optional>

namespace norvexa::writers {

// Writes the mail item into the context's mail database and files it into
// FolderName. Every failing step is passed over and the next one runs, so
// the staged attachment files are deleted even when no document could be
// made. MailFrom becomes SenderName when it holds "CN=" or, trimmed of
// spaces, is empty.
// The body is the rich-text item "Body" holding the mail as Notes keeps
// Internet mail (mime_body.h): its header block, the plain text and the
// HTML (the item's formatted body, or its plain text as HTML) and the
// pictures the HTML shows. The session's MIME-conversion switch is turned
// off while it is made and set back before the document is saved. Beside
// the memo's own items the document gets what the mail carries beyond them
// (mail_items.h). Returns whether the document was saved and, if not, every
// failure on the way.
WriteResult SendNotesMail(const WriterContext& context, std::string& Subject, StagedFiles& MailAttachment, std::string& MailTo,
                          std::string& MailFrom, std::string& MailCC, std::string& MailBCC,
                          std::string& BodyText, DateArg& MailDate, std::string& FolderName,
                          std::string& SenderName, std::int16_t& SentFlag, bool& /*SaveIt*/) {
  Steps steps(Steps::Mode::Skip);
  NotesTarget target(context);
  target.Begin(steps, context.paths.mail_database, FolderName);

  const std::string body = BodyText;
  std::optional<bool> convert_mime;
  steps.Run("reading convertMime", [&] { convert_mime = Need(target.session, "session").ConvertMime(); });
  steps.Run("clearing convertMime", [&] { Need(target.session, "session").SetConvertMime(false); });
  MimeBody mime = MakeMimeBody(steps, target.session, target.document, body, context.extras.body,
                               context.extras.mail.transport_headers);

  // An X.500 address is no use as a sender in Notes, and a sender known only
  // by name (system messages, drafts, some Exchange mail) has no address at
  // all: in both cases the display name is the sender.
  if (MailFrom.find("CN=") != std::string::npos || sys::Trim(MailFrom).empty()) MailFrom = SenderName;

  Put(steps, target.document, "Form", std::string("Memo"));
  Put(steps, target.document, "From", MailFrom);
  Put(steps, target.document, "CopyTo", MailCC);
  Put(steps, target.document, "BlindCopyTo", MailBCC);
  Put(steps, target.document, "Subject", Subject);
  Put(steps, target.document, "PostedDate", DateValue(MailDate));
  Put(steps, target.document, "Type", std::string("Memo"));
  Put(steps, target.document, "excludeFromView", ExcludeFromViewList(context));
  Put(steps, target.document, "SendTo", MailTo);
  Put(steps, target.document, "Principal", MailFrom);
  // The time the mail arrived, where the store has it apart from the date
  // the mail is dated by.
  if (SentFlag == 0) {
    const DateArg& received = context.extras.mail.received ? context.extras.mail.received : MailDate;
    Put(steps, target.document, "DeliveredDate", DateValue(received));
  }
  PutMailExtras(steps, target.document, context.extras.mail);

  // After the attachments and before the save: the switch goes back and
  // the MIME parts are closed.
  return target.Finish(steps, &MailAttachment, FolderName, [&] {
    // Set back only what was read: an unknown switch is left as it is.
    if (convert_mime) {
      steps.Run("restoring convertMime", [&] { Need(target.session, "session").SetConvertMime(*convert_mime); });
    }
    CloseMimeBody(steps, target.document, mime);
  });
}

}  // namespace norvexa::writers
