// RTF bodies of the real fixtures (see rtf_fixture_bodies.h).
#include "tests/platform/outlook/rtf_fixture_bodies.h"

#include "platform/outlook/outlook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace norvexa::outlook::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRtfCompressed = mapi::Tag(0x1009, mapi::PT_BINARY);
constexpr std::uint32_t kHtml = mapi::Tag(mapi::PR_HTML, mapi::PT_BINARY);
constexpr std::uint32_t kBody = mapi::Tag(mapi::PR_BODY, mapi::PT_UNICODE);

// The node identifier at the end of a source key ("...-00200024").
std::uint32_t NodeOf(const std::string& source_key) {
  const auto dash = source_key.rfind('-');
  return static_cast<std::uint32_t>(std::stoul(source_key.substr(dash + 1), nullptr, 16));
}

void Collect(const fs::path& pst, std::vector<FixtureBody>& out) {
  std::unique_ptr<Store> store = OpenStoreFile(pst);
  std::vector<std::unique_ptr<Folder>> pending;
  pending.push_back(store->IPMRootFolder());
  while (!pending.empty()) {
    std::unique_ptr<Folder> folder = std::move(pending.back());
    pending.pop_back();
    const std::unique_ptr<Items> items = folder->GetItems();
    for (std::int64_t i = 1; i <= items->Count(); ++i) {
      const std::unique_ptr<Item> item = items->GetItem(i);
      const PropValue rtf = item->MAPIOBJECT().GetProp(kRtfCompressed);
      if (rtf.kind != PropValue::Kind::Binary) continue;
      FixtureBody body;
      body.pst = pst.string();
      body.node = NodeOf(item->SourceKey());
      body.subject = item->Subject();
      body.compressed = rtf.text;
      const PropValue html = item->MAPIOBJECT().GetProp(kHtml);
      if (html.kind == PropValue::Kind::Binary) body.html = html.text;
      const PropValue text = item->MAPIOBJECT().GetProp(kBody);
      if (text.kind == PropValue::Kind::Text) body.body = text.text;
      out.push_back(std::move(body));
    }
    std::vector<std::unique_ptr<Folder>> children = folder->Folders();
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(std::move(*it));
  }
}

}  // namespace

std::vector<FixtureBody> FixtureRtfBodies() {
  std::vector<FixtureBody> out;
  const fs::path dir = fs::path(NORVEXA_SHARED_FIXTURES) / "pst";
  if (!fs::is_directory(dir)) return out;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".pst") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& pst : files) {
    try {
      Collect(pst, out);
    } catch (const OutlookError& e) {
      ADD_FAILURE() << pst.string() << ": " << e.what();
    }
  }
  return out;
}

}  // namespace norvexa::outlook::testing
