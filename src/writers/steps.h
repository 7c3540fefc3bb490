// How a writer treats a failing back-end call: passed over (the failure is
// recorded and the next step runs) or handed to the caller at once.
#pragma once

#include "platform/notes/notes.h"

#include <exception>
#include <memory>
#include <string>
#include <utility>

namespace norvexa::writers {

class Steps {
 public:
  enum class Mode { Skip, Throw };

  explicit Steps(Mode mode) : mode_(mode) {}

  // Runs STEP, which WHAT names ("opening the database"). When STEP throws a
  // std::exception: in skip mode the failure is recorded and false returned;
  // in throw mode a NotesError "WHAT: <message>" reaches the caller. Returns
  // true when STEP returned normally. Anything not derived from
  // std::exception (such as a test's exit signal) is never caught.
  template <class F>
  bool Run(const std::string& what, F&& step) {
    try {
      std::forward<F>(step)();
      return true;
    } catch (const std::exception& e) {
      std::string failure = what + ": " + e.what();
      if (mode_ == Mode::Throw) throw notes::NotesError(failure);
      Record(std::move(failure));
      return false;
    }
  }

  // From here on every failure is passed over.
  void SkipFromHere() { mode_ = Mode::Skip; }

  // The failures passed over so far, joined by "; " ("" when none).
  const std::string& Failures() const { return failures_; }

 private:
  void Record(std::string failure) {
    if (!failures_.empty()) failures_ += "; ";
    failures_ += failure;
  }

  Mode mode_;
  std::string failures_;
};

// The object held by P; throws NotesError naming WHAT when an earlier step
// that should have made it failed.
template <class T>
T& Need(const std::unique_ptr<T>& p, const char* what) {
  if (!p) throw notes::NotesError(std::string("no ") + what + " (an earlier step failed)");
  return *p;
}

}  // namespace norvexa::writers
