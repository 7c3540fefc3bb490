// SendNotesMail: one Outlook mail item as one Notes "Memo" document.
#include "writers/writers.h"

#include "platform/system/text.h"
#include "writers/item_values.h"
#include "writers/notes_target.h"
#include "writers/steps.h"

#include <optional>

namespace norvexa::writers {

namespace {

// The content type of the HTML part of the body, the charset value quoted.
constexpr char kHtmlBodyType[] = "text/html; charset=\"iso-8859-1\"";

}  // namespace

// Writes the mail item into the context's mail database and files it into
// FolderName. Every failing step is passed over and the next one runs, so
// the staged attachment files are deleted even when no document could be
// made. MailFrom becomes SenderName when it holds "CN=" or, trimmed of
// spaces, is empty.
// The session's MIME-conversion switch is turned off while the HTML part of
// the body is made and set back before the document is saved. Returns
// whether the document was saved and, if not, every failure on the way.
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

  std::unique_ptr<notes::Stream> stream;
  std::unique_ptr<notes::RichTextItem> body_item;
  std::unique_ptr<notes::MIMEEntity> html_part;
  steps.Run("creating the stream", [&] { stream = Need(target.session, "session").CreateStream(); });
  steps.Run("writing the stream", [&] { Need(stream, "stream").WriteText(body + "<br><br>"); });
  steps.Run("creating the item Body",
            [&] { body_item = Need(target.document, "document").CreateRichTextItem("Body"); });
  steps.Run("creating the HTML part", [&] { html_part = Need(body_item, "item Body").CreateChildEntity(); });
  steps.Run("setting the HTML part", [&] {
    Need(html_part, "HTML part")
        .SetContentFromText(Need(stream, "stream"), kHtmlBodyType, notes::ENC_QUOTED_PRINTABLE);
  });
  steps.Run("closing the stream", [&] { Need(stream, "stream").Close(); });

  // An X.500 address is no use as a sender in Notes, and a sender known only
  // by name (system messages, drafts, some Exchange mail) has no address at
  // all: in both cases the display name is the sender.
  if (MailFrom.find("CN=") != std::string::npos || sys::Trim(MailFrom).empty()) MailFrom = SenderName;

  Put(steps, target.document, "Form", std::string("Memo"));
  Put(steps, target.document, "From", MailFrom);
  Put(steps, target.document, "CopyTo", MailCC);
  Put(steps, target.document, "BlindCopyTo", MailBCC);
  Put(steps, target.document, "Subject", Subject);
  Put(steps, target.document, "Body", BodyText);
  Put(steps, target.document, "PostedDate", DateValue(MailDate));
  Put(steps, target.document, "Type", std::string("Memo"));
  Put(steps, target.document, "excludeFromView", ExcludeFromViewList(context));
  Put(steps, target.document, "SendTo", MailTo);
  Put(steps, target.document, "Principal", MailFrom);
  if (SentFlag == 0) Put(steps, target.document, "DeliveredDate", DateValue(MailDate));

  // After the attachments and before the save: the switch goes back and
  // the MIME parts are closed.
  return target.Finish(steps, &MailAttachment, FolderName, [&] {
    // Set back only what was read: an unknown switch is left as it is.
    if (convert_mime) {
      steps.Run("restoring convertMime", [&] { Need(target.session, "session").SetConvertMime(*convert_mime); });
    }
    steps.Run("closing the MIME parts",
              [&] { Need(target.document, "document").CloseMIMEEntities(true, "Body"); });
    html_part.reset();
    body_item.reset();
    stream.reset();
  });
}

}  // namespace norvexa::writers
