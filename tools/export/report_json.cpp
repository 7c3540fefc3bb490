// The completion report as JSON; see report_json.h.
#include "report_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace norvexa::exporter {
namespace {

QJsonValue Text(const std::string& text) { return QJsonValue(QString::fromStdString(text)); }

// TEXT, or null when it is empty.
QJsonValue TextOrNull(const std::string& text) { return text.empty() ? QJsonValue() : Text(text); }

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

const char* KindName(conversion::RunReport::DamageKind kind) {
  switch (kind) {
    case conversion::RunReport::DamageKind::ReadFromDamagedParts: return "read from damaged parts";
    case conversion::RunReport::DamageKind::CopiedWithoutAPart: return "copied without a part";
    case conversion::RunReport::DamageKind::NotCopied: return "not copied";
  }
  return "";
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

  QJsonObject items{{"in_chosen_folders", Number(result.items_in_folders)}};
  QJsonArray folders, failed_items, not_read, not_converted, damaged_items, damaged_folders, store_damage;
  if (result.report) {
    const conversion::RunReport& report = *result.report;
    items["copied"] = Number(report.Copied());
    items["already_in_database"] = Number(report.Skipped());
    items["not_copied"] = Number(report.NotCopied());
    items["failed"] = Number(report.Failed());
    items["in_folders_not_read"] = Number(report.Unread());
    items["not_reached"] = Number(report.ItemsLeft());
    items["read_from_damaged_parts"] = Number(report.DamagedItems(conversion::RunReport::DamageKind::ReadFromDamagedParts));
    items["copied_without_a_part"] = Number(report.DamagedItems(conversion::RunReport::DamageKind::CopiedWithoutAPart));
    for (const auto& folder : report.Folders()) {
      folders.append(QJsonObject{{"path", Text(folder.name)},
                                 {"copied", Number(folder.copied)},
                                 {"not_copied", Number(folder.failed)},
                                 {"already_in_database", Number(folder.skipped)}});
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
    for (const auto& folder : report.DamagedFolders()) {
      damaged_folders.append(QJsonObject{{"path", Text(folder.name)}, {"damage", DamageList(folder.damage)}});
    }
    store_damage = DamageList(report.StoreDamage());
    for (const auto& failure : report.FolderFailures()) {
      not_read.append(QJsonObject{{"path", Text(failure.name)},
                                  {"reason", Text(failure.reason)},
                                  {"items", failure.items ? Number(*failure.items) : QJsonValue()}});
    }
    for (const auto& folder : report.NotConverted()) {
      not_converted.append(QJsonObject{{"path", Text(folder.name)}, {"class", Text(folder.message_class)}});
    }
  }
  o["items"] = items;
  o["folders"] = folders;
  o["failed_items"] = failed_items;
  o["folders_not_read"] = not_read;
  o["folders_not_converted"] = not_converted;
  o["damaged_items"] = damaged_items;
  o["damaged_folders"] = damaged_folders;
  o["store_damage"] = store_damage;
  return o;
}

QByteArray JsonLine(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace norvexa::exporter
