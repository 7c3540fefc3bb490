// Session: the entry point to the local client, and its streams.
#include "platform/notes/client_config.h"
#include "platform/notes/notes_objects.h"

#include <cstdlib>

namespace norvexa::notes {

namespace {

// Text and bytes go into one buffer: a MIME part takes it as UTF-8 text
// (SetContentFromText) or as bytes (SetContentFromBytes).
class StreamImpl : public Stream {
 public:
  void WriteText(const std::string& text) override {
    if (closed_) throw NotesError("write text: the stream is closed");
    bytes_ += text;
  }
  void Write(const std::string& bytes) override {
    if (closed_) throw NotesError("write bytes: the stream is closed");
    bytes_ += bytes;
  }
  void Truncate() override { bytes_.clear(); }
  void Close() override { closed_ = true; }
  const std::string& Text() const override { return bytes_; }
  const std::string& Bytes() const override { return bytes_; }

 private:
  std::string bytes_;
  bool closed_ = false;
};

}  // namespace

std::filesystem::path DefaultClientDirectory() {
  if (const char* data = std::getenv("NORVEXA_NOTES_DATA"); data && *data) return data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::filesystem::path(xdg) / "norvexa" / "notes";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : ".") / ".local" / "share" / "norvexa" / "notes";
}

struct Session::Impl {
  std::shared_ptr<const internal::ClientConfig> client;
  bool convert_mime = true;
};

Session::Session() : impl_(std::make_unique<Impl>()) {
  impl_->client = internal::LoadClient(DefaultClientDirectory());
}

Session::~Session() = default;

std::unique_ptr<Database> Session::GetDatabase(const std::string& server, const std::string& file) {
  if (!server.empty())
    throw NotesError("open database " + server + "!!" + file + ": only local databases (server \"\") are available");
  if (file.empty()) throw NotesError("open database: no file name given");
  std::filesystem::path path(file);
  if (path.is_relative()) path = impl_->client->directory / path;
  // A missing file gives a database that is not open (connection null).
  return internal::MakeDatabase(path, internal::AcquireConnectionIfExists(path), impl_->client->directory);
}

std::string Session::GETENVIRONMENTSTRING(const std::string& name, bool) { return impl_->client->Get(name); }

bool Session::ConvertMime() const { return impl_->convert_mime; }
void Session::SetConvertMime(bool value) { impl_->convert_mime = value; }

std::unique_ptr<Stream> Session::CreateStream() { return std::make_unique<StreamImpl>(); }

const std::filesystem::path& Session::DataDirectory() const { return impl_->client->directory; }

}  // namespace norvexa::notes
