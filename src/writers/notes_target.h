// The Notes objects one writer holds for one document (its own session, the
// target database and the new document) and the first and last steps every
// writer takes on them. They are released in the order document, database,
// session, also when a step throws.
#pragma once

#include "platform/notes/notes.h"
#include "writers/steps.h"
#include "writers/writers.h"

#include <functional>
#include <memory>
#include <string>

namespace norvexa::writers {

class NotesTarget {
 public:
  explicit NotesTarget(const WriterContext& context) : context_(context) {}
  ~NotesTarget() { Release(); }
  NotesTarget(const NotesTarget&) = delete;
  NotesTarget& operator=(const NotesTarget&) = delete;

  // The first steps: creates the session, opens DATABASE (server ""), makes
  // the folder ENABLE_FOLDER when it is not "", and creates the document;
  // each a step of STEPS.
  void Begin(Steps& steps, const std::string& database, const std::string& enable_folder);

  // The last steps, in this order: when ATTACHMENTS is not null, the
  // attachment step (see attachment_step.h); BEFORE_SAVE when given; the
  // text item kSourceKeyItem holding the context's source key when that is
  // not ""; the unread mark when the item was unread; Save with 0 and 0; PutInFolder FOLDER; then the release of the
  // document, the database and the session. Each back-end call is a step.
  // With a source key, a document that a step before the save failed on is
  // not saved at all. Returns whether the document was saved and what the
  // steps passed over.
  WriteResult Finish(Steps& steps, StagedFiles* attachments, const std::string& folder,
                     const std::function<void()>& before_save = {});

  // Releases the document, the database and the session, in that order.
  void Release();

  std::unique_ptr<notes::Session> session;
  std::unique_ptr<notes::Database> database;
  std::unique_ptr<notes::Document> document;

 private:
  const WriterContext& context_;
};

}  // namespace norvexa::writers
