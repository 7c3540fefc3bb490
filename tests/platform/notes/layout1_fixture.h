// For the layout tests: a Notes database of layout 1 (the layout before
// MIME trees and read marks) made with plain SQL, as a file written by an
// earlier version of Norvexa looks, with one mail document in it.
#pragma once

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace norvexa::notes::testing {

// The universal id and body of the document MakeLayout1File writes.
inline constexpr char kLayout1Unid[] = "0123456789ABCDEF0123456789ABCDEF";
inline constexpr char kLayout1Body[] = "Gr\xC3\xBC\xC3\x9F" "e aus Wien";  // "Grüße aus Wien"

// Writes a layout-1 database at PATH (in rollback-journal mode, as SQL
// makes it): the mail template's title, a form and a folder, and one Memo
// filed in the folder with a quoted-printable ISO-8859-1 HTML body. With
// TEMPLATE_ONLY, the design alone.
inline void MakeLayout1File(const std::filesystem::path& path, bool template_only = false) {
  static constexpr char kSchema[] = R"sql(
CREATE TABLE database_info(
  key   TEXT PRIMARY KEY,
  value TEXT NOT NULL
) WITHOUT ROWID;
CREATE TABLE design(
  id         INTEGER PRIMARY KEY,
  kind       TEXT NOT NULL CHECK (kind IN ('form', 'view', 'folder')),
  name       TEXT NOT NULL COLLATE NOCASE,
  parent_id  INTEGER REFERENCES design(id),
  definition TEXT NOT NULL DEFAULT '{}',
  UNIQUE (kind, name)
);
CREATE TABLE documents(
  note_id  INTEGER PRIMARY KEY,
  unid     TEXT NOT NULL UNIQUE,
  created  TEXT NOT NULL,
  modified TEXT NOT NULL
);
CREATE TABLE items(
  note_id INTEGER NOT NULL REFERENCES documents(note_id) ON DELETE CASCADE,
  name    TEXT NOT NULL COLLATE NOCASE,
  seq     INTEGER NOT NULL,
  type    TEXT NOT NULL CHECK (type IN ('text', 'number', 'datetime', 'time', 'textlist', 'richtext')),
  value,
  PRIMARY KEY (note_id, name)
) WITHOUT ROWID;
CREATE TABLE mime_parts(
  note_id      INTEGER NOT NULL REFERENCES documents(note_id) ON DELETE CASCADE,
  item_name    TEXT NOT NULL COLLATE NOCASE,
  seq          INTEGER NOT NULL,
  content_type TEXT NOT NULL,
  encoding     INTEGER NOT NULL,
  content      BLOB NOT NULL,
  PRIMARY KEY (note_id, item_name, seq)
) WITHOUT ROWID;
CREATE TABLE folder_entries(
  folder_id INTEGER NOT NULL REFERENCES design(id),
  note_id   INTEGER NOT NULL REFERENCES documents(note_id) ON DELETE CASCADE,
  PRIMARY KEY (folder_id, note_id)
) WITHOUT ROWID;
CREATE TABLE attachments(
  id        INTEGER PRIMARY KEY,
  note_id   INTEGER REFERENCES documents(note_id) ON DELETE CASCADE,
  item_name TEXT NOT NULL,
  file_name TEXT NOT NULL,
  size      INTEGER NOT NULL,
  sha256    TEXT NOT NULL,
  staged    TEXT NOT NULL
);
CREATE TABLE attachment_data(
  id   INTEGER PRIMARY KEY REFERENCES attachments(id) ON DELETE CASCADE,
  data BLOB NOT NULL
);
CREATE INDEX attachments_by_note ON attachments(note_id);
CREATE INDEX folder_entries_by_note ON folder_entries(note_id);
)sql";
  std::string sql = std::string("PRAGMA application_id=1314278995; PRAGMA user_version=1; BEGIN;") + kSchema +
                    "INSERT INTO database_info VALUES ('title', 'Mail (Norvexa)'), ('template', 'StdNorvexaMail'), "
                    "('format', '1');"
                    "INSERT INTO design(kind, name, definition) VALUES ('form', 'Memo', '{}'), "
                    "('folder', 'Old Mail', '{}');";
  if (!template_only)
    sql += std::string("INSERT INTO documents VALUES (1, '") + kLayout1Unid +
           "', '2020-01-02T03:04:05.000Z', '2020-01-02T03:04:05.000Z');"
           "INSERT INTO items VALUES (1, 'Form', 0, 'text', 'Memo'), (1, 'Subject', 1, 'text', 'old'), "
           "(1, 'Body', 2, 'richtext', '');"
           "INSERT INTO mime_parts VALUES (1, 'Body', 0, 'text/html; charset=\"iso-8859-1\"', 1726, "
           "CAST('Gr=FC=DFe aus Wien' AS BLOB));"
           "INSERT INTO folder_entries VALUES (2, 1);";
  sql += "COMMIT;";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

}  // namespace norvexa::notes::testing
