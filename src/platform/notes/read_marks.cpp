// Storing and reading read marks.
#include "platform/notes/read_marks.h"

namespace norvexa::notes::internal {

void StoreReadMark(Connection& connection, std::int64_t note_id, const std::string& user, bool read,
                   const char* operation) {
  connection.RequireWritable(operation);
  if (read == ReadByDefault(user)) {
    Statement remove(connection, "DELETE FROM read_marks WHERE note_id = ?1 AND user_name = ?2", operation);
    remove.Bind(1, note_id).BindView(2, user);
    remove.Run();
    return;
  }
  Statement put(connection, "INSERT OR REPLACE INTO read_marks(note_id, user_name, read) VALUES (?1, ?2, ?3)",
                operation);
  put.Bind(1, note_id).BindView(2, user).Bind(3, std::int64_t{read ? 1 : 0});
  put.Run();
}

bool IsRead(Connection& connection, std::int64_t note_id, const std::string& user, const char* operation) {
  if (connection.layout_version() < 2) return ReadByDefault(user);
  Statement find(connection, "SELECT read FROM read_marks WHERE note_id = ?1 AND user_name = ?2", operation);
  find.Bind(1, note_id).BindView(2, user);
  return find.Step() ? find.Int(0) != 0 : ReadByDefault(user);
}

std::vector<std::string> UnreadDocumentIds(Connection& connection, const std::string& user, const char* operation) {
  std::vector<std::string> ids;
  if (connection.layout_version() < 2) {
    if (ReadByDefault(user)) return ids;
    Statement all(connection, "SELECT unid FROM documents ORDER BY note_id", operation);
    while (all.Step()) ids.push_back(all.Text(0));
    return ids;
  }
  // A document without a mark takes the default: read for "" only.
  Statement unread(connection,
                   "SELECT d.unid FROM documents AS d LEFT JOIN read_marks AS m "
                   "ON m.note_id = d.note_id AND m.user_name = ?1 "
                   "WHERE coalesce(m.read, ?1 = '') = 0 ORDER BY d.note_id",
                   operation);
  unread.BindView(1, user);
  while (unread.Step()) ids.push_back(unread.Text(0));
  return ids;
}

}  // namespace norvexa::notes::internal
