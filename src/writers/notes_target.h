// The Notes objects one writer holds for one document: its own session, the
// target database and the new document. They are released in the order
// document, database, session, also when a step throws.
#pragma once

#include "platform/notes/notes.h"
#include "writers/steps.h"
#include "writers/writers.h"

#include <memory>
#include <string>

namespace norvexa::writers {

class NotesTarget {
 public:
  NotesTarget() = default;
  ~NotesTarget() { Release(); }
  NotesTarget(const NotesTarget&) = delete;
  NotesTarget& operator=(const NotesTarget&) = delete;

  // Creates the session and opens the database at PATH (server ""), each a
  // step of STEPS.
  void Open(Steps& steps, const std::string& path);

  // Makes folder NAME in the database (a step).
  void EnableFolder(Steps& steps, const std::string& name);

  // Creates the document (a step).
  void CreateDocument(Steps& steps);

  // Puts the text item Global::kSourceKeyItem holding Global::SourceKey when
  // that is not "" (a step), then saves the document with 0 and 0 (a
  // step). True when Save returned true.
  bool Save(Steps& steps);

  // Lists the document in folder NAME (a step).
  void PutInFolder(Steps& steps, const std::string& name);

  // Releases the document, the database and the session, in that order.
  void Release();

  std::unique_ptr<notes::Session> session;
  std::unique_ptr<notes::Database> database;
  std::unique_ptr<notes::Document> document;
};

// A writer's result: saved or not, with the failures STEPS passed over (a
// saved document lacks what those steps would have put).
WriteResult Outcome(bool saved, const Steps& steps);

}  // namespace norvexa::writers
