// norvexa-inspect nsf FILE: a Notes database as one JSON object (title,
// template, design, folders with their documents' universal ids, and every
// document with its items, their MIME parts, its attachments and whether the
// local user has read it). The file is opened read-only.
#include "inspect.h"

#include "platform/notes/item_codec.h"
#include "platform/notes/notes.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <exception>
#include <ostream>

namespace norvexa::inspect {

namespace {

// TEXT (UTF-8) as a QString.
QString Q(const std::string& text) { return QString::fromStdString(text); }

// TEXTS as a JSON array of strings.
QJsonArray Strings(const std::vector<std::string>& texts) {
  QJsonArray array;
  for (const std::string& t : texts) array.append(Q(t));
  return array;
}

// The values of VALUE as JSON: one element, or one per entry of a list.
QJsonArray Values(const notes::ItemValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return {Q(*text)};
  if (const auto* number = std::get_if<double>(&value)) return {*number};
  if (const auto* when = std::get_if<QDateTime>(&value)) return {Q(notes::internal::FormatDateTime(*when))};
  if (const auto* time = std::get_if<QTime>(&value)) return {time->toString(QStringLiteral("HH:mm:ss"))};
  if (const auto* whens = std::get_if<notes::DateTimeList>(&value)) {
    QJsonArray array;
    for (const QDateTime& w : *whens) array.append(Q(notes::internal::FormatDateTime(w)));
    return array;
  }
  if (const auto* numbers = std::get_if<notes::NumberList>(&value)) {
    QJsonArray array;
    for (const double n : *numbers) array.append(n);
    return array;
  }
  return Strings(std::get<notes::TextList>(value));
}

// The characters of a text part's content shown in full.
constexpr qsizetype kTextPreview = 80;

// Appends PART and the parts below it to PARTS, PART's path in the tree
// being PATH ("1", "1.2", ...): content type, encoding, decoded size, and the
// first characters of a text part or the SHA-256 of any other.
void AppendParts(const notes::MIMEEntity& part, const QString& path, QJsonArray& parts) {
  QJsonObject object;
  object["path"] = path;
  object["content_type"] = Q(part.FullContentType());
  object["encoding"] = part.Encoding();
  std::unique_ptr<notes::MIMEEntity> child = part.GetFirstChildEntity();
  if (!child) {
    const std::string bytes = part.GetContentAsBytes();
    object["size"] = static_cast<double>(bytes.size());
    if (part.ContentType() == "text") {
      object["text"] = Q(part.GetContentAsText()).left(kTextPreview);
    } else {
      object["sha256"] = QString::fromLatin1(
          QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex());
    }
  }
  parts.append(object);
  for (int n = 1; child; ++n, child = child->GetNextSibling())
    AppendParts(*child, path + "." + QString::number(n), parts);
}

// DOC as JSON: its ids, times, items and parts.
QJsonObject DocumentJson(notes::Document& doc) {
  QJsonObject object;
  object["unid"] = Q(doc.UniversalID());
  object["note_id"] = static_cast<double>(doc.NoteID());
  object["created"] = doc.Created().toString(Qt::ISODateWithMs);
  object["modified"] = doc.LastModified().toString(Qt::ISODateWithMs);
  QJsonArray items;
  for (const std::string& name : doc.ItemNames()) {
    QJsonObject item;
    item["name"] = Q(name);
    item["type"] = Q(doc.ItemType(name));
    item["values"] = Values(*doc.GetItemValue(name));
    if (const auto part = doc.GetMimePart(name)) {
      item["mime"] = QJsonObject{{"content_type", Q(part->content_type)}, {"encoding", part->encoding}};
    }
    QJsonArray parts;
    std::unique_ptr<notes::MIMEEntity> top = doc.GetMIMEEntity(name);
    for (int n = 1; top; ++n, top = top->GetNextSibling()) AppendParts(*top, QString::number(n), parts);
    if (!parts.isEmpty()) item["mime_parts"] = parts;
    items.append(item);
  }
  object["items"] = items;
  object["unread"] = !doc.GetRead();
  QJsonArray attachments;
  for (const notes::AttachmentInfo& a : doc.Attachments()) {
    attachments.append(QJsonObject{
        {"file_name", Q(a.file_name)}, {"size", static_cast<double>(a.size)}, {"sha256", Q(a.sha256)}});
  }
  object["attachments"] = attachments;
  return object;
}

}  // namespace

int InspectNsf(const std::string& file, std::ostream& out, std::ostream& err) {
  try {
    std::unique_ptr<notes::Database> db = notes::OpenDatabaseFile(file);
    QJsonObject root;
    root["file"] = Q(file);
    root["title"] = Q(db->Title());
    root["template"] = Q(db->TemplateName());
    root["design"] = Strings(db->DesignElementNames());
    QJsonArray folders;
    for (const std::string& name : db->FolderNames())
      folders.append(QJsonObject{{"name", Q(name)}, {"documents", Strings(db->FolderDocumentIds(name))}});
    root["folders"] = folders;
    QJsonArray documents;
    for (const std::string& unid : db->AllDocumentIds()) documents.append(DocumentJson(*db->GetDocumentByUNID(unid)));
    root["documents"] = documents;
    out << QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
    return 0;
  } catch (const std::exception& e) {
    err << "norvexa-inspect: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace norvexa::inspect
