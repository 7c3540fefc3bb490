// What a writer is handed besides the item's own values: where the run's
// documents go, how to let the window breathe during a long item, the
// item's source key, the exclude-from-view values and what the item
// carries beyond its writer's arguments. The writers read no
// shared state of the run; everything they need comes in here.
#pragma once

#include "target/run_paths.h"
#include "writers/item_extras.h"
#include "writers/staged_contents.h"

#include <array>
#include <functional>
#include <string>

namespace norvexa::writers {

// The name of the document item that holds the item's source key.
inline constexpr char kSourceKeyItem[] = "NorvexaSourceKey";

struct WriterContext {
  // The run's target databases.
  target::RunPaths paths;
  // Lets the run's view process pending events; called before the attachment
  // item is made and after each attachment. May be empty: no yielding.
  std::function<void()> yield;
  // The source key of the item (outlook::Item::SourceKey), stored in its
  // document as the text item kSourceKeyItem; "" writes no such item.
  std::string source_key;
  // Written as the text list item "excludeFromView" by the mail, calendar
  // and task writers.
  std::array<std::string, 2> exclude_from_view;
  // What the item carries beyond its writer's arguments (item_extras.h).
  ItemExtras extras;
  // The item's staged attachments held in memory, by staged path; the
  // writer releases each once it is embedded. Null: every staged
  // attachment is a file.
  StagedContents* staged = nullptr;

  // Calls YIELD when there is one.
  void Yield() const {
    if (yield) yield();
  }
};

}  // namespace norvexa::writers
