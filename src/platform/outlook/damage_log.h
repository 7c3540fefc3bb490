// What the reader says about damage it read through: the error that names a
// place of the file, a bounded list of Damage kept by each object of a store
// (item, folder, the store itself), and the scopes that say which objects are
// being read while the node database meets a damaged page or block, so that
// each of them learns of it.
#pragma once

#include "platform/outlook/outlook.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace norvexa::outlook::pst {

// An OutlookError found at a known place of the file: OFFSET is where the
// structure that failed its check starts (a page, a block).
class DamageError : public OutlookError {
 public:
  DamageError(const std::string& message, std::uint64_t offset) : OutlookError(message), offset_(offset) {}
  std::uint64_t offset() const { return offset_; }

 private:
  std::uint64_t offset_;
};

// The offset an OutlookError names, or FALLBACK when it names none.
std::uint64_t OffsetOf(const OutlookError& error, std::uint64_t fallback);

// MESSAGE without the name of the store file FILE wherever it names it
// ("FILE: "): damage lists are about that one file.
std::string WithoutFileName(std::string message, const std::string& file);

// A list of Damage without repeats, of at most LIMIT entries: past it, the
// last entry counts what was left out (a file damaged all over must not make
// every object hold a long list).
class DamageLog {
 public:
  explicit DamageLog(std::size_t limit = 32) : limit_(limit < 2 ? 2 : limit) {}

  // Adds DAMAGE unless it is listed already.
  void Add(const Damage& damage);
  void Add(std::uint64_t offset, std::string what) { Add(Damage{offset, std::move(what)}); }
  // Adds every entry of OTHER.
  void AddAll(const std::vector<Damage>& other);

  // The entries in the order they were added, and a last one saying how
  // many more were left out, if any were.
  std::vector<Damage> entries() const;
  bool empty() const { return entries_.empty(); }
  // How many different entries were added, those left out included.
  std::size_t count() const { return entries_.size() + left_out_; }

 private:
  std::size_t limit_;
  std::vector<Damage> entries_;
  std::set<std::pair<std::uint64_t, std::string>> seen_;
  std::size_t left_out_ = 0;
};

// The logs of the objects being read at the moment, innermost last: a damaged
// part met now is noted in each. Held by the node database; one thread at a
// time, as the rest of the store access.
class DamageListeners {
 public:
  // Adds DAMAGE to every log in scope; counts it in notes().
  void Note(const Damage& damage) const;
  // How many times Note was called: a reader compares two values to learn
  // whether it met damage in between, whatever logs were in scope.
  std::uint64_t notes() const { return notes_; }

 private:
  friend class DamageScope;
  mutable std::vector<DamageLog*> logs_;
  mutable std::uint64_t notes_ = 0;
};

// Puts LOG in scope of LISTENERS for the scope's lifetime (a null LOG puts
// nothing). Scopes nest; each ends before the one around it.
class DamageScope {
 public:
  DamageScope(const DamageListeners& listeners, DamageLog* log);
  ~DamageScope();
  DamageScope(const DamageScope&) = delete;
  DamageScope& operator=(const DamageScope&) = delete;

 private:
  const DamageListeners& listeners_;
  bool pushed_ = false;
};

}  // namespace norvexa::outlook::pst
