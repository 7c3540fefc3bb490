// The completion report of one export as one JSON object, for scripts: the
// store and target, the exit status and its reason, the databases written,
// the item counts, each folder's counts, every item not copied with its
// reason, the folders not read and those not converted, and what damage of
// the store file touched: the items read from damaged parts, copied
// without a part or not copied because of it, the folders read from
// damaged parts and the damage of the store's indexes, each with the file
// offsets of the damage.
#pragma once

#include "store_export.h"

#include <QByteArray>
#include <QJsonObject>

namespace norvexa::exporter {

QJsonObject ReportJson(const StoreReport& result);

// OBJECT as one line of compact JSON, ending in a new line.
QByteArray JsonLine(const QJsonObject& object);

}  // namespace norvexa::exporter
