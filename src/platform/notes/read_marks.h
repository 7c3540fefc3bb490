// Read marks: which documents each user has read, kept in the read_marks
// table apart from the documents. Only marks that differ from the default
// have a row: a document is read for the local client's user ("", who makes
// every document of this back-end) and unread for any other user unless a
// row says otherwise.
#pragma once

#include "platform/notes/sqlite_store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace norvexa::notes::internal {

// Whether USER has read a document that has no mark for USER.
inline bool ReadByDefault(const std::string& user) { return user.empty(); }

// Records that USER has read (READ) or not read document NOTE_ID: a row
// when that differs from the default, none otherwise. The caller holds the
// connection's lock; in a transaction of its own or alone (one statement).
// Throws NotesError on failure or on a read-only connection.
void StoreReadMark(Connection& connection, std::int64_t note_id, const std::string& user, bool read,
                   const char* operation);

// Whether USER has read document NOTE_ID. A file of layout 1 (read-only)
// keeps no marks: the default holds. The caller holds the connection's lock.
bool IsRead(Connection& connection, std::int64_t note_id, const std::string& user, const char* operation);

// The universal ids of the documents USER has not read, in save order. The
// caller holds the connection's lock.
std::vector<std::string> UnreadDocumentIds(Connection& connection, const std::string& user, const char* operation);

}  // namespace norvexa::notes::internal
