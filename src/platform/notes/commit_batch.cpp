// CommitBatch: one transaction for the writes of many documents, committed
// at document boundaries (notes.h says when).
#include "platform/notes/notes.h"
#include "platform/notes/sqlite_store.h"

namespace norvexa::notes {

CommitBatch::CommitBatch(const std::filesystem::path& path, CommitLimits limits)
    : state_(internal::StartBatch(path, limits)) {}

CommitBatch::~CommitBatch() { internal::EndBatch(state_); }

bool CommitBatch::EndOfDocument() {
  internal::BatchState& batch = *state_;
  if (!batch.lost.empty()) return internal::CommitBatchNow(batch);  // throws the loss
  if (!batch.open) return false;
  ++batch.documents;
  const bool full = batch.documents >= batch.allowed;
  const bool old = std::chrono::steady_clock::now() - batch.began >= batch.limits.age;
  return (full || old) && internal::CommitBatchNow(batch);
}

void CommitBatch::Commit() { internal::CommitBatchNow(*state_); }

bool CommitBatch::Pending() const { return state_->open; }

}  // namespace norvexa::notes
