// The store browser; see store_browser.h.
#include "source/model/store_browser.h"

#include "platform/system/text.h"

#include <exception>

namespace norvexa::source {
namespace {

// True when STORE is offered: its offer text, trimmed of blanks, is not
// empty. Throws OutlookError when the text cannot be read.
bool IsOffered(const outlook::Store& store) { return !sys::Trim(store.OfferText()).empty(); }

// A session logged on to the default profile for one operation, held in the
// session slot. When it goes (or on Release) the store slot is emptied and
// the session logged off and dropped, on every path out of the operation.
class HeldSession {
 public:
  HeldSession(std::unique_ptr<outlook::Session>& session, std::unique_ptr<outlook::Store>& store)
      : session_(session), store_(store) {}
  ~HeldSession() { Release(); }
  HeldSession(const HeldSession&) = delete;
  HeldSession& operator=(const HeldSession&) = delete;

  // Replaces whatever the session slot held by a new session and logs it
  // on. On failure the slot is left empty and the LogOn error returned.
  std::optional<BrowseError> LogOn() {
    try {
      session_.reset();
      session_ = std::make_unique<outlook::Session>();
      session_->Logon();
      return std::nullopt;
    } catch (const std::exception& error) {
      // Whatever stopped the log-on, the user's remedy is the same: set up
      // Outlook. The reason travels as the detail.
      session_.reset();
      return BrowseError{BrowseFailure::LogOn, error.what()};
    }
  }

  // The logged-on session; only after a successful LogOn.
  outlook::Session& Session() { return *session_; }

  // Empties the store slot, logs the session off and drops it. Safe to
  // call again.
  void Release() {
    store_.reset();
    if (session_) {
      try {
        session_->Logoff();
      } catch (const outlook::OutlookError&) {
        // Logging off only ends the log-on; the session is dropped right
        // below, which frees everything it held either way.
      }
    }
    session_.reset();
  }

 private:
  std::unique_ptr<outlook::Session>& session_;
  std::unique_ptr<outlook::Store>& store_;
};

}  // namespace

StoreBrowser::StoreBrowser(std::unique_ptr<outlook::Session>& session, std::unique_ptr<outlook::Store>& store)
    : session_(session), store_(store) {}

StoreListing StoreBrowser::ListStores() {
  StoreListing listing;
  HeldSession held(session_, store_);
  if (auto error = held.LogOn()) {
    listing.error = std::move(error);
    return listing;
  }

  std::size_t count = 0;
  try {
    count = held.Session().Stores().Count();
  } catch (const outlook::OutlookError&) {
    // The list cannot be read: there is nothing to offer, which the window
    // shows as an empty list.
    return listing;
  }
  for (std::size_t position = 1; position <= count; ++position) {
    try {
      store_ = held.Session().Stores().Item(position);
      if (!IsOffered(*store_)) continue;
      StoreOffer offer;
      const std::string name = store_->DisplayName();
      offer.entry = StoreListEntry(name, store_->StoreID());
      try {
        offer.path = store_->PstPath();
      } catch (const outlook::OutlookError&) {
        // No file to name: the display name alone labels the entry.
      }
      offer.label = StoreEntryLabel(name, offer.path);
      listing.stores.push_back(std::move(offer));
    } catch (const outlook::OutlookError&) {
      // A store that cannot be read is not offered; the next one is.
      continue;
    }
  }
  return listing;
}

TreeFill StoreBrowser::ShowStore(const std::string& entry, FolderTreeSink& sink) {
  TreeFill fill;
  HeldSession held(session_, store_);
  if (auto error = held.LogOn()) {
    fill.error = std::move(error);
    return fill;
  }
  sink.Yield();

  const std::optional<std::string> store_id = StoreIdOfEntry(entry);
  if (!store_id) {
    fill.error = BrowseError{BrowseFailure::NotAStoreEntry, ""};
    return fill;
  }
  fill.store_id = store_id;

  try {
    store_ = held.Session().Stores().GetStoreFromID(sys::Trim(*store_id));
  } catch (const std::exception& error) {
    fill.error = BrowseError{BrowseFailure::StoreNotFound, error.what()};
    return fill;
  }
  try {
    AddStoreNodes(*store_, sink);
  } catch (const std::exception& error) {
    fill.error = BrowseError{BrowseFailure::ReadFailed, error.what()};
    return fill;
  }

  held.Release();
  sink.Yield();
  sink.FillCompleted();
  return fill;
}

TreeFill StoreBrowser::OpenPst(const std::string& path, const std::function<void(const std::string& store_id)>& show) {
  TreeFill fill;
  HeldSession held(session_, store_);
  if (auto error = held.LogOn()) {
    fill.error = std::move(error);
    return fill;
  }

  std::string store_id;
  try {
    store_ = held.Session().Stores().AddPSTStore(sys::Trim(path));
    if (!IsOffered(*store_)) {
      fill.error = BrowseError{BrowseFailure::NotLoaded, "the store of " + path + " offers nothing"};
      return fill;
    }
    store_id = store_->StoreID();
  } catch (const outlook::OutlookError& error) {
    fill.error = BrowseError{BrowseFailure::NotLoaded, error.what()};
    return fill;
  }

  fill.store_id = store_id;
  try {
    show(store_id);
  } catch (const outlook::OutlookError& error) {
    fill.error = BrowseError{BrowseFailure::ReadFailed, error.what()};
  }
  return fill;
}

void StoreBrowser::FillTree(const outlook::Store& store, FolderTreeSink& sink) {
  AddStoreNodes(store, sink);
  sink.FillCompleted();
}

void StoreBrowser::AddStoreNodes(const outlook::Store& store, FolderTreeSink& sink) {
  sink.RemoveAllNodes();
  const FolderNode root = RootNode(store);
  sink.AddNode(root);
  sink.RootAdded();
  FolderTreeWalker walker(sink);
  walker.AddTopLevelFolders(*store.IPMRootFolder(), root.key);
}

}  // namespace norvexa::source
