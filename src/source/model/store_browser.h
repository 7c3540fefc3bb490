// The store browser: the source side of the main window as a plain class,
// as the conversion run is for the save window. It lists the stores that
// the profile offers, fills a folder tree for a picked store, and opens a
// .pst file, and returns what it reached and what went wrong as values: it
// shows nothing itself, so the window decides which failure the user hears
// of. Every operation opens its own store-access session and logs it off on
// every path; while it works, the session and the store being read are held
// in two slots the caller lends it (the main window's CurrentSession and
// CurrentStore), and both slots are empty again when it returns.
#pragma once

#include "platform/outlook/outlook.h"
#include "source/model/folder_nodes.h"
#include "source/model/store_entry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvexa::source {

// Why an operation of the browser stopped short.
enum class BrowseFailure {
  LogOn,           // no session could be logged on: Outlook is not configured
  NotAStoreEntry,  // the picked text names no store (the list's initial text)
  StoreNotFound,   // the store the picked entry names could not be opened
  NotLoaded,       // the .pst file could not be opened, or its store offers nothing
  ReadFailed,      // the store's folders could not be read to the end
};

struct BrowseError {
  BrowseFailure failure = BrowseFailure::LogOn;
  std::string detail;  // what the store access said; "" when nothing failed there
};

// The stores the profile offers, or why there is no list.
struct StoreListing {
  std::vector<StoreOffer> stores;    // in the profile's order
  std::optional<BrowseError> error;  // only ever LogOn; STORES is then empty
};

// How a fill of the folder tree went.
struct TreeFill {
  // The identifier of the store the fill was for, once it was known (also
  // when the store then could not be opened or read).
  std::optional<std::string> store_id;
  // Empty when the tree shows the store with every node ticked.
  std::optional<BrowseError> error;
};

class StoreBrowser {
 public:
  // SESSION and STORE are the slots in which an operation holds its session
  // and the store it is reading; they are emptied (the session logged off)
  // before each operation returns, whatever happened.
  StoreBrowser(std::unique_ptr<outlook::Session>& session, std::unique_ptr<outlook::Store>& store);

  // Logs on to the default profile and lists every store whose offer text,
  // trimmed of blanks, is not empty, each held in the store slot while it
  // is examined. A store that cannot be read is passed over, as is a store
  // list that cannot be read at all. Lists anew on every call: nothing is
  // kept from one listing to the next. Error LogOn, with no stores, when
  // the session cannot be created or logged on.
  StoreListing ListStores();

  // Fills SINK with the store that the store list entry ENTRY names: logs
  // on and yields, reads the identifier from ENTRY (its text after the last
  // "#"), opens that store (the identifier trimmed of blanks), and only then
  // removes every node and adds the store's (FillTree's steps); then logs
  // off, yields and completes the tree (SINK's FillCompleted). Errors: LogOn
  // and NotAStoreEntry leave SINK untouched, and so does StoreNotFound, which
  // comes with the identifier read; ReadFailed ends the fill where the read
  // failed, the nodes added so far staying unticked.
  TreeFill ShowStore(const std::string& entry, FolderTreeSink& sink);

  // Opens the .pst file at PATH (trimmed of blanks) as a store in a session
  // of its own and, when the store's offer text trimmed is not empty, calls
  // SHOW with the store's identifier while the store is held in the store
  // slot; SHOW fills the tree from it. Errors: LogOn; NotLoaded when the
  // file cannot be opened or its store offers nothing (SHOW is not called);
  // ReadFailed when SHOW throws OutlookError, with the store's identifier.
  TreeFill OpenPst(const std::string& path, const std::function<void(const std::string& store_id)>& show);

  // Fills SINK from the open STORE: removes every node, adds the root (the
  // store's display name) and every supported folder below it in pre-order,
  // and completes the tree. Throws OutlookError when the store cannot be
  // read; the nodes added until then stay, unticked.
  static void FillTree(const outlook::Store& store, FolderTreeSink& sink);

 private:
  // FillTree without the completion: a fill in a session completes the
  // tree only once the session is logged off.
  static void AddStoreNodes(const outlook::Store& store, FolderTreeSink& sink);

  std::unique_ptr<outlook::Session>& session_;
  std::unique_ptr<outlook::Store>& store_;
};

}  // namespace norvexa::source
