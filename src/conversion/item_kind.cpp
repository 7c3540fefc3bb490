// Which writer an item goes to; see item_kind.h.
#include "conversion/item_kind.h"

#include "platform/outlook/outlook.h"

#include <array>
#include <cctype>
#include <exception>
#include <utility>

namespace norvexa::conversion {
namespace {

// True when CLASS_NAME is BASE or begins with BASE and ".", ignoring case.
bool IsClassOrSubClass(const std::string& class_name, const std::string& base) {
  if (class_name.size() < base.size()) return false;
  for (std::size_t i = 0; i < base.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(class_name[i])) != std::tolower(static_cast<unsigned char>(base[i])))
      return false;
  }
  return class_name.size() == base.size() || class_name[base.size()] == '.';
}

}  // namespace

OwnKind KindOfClass(const std::string& message_class) {
  static const std::array<std::pair<const char*, OwnKind>, 5> kBases = {{
      {"IPM.Note", OwnKind::Mail},
      {"IPM.Appointment", OwnKind::Calendar},
      {"IPM.Task", OwnKind::Task},
      {"IPM.Contact", OwnKind::Person},
      {"IPM.DistList", OwnKind::Group},
  }};
  for (const auto& [base, kind] : kBases) {
    if (IsClassOrSubClass(message_class, base)) return kind;
  }
  return OwnKind::None;
}

ItemKind KindOfItem(const outlook::Item& item, FolderKind folder) {
  OwnKind own = OwnKind::None;
  try {
    own = KindOfClass(item.MessageClass());
  } catch (const std::exception&) {
    // An unreadable class says nothing about the item: its folder decides.
    own = OwnKind::None;
  }
  switch (own) {
    case OwnKind::Mail: return ItemKind::Mail;
    case OwnKind::Calendar: return ItemKind::Calendar;
    case OwnKind::Task: return ItemKind::Task;
    case OwnKind::Person: return ItemKind::Person;
    case OwnKind::Group: return ItemKind::Group;
    case OwnKind::None: break;
  }
  switch (folder) {
    case FolderKind::Contact: return ItemKind::Person;
    case FolderKind::Mail: return ItemKind::Mail;
    case FolderKind::Calendar: return ItemKind::Calendar;
    case FolderKind::Task: return ItemKind::Task;
  }
  return ItemKind::Mail;
}

}  // namespace norvexa::conversion
