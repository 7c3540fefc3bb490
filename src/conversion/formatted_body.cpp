// The formatted body of an item; see formatted_body.h.
#include "conversion/formatted_body.h"

#include "platform/outlook/outlook.h"
#include "platform/outlook/rtf_compressed.h"
#include "platform/outlook/rtf_html.h"

#include <algorithm>
#include <cctype>
#include <exception>

namespace norvexa::conversion {
namespace {

// TEXT in lower case (ASCII), for comparing content ids.
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// ID without the angle brackets some stores keep around it.
std::string WithoutBrackets(std::string id) {
  if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
  return id;
}

// Adds the pictures of HTML that are attachments of ITEM to BODY.
void AddAttachedPictures(const outlook::Item& item, const writers::StagedFiles& staged,
                         const writers::StagedContents* held, writers::FormattedBody& body,
                         std::vector<std::string>& problems) {
  const std::vector<std::string> ids = ReferencedContentIds(body.html);
  if (ids.empty()) return;
  std::unique_ptr<outlook::Attachments> attachments;
  try {
    attachments = item.GetAttachments();
  } catch (const std::exception& e) {
    problems.push_back(std::string("the pictures of the body could not be read: ") + e.what());
    return;
  }
  const std::int64_t count = attachments->Count();
  for (std::int64_t k = 1; k <= count && static_cast<std::size_t>(k) <= staged.size(); ++k) {
    try {
      const auto attachment = attachments->GetAttachment(k);
      const std::string id = WithoutBrackets(attachment->ContentId());
      if (id.empty()) continue;
      const bool shown = std::any_of(ids.begin(), ids.end(),
                                     [&](const std::string& ref) { return Lower(ref) == Lower(id); });
      if (!shown) continue;
      writers::BodyPicture picture;
      picture.content_id = id;
      picture.mime_type = attachment->MimeType();
      picture.file_name = attachment->FileName();
      picture.staged = staged[static_cast<std::size_t>(k - 1)];
      // A picture staged in memory comes with its bytes: the attachment
      // step releases them once it has embedded them.
      if (const std::string* bytes = held ? held->Find(picture.staged) : nullptr) {
        picture.bytes = *bytes;
        picture.staged.clear();
      }
      body.pictures.push_back(std::move(picture));
    } catch (const std::exception& e) {
      problems.push_back("attachment " + std::to_string(k) + " could not be read for the body: " + e.what());
    }
  }
}

}  // namespace

std::vector<std::string> ReferencedContentIds(const std::string& html) {
  std::vector<std::string> ids;
  const std::string lower = Lower(html);
  for (std::size_t at = lower.find("cid:"); at != std::string::npos; at = lower.find("cid:", at + 4)) {
    std::size_t end = at + 4;
    while (end < html.size()) {
      const char c = html[end];
      if (c == '"' || c == '\'' || c == ')' || c == '>' || c == '<' || std::isspace(static_cast<unsigned char>(c))) break;
      ++end;
    }
    std::string id = WithoutBrackets(html.substr(at + 4, end - at - 4));
    if (!id.empty() && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(std::move(id));
  }
  return ids;
}

namespace {

// The HTML of ITEM's compressed RTF body, with the pictures held inside the
// RTF, into BODY; nothing when the item has no RTF body. A damaged RTF adds
// a line to PROBLEMS and leaves BODY empty.
void FromCompressedRtf(const outlook::Item& item, writers::FormattedBody& body, std::vector<std::string>& problems) {
  try {
    const std::string compressed = item.CompressedRtf();
    if (compressed.empty()) return;
    outlook::rtf::HtmlFromRtf converted = outlook::rtf::ToHtml(outlook::rtf::Decompress(compressed));
    body.html = std::move(converted.html);
    for (outlook::rtf::Picture& picture : converted.pictures) {
      writers::BodyPicture inside;
      inside.content_id = std::move(picture.content_id);
      inside.mime_type = std::move(picture.mime_type);
      inside.bytes = std::move(picture.bytes);
      body.pictures.push_back(std::move(inside));
    }
  } catch (const std::exception& e) {
    body = writers::FormattedBody();
    problems.push_back(std::string("the formatted (RTF) body could not be read: ") + e.what());
  }
}

}  // namespace

writers::FormattedBody ReadFormattedBody(const outlook::Item& item, const writers::StagedFiles& staged,
                                         std::vector<std::string>& problems, const writers::StagedContents* held) {
  writers::FormattedBody body;
  try {
    body.html = item.HtmlBody();
  } catch (const std::exception& e) {
    problems.push_back(std::string("the HTML body could not be read: ") + e.what());
  }
  if (body.html.empty()) FromCompressedRtf(item, body, problems);
  if (body.html.empty()) return body;
  AddAttachedPictures(item, staged, held, body, problems);
  return body;
}

}  // namespace norvexa::conversion
