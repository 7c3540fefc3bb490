// Writing an Outlook item as an RFC 5322 / MIME message (.eml): how an
// attached item is saved to a file.
#pragma once

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

namespace norvexa::outlook::items {

class MapiItem;

// Writes MESSAGE to OUT: From, To, Cc, Date and Subject headers, the plain
// body, and each attachment of the message as a MIME part (files in
// base64, attached items as nested messages). Lines end in CRLF. DEPTH
// keeps the boundaries of nested messages apart. Throws OutlookError when a
// part cannot be read.
void WriteEml(const MapiItem& message, std::ostream& out, int depth = 0);

// A stream buffer that writes everything put into it to OUT in base64,
// 76 characters a line. Finish() writes the tail; the destructor does not.
class Base64Writer : public std::streambuf {
 public:
  explicit Base64Writer(std::ostream& out) : out_(out) {}
  void Finish();

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;

 private:
  void Flush(bool last);
  std::ostream& out_;
  std::string pending_;
};

// A stream buffer that only counts what is put into it.
class CountingWriter : public std::streambuf {
 public:
  std::int64_t count() const { return count_; }

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char*, std::streamsize size) override;

 private:
  std::int64_t count_ = 0;
};

// TEXT as a header value: itself when it is printable ASCII, else RFC 2047
// encoded words in UTF-8.
std::string EncodeHeaderText(const std::string& text);

}  // namespace norvexa::outlook::items
