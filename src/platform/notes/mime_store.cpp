// Writing MIME part trees into mime_parts and reading them back.
#include "platform/notes/mime_store.h"

#include "platform/notes/mime_content.h"

#include <unordered_map>

namespace norvexa::notes::internal {

namespace {

// Inserts NODE and its children, numbering them from SEQ on.
void WriteNode(Connection& c, std::int64_t note_id, const std::string& item_name, const MimeNode& node,
               std::int64_t parent, std::int64_t& seq, const char* operation) {
  const std::int64_t own = seq++;
  {
    // One use of the cached statement, over before the children use it.
    const std::string content_type = EffectiveContentType(node);
    const std::string content = node.children.empty() ? EncodeContent(node.encoding, node.content) : std::string();
    Statement insert(c,
                     "INSERT INTO mime_parts(note_id, item_name, seq, parent, content_type, encoding, headers, "
                     "boundary, content) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
                     operation);
    insert.Bind(1, note_id).BindView(2, item_name).Bind(3, own);
    if (parent < 0) insert.BindNull(4);
    else insert.Bind(4, parent);
    insert.BindView(5, content_type).Bind(6, std::int64_t{node.encoding}).BindBytes(7, node.headers);
    insert.BindView(8, node.boundary).BindBytes(9, content);
    insert.Run();
  }
  for (const auto& child : node.children) WriteNode(c, note_id, item_name, *child, own, seq, operation);
}

}  // namespace

void WriteMimeParts(Connection& connection, std::int64_t note_id, const std::string& item_name, const MimeTree& tree,
                    const char* operation) {
  std::int64_t seq = 0;
  for (const auto& top : tree.tops) WriteNode(connection, note_id, item_name, *top, -1, seq, operation);
}

std::vector<std::pair<std::string, MimeTree>> ReadMimeParts(Connection& connection, std::int64_t note_id,
                                                            const char* operation) {
  const bool layout1 = connection.layout_version() < 2;
  Statement parts(connection,
                  layout1 ? "SELECT item_name, seq, NULL, content_type, encoding, '', '', content FROM mime_parts "
                            "WHERE note_id = ?1 ORDER BY item_name, seq"
                          : "SELECT item_name, seq, parent, content_type, encoding, headers, boundary, content "
                            "FROM mime_parts WHERE note_id = ?1 ORDER BY item_name, seq",
                  operation);
  parts.Bind(1, note_id);
  std::vector<std::pair<std::string, MimeTree>> items;
  std::unordered_map<std::int64_t, MimeNode*> by_seq;  // the parts of the current item
  while (parts.Step()) {
    const std::string item_name = parts.Text(0);
    // Item names compare as the column does (NOCASE: ASCII case ignored).
    if (items.empty() || !SameHeaderName(items.back().first, item_name)) {
      items.emplace_back(item_name, MimeTree{});
      by_seq.clear();
    }
    const std::int64_t seq = parts.Int(1);
    auto node = std::make_unique<MimeNode>();
    node->content_type = parts.Text(3);
    node->encoding = static_cast<int>(parts.Int(4));
    node->headers = parts.Bytes(5);
    node->boundary = parts.Text(6);
    const std::string stored = parts.Bytes(7);
    MimeNode* parent = nullptr;
    if (parts.Type(2) != SQLITE_NULL) {
      auto found = by_seq.find(parts.Int(2));
      if (found != by_seq.end() && parts.Int(2) < seq) parent = found->second;
    }
    node->parent = parent;
    MimeNode* raw = node.get();
    if (parent) {
      parent->children.push_back(std::move(node));
    } else {
      items.back().second.tops.push_back(std::move(node));
    }
    raw->content = DecodeContent(raw->encoding, stored);
    raw->has_content = true;
    by_seq[seq] = raw;
  }
  // A part that got children is a container: a content it had in a damaged
  // file is not kept beside them.
  for (auto& [name, tree] : items) {
    (void)name;
    std::vector<MimeNode*> pending;
    for (auto& top : tree.tops) pending.push_back(top.get());
    while (!pending.empty()) {
      MimeNode* node = pending.back();
      pending.pop_back();
      if (!node->children.empty()) {
        node->has_content = false;
        node->content.clear();
      }
      for (auto& child : node->children) pending.push_back(child.get());
    }
  }
  return items;
}

}  // namespace norvexa::notes::internal
