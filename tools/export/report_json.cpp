// The completion report as JSON; see report_json.h.
#include "report_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace norvexa::exporter {
namespace {

// TEXT as a JSON string.
QJsonValue Text(const std::string& text) { return QJsonValue(QString::fromStdString(text)); }

// TEXT, or null when it is empty.
QJsonValue TextOrNull(const std::string& text) { return text.empty() ? QJsonValue() : Text(text); }

// N as a JSON number.
QJsonValue Number(std::int64_t n) { return QJsonValue(static_cast<qint64>(n)); }

// DAMAGE as a list of {offset, what}, the offset a number of bytes from the
// start of the store file.
QJsonArray DamageList(const std::vector<outlook::Damage>& damage) {
  QJsonArray list;
  for (const outlook::Damage& d : damage) {
    list.append(QJsonObject{{"offset", Number(static_cast<std::int64_t>(d.offset))}, {"what", Text(d.what)}});
  }
  return list;
}

// The name the report gives damage of KIND.
const char* KindName(conversion::RunReport::DamageKind kind) {
  switch (kind) {
    case conversion::RunReport::DamageKind::ReadFromDamagedParts: return "read from damaged parts";
    case conversion::RunReport::DamageKind::CopiedWithoutAPart: return "copied without a part";
    case conversion::RunReport::DamageKind::NotCopied: return "not copied";
  }
  return "";
}

// The "items" object: the items of the chosen folders and, once the run
// began, what became of them.
QJsonObject ItemCounts(const StoreReport& result) {
  QJsonObject items{{"in_chosen_folders", Number(result.items_in_folders)}};
  if (!result.report) return items;
  const conversion::RunReport& report = *result.report;
  items["copied"] = Number(report.Copied());
  items["already_in_database"] = Number(report.Skipped());
  items["not_copied"] = Number(report.NotCopied());
  items["failed"] = Number(report.Failed());
  items["in_folders_not_read"] = Number(report.Unread());
  items["not_reached"] = Number(report.ItemsLeft());
  items["read_from_damaged_parts"] = Number(report.DamagedItems(conversion::RunReport::DamageKind::ReadFromDamagedParts));
  items["copied_without_a_part"] = Number(report.DamagedItems(conversion::RunReport::DamageKind::CopiedWithoutAPart));
  return items;
}

// Each folder of REPORT with its counts.
QJsonArray FolderCounts(const conversion::RunReport& report) {
  QJsonArray folders;
  for (const auto& folder : report.Folders()) {
    folders.append(QJsonObject{{"path", Text(folder.name)},
                               {"copied", Number(folder.copied)},
                               {"not_copied", Number(folder.failed)},
                               {"already_in_database", Number(folder.skipped)}});
  }
  return folders;
}

// Every item of REPORT not copied, folder by folder, with why.
QJsonArray FailedItems(const conversion::RunReport& report) {
  QJsonArray items;
  for (const auto& folder : report.Folders()) {
    for (const auto& failure : folder.failures) {
      items.append(QJsonObject{{"folder", Text(folder.name)}, {"item", Text(failure.label)}, {"reason", Text(failure.reason)}});
    }
  }
  return items;
}

// Every item of REPORT met in damaged parts of the file, folder by folder,
// with the damage and what was lost of it.
QJsonArray DamagedItems(const conversion::RunReport& report) {
  QJsonArray items;
  for (const auto& folder : report.Folders()) {
    for (const auto& item : folder.damaged) {
      items.append(QJsonObject{{"folder", Text(folder.name)},
                               {"item", Text(item.label)},
                               {"kind", KindName(item.kind)},
                               {"damage", DamageList(item.damage)},
                               {"lost", Text(item.lost)}});
    }
  }
  return items;
}

// The folders of REPORT read from damaged parts, with the damage.
QJsonArray DamagedFolders(const conversion::RunReport& report) {
  QJsonArray folders;
  for (const auto& folder : report.DamagedFolders()) {
    folders.append(QJsonObject{{"path", Text(folder.name)}, {"damage", DamageList(folder.damage)}});
  }
  return folders;
}

// The folders of REPORT that could not be read, with why and (where known)
// how many items they hold.
QJsonArray FoldersNotRead(const conversion::RunReport& report) {
  QJsonArray folders;
  for (const auto& failure : report.FolderFailures()) {
    folders.append(QJsonObject{{"path", Text(failure.name)},
                               {"reason", Text(failure.reason)},
                               {"items", failure.items ? Number(*failure.items) : QJsonValue()}});
  }
  return folders;
}

// The folders of REPORT whose kind of item the run does not convert.
QJsonArray FoldersNotConverted(const conversion::RunReport& report) {
  QJsonArray folders;
  for (const auto& folder : report.NotConverted()) {
    folders.append(QJsonObject{{"path", Text(folder.name)}, {"class", Text(folder.message_class)}});
  }
  return folders;
}

}  // namespace

QJsonObject ReportJson(const StoreReport& result) {
  QJsonObject o;
  o["store"] = Text(result.store);
  o["store_name"] = TextOrNull(result.store_name);
  o["target"] = QJsonObject{
      {"kind", result.target.kind == TargetKind::ExistingDatabase ? "existing-database" : "new-database"},
      {"path", Text(result.target.path)}};
  o["resume"] = result.resume;
  o["status"] = result.status;
  o["reason"] = Text(result.reason);
  o["mail_database"] = TextOrNull(result.mail_database);
  o["address_book"] = TextOrNull(result.address_book);
  o["seconds"] = result.seconds;
  o["items"] = ItemCounts(result);
  // Before the run began there is nothing to list.
  const conversion::RunReport* report = result.report ? &*result.report : nullptr;
  o["folders"] = report ? FolderCounts(*report) : QJsonArray();
  o["failed_items"] = report ? FailedItems(*report) : QJsonArray();
  o["folders_not_read"] = report ? FoldersNotRead(*report) : QJsonArray();
  o["folders_not_converted"] = report ? FoldersNotConverted(*report) : QJsonArray();
  o["damaged_items"] = report ? DamagedItems(*report) : QJsonArray();
  o["damaged_folders"] = report ? DamagedFolders(*report) : QJsonArray();
  o["store_damage"] = report ? DamageList(report->StoreDamage()) : QJsonArray();
  return o;
}

QByteArray JsonLine(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace norvexa::exporter
