// A writer's session, database and document, and the steps on them that
// every writer takes.
#include "writers/notes_target.h"

#include "writers/attachment_step.h"
#include "writers/item_values.h"
#include "writers/session_probe.h"

#include <utility>

namespace norvexa::writers {

namespace {

SessionProbe& InstalledProbe() {
  static SessionProbe probe;
  return probe;
}

// A writer's result: saved or not, with the failures STEPS passed over (a
// saved document lacks what those steps would have put).
WriteResult Outcome(bool saved, const Steps& steps) {
  // A saved document may still lack a part whose step failed (an attachment
  // that did not fit on the disk): that is said too, never dropped.
  if (saved) return {true, steps.Failures()};
  return {false, steps.Failures().empty() ? "the document was not saved" : steps.Failures()};
}

}  // namespace

void SetSessionProbe(SessionProbe probe) { InstalledProbe() = std::move(probe); }

void ProbeSession(notes::Session& session) {
  if (InstalledProbe()) InstalledProbe()(session);
}

void NotesTarget::Begin(Steps& steps, const std::string& path, const std::string& enable_folder) {
  steps.Run("creating the Notes session", [&] { session = std::make_unique<notes::Session>(); });
  steps.Run("opening the database " + path,
            [&] { database = Need(session, "session").GetDatabase("", path); });
  if (!enable_folder.empty()) {
    steps.Run("making the folder " + enable_folder,
              [&] { Need(database, "database").EnableFolder(enable_folder); });
  }
  steps.Run("creating the document", [&] { document = Need(database, "database").CreateDocument(); });
}

WriteResult NotesTarget::Finish(Steps& steps, StagedFiles* attachments, const std::string& folder,
                                const std::function<void()>& before_save) {
  if (attachments) EmbedStagedAttachments(steps, document, *attachments, context_);
  if (before_save) before_save();

  // A document that names its item is kept only whole: one that lacks a
  // part (a step above failed) is not saved, so that an item the run
  // reports as not copied is not in the database either, and a later run
  // (--resume) writes it again.
  if (!context_.source_key.empty() && !steps.Failures().empty()) {
    Release();
    return {false, "the document was not kept without its part: " + steps.Failures()};
  }
  // The item's source key goes into the document with it, in the same
  // save, so that a document in the database always says which item it
  // came from.
  if (!context_.source_key.empty()) Put(steps, document, kSourceKeyItem, context_.source_key);
  // An item the user had not read stays unread; the mark is stored with the
  // document's save.
  if (context_.extras.unread) steps.Run("marking the document unread", [&] { Need(document, "document").MarkUnread(); });
  bool saved = false;
  steps.Run("saving the document", [&] {
    saved = Need(document, "document").Save(false, false);
    if (!saved) throw notes::NotesError("the database did not store the document");
  });
  steps.Run("filing the document into " + folder, [&] { Need(document, "document").PutInFolder(folder); });
  Release();
  return Outcome(saved, steps);
}

void NotesTarget::Release() {
  document.reset();
  database.reset();
  if (session) ProbeSession(*session);
  session.reset();
}

}  // namespace norvexa::writers
