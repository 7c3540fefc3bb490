// Damage lists and the scopes of the objects being read (see damage_log.h).
#include "platform/outlook/damage_log.h"

namespace norvexa::outlook::pst {

std::uint64_t OffsetOf(const OutlookError& error, std::uint64_t fallback) {
  const auto* damage = dynamic_cast<const DamageError*>(&error);
  return damage != nullptr ? damage->offset() : fallback;
}

std::string WithoutFileName(std::string message, const std::string& file) {
  if (file.empty()) return message;
  const std::string prefix = file + ": ";
  for (std::size_t at = message.find(prefix); at != std::string::npos; at = message.find(prefix, at)) {
    message.erase(at, prefix.size());
  }
  return message;
}

void DamageLog::Add(const Damage& damage) {
  if (!seen_.emplace(damage.offset, damage.what).second) return;
  // One place is kept for the count of what was left out.
  if (entries_.size() + 1 >= limit_) {
    ++left_out_;
    return;
  }
  entries_.push_back(damage);
}

void DamageLog::AddAll(const std::vector<Damage>& other) {
  for (const Damage& d : other) Add(d);
}

std::vector<Damage> DamageLog::entries() const {
  std::vector<Damage> all = entries_;
  if (left_out_ > 0) {
    all.push_back(Damage{all.empty() ? 0 : all.back().offset,
                         "and " + std::to_string(left_out_) + " more damaged parts not listed"});
  }
  return all;
}

void DamageListeners::Note(const Damage& damage) const {
  ++notes_;
  for (DamageLog* log : logs_) log->Add(damage);
}

DamageScope::DamageScope(const DamageListeners& listeners, DamageLog* log) : listeners_(listeners) {
  if (log == nullptr) return;
  listeners_.logs_.push_back(log);
  pushed_ = true;
}

DamageScope::~DamageScope() {
  if (pushed_) listeners_.logs_.pop_back();
}

}  // namespace norvexa::outlook::pst
