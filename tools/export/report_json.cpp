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

// The JSON array of what MAKE makes of each element of LIST, in order.
template <typename List, typename Make>
QJsonArray ArrayOf(const List& list, Make make) {
  QJsonArray array;
  for (const auto& element : list) array.append(make(element));
  return array;
}

// DAMAGE as a list of {offset, what}, the offset a number of bytes from the
// start of the store file.
QJsonArray DamageList(const std::vector<outlook::Damage>& damage) {
  return ArrayOf(damage, [](const outlook::Damage& d) {
    return QJsonObject{{"offset", Number(static_cast<std::int64_t>(d.offset))}, {"what", Text(d.what)}};
  });
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

// A folder the run went through, with its counts.
QJsonObject FolderCounts(const conversion::RunReport::FolderAccount& folder) {
  return QJsonObject{{"path", Text(folder.name)},
                     {"copied", Number(folder.copied)},
                     {"not_copied", Number(folder.failed)},
                     {"already_in_database", Number(folder.skipped)}};
}

// A folder that could not be read, with why and (where known) how many
// items it holds.
QJsonObject FolderNotRead(const conversion::RunReport::FolderFailure& failure) {
  return QJsonObject{{"path", Text(failure.name)},
                     {"reason", Text(failure.reason)},
                     {"items", failure.items ? Number(*failure.items) : QJsonValue()}};
}

// The lists of what the run of REPORT met, by the report's keys: the
// folders with their counts, the items not copied and those met in damaged
// parts (folder by folder), the folders not read, not converted or read
// from damaged parts, and the damage of the store's own structures.
void AddRunLists(const conversion::RunReport& report, QJsonObject& o) {
  QJsonArray failed_items, damaged_items;
  for (const auto& folder : report.Folders()) {
    for (const auto& failure : folder.failures) {
      failed_items.append(
          QJsonObject{{"folder", Text(folder.name)}, {"item", Text(failure.label)}, {"reason", Text(failure.reason)}});
    }
    for (const auto& item : folder.damaged) {
      damaged_items.append(QJsonObject{{"folder", Text(folder.name)},
                                       {"item", Text(item.label)},
                                       {"kind", KindName(item.kind)},
                                       {"damage", DamageList(item.damage)},
                                       {"lost", Text(item.lost)}});
    }
  }
  o["folders"] = ArrayOf(report.Folders(), FolderCounts);
  o["failed_items"] = failed_items;
  o["damaged_items"] = damaged_items;
  o["folders_not_read"] = ArrayOf(report.FolderFailures(), FolderNotRead);
  o["folders_not_converted"] = ArrayOf(report.NotConverted(), [](const auto& folder) {
    return QJsonObject{{"path", Text(folder.name)}, {"class", Text(folder.message_class)}};
  });
  o["damaged_folders"] = ArrayOf(report.DamagedFolders(), [](const auto& folder) {
    return QJsonObject{{"path", Text(folder.name)}, {"damage", DamageList(folder.damage)}};
  });
  o["store_damage"] = DamageList(report.StoreDamage());
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
  // Before the run began there is nothing to list: every list is empty.
  if (result.report) {
    AddRunLists(*result.report, o);
  } else {
    for (const char* key : {"folders", "failed_items", "damaged_items", "folders_not_read", "folders_not_converted",
                            "damaged_folders", "store_damage"})
      o[QLatin1String(key)] = QJsonArray();
  }
  return o;
}

QByteArray JsonLine(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace norvexa::exporter
