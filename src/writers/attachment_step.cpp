// Embedding the staged attachment files of one item, and deleting them.
#include "writers/attachment_step.h"

#include "platform/system/paths.h"

#include <filesystem>
#include <system_error>

namespace norvexa::writers {

namespace {

// Deletes the staged file at PATH if one is still there. Folders are left
// alone: a path naming one is not a staged file. A file that cannot be
// deleted stays for the run, which removes its staging folder at the end.
void DeleteStagedFile(const std::filesystem::path& file) {
  if (file.empty()) return;
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::symlink_status(file, ec);
  if (ec) return;
  if (std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status)) {
    std::filesystem::remove(file, ec);
  }
}

}  // namespace

bool EmbedStagedAttachments(Steps& steps, const std::unique_ptr<notes::Document>& document, const StagedFiles& files,
                            const WriterContext& context) {
  if (files.empty()) return false;
  context.Yield();

  std::unique_ptr<notes::RichTextItem> item;
  steps.Run("creating the item Attachment",
            [&] { item = Need(document, "document").CreateRichTextItem("Attachment"); });

  steps.SkipFromHere();
  for (const std::filesystem::path& file : files) {
    const std::string path = sys::Utf8(file);
    std::unique_ptr<notes::EmbeddedObject> embedded;
    // An attachment staged in memory goes into the database from there.
    if (const std::string* bytes = context.staged ? context.staged->Find(file) : nullptr) {
      steps.Run("embedding " + path, [&] {
        embedded = Need(item, "item Attachment").EmbedBytes(notes::EMBED_ATTACHMENT, path, *bytes, "Attachment");
      });
      context.staged->Release(file);
      context.Yield();
      continue;
    }
    // A path with no file behind it is an attachment the store could not
    // give (its staging failed and the preparation reports that loss):
    // there is nothing to embed and nothing the target failed at.
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
      context.Yield();
      continue;
    }
    steps.Run("embedding " + path, [&] {
      embedded = Need(item, "item Attachment").EmbedObject(notes::EMBED_ATTACHMENT, "", path, "Attachment");
    });
    DeleteStagedFile(file);
    context.Yield();
  }
  item.reset();
  return true;
}

}  // namespace norvexa::writers
