// Escaping for HTML and the charset of <meta> elements (see rtf_html_escape.h).
#include "platform/outlook/rtf_html_escape.h"

#include <cctype>

namespace norvexa::outlook::rtf {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// The first position at or after FROM where NEEDLE (lower case) starts in
// TEXT, compared without case; npos when there is none.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && Lower(text[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

}  // namespace

void AppendEscaped(std::string& out, std::string_view utf8) {
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n') break;
        if (c == 0x7F) break;
        out.push_back(c);
    }
  }
}

std::string Escaped(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  AppendEscaped(out, utf8);
  return out;
}

std::string CssFontName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 || std::isalnum(u) || c == ' ' || c == '-' || c == '_' || c == '.') out.push_back(c);
  }
  const auto start = out.find_first_not_of(' ');
  if (start == std::string::npos) return "";
  out.erase(0, start);
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string WithUtf8Charset(std::string html) {
  std::size_t at = 0;
  while ((at = FindNoCase(html, "<meta", at)) != std::string::npos) {
    std::size_t end = html.find('>', at);
    if (end == std::string::npos) end = html.size();
    std::size_t key = at;
    while ((key = FindNoCase(std::string_view(html).substr(0, end), "charset", key)) != std::string::npos) {
      std::size_t p = key + 7;
      while (p < end && IsBlank(html[p])) ++p;
      if (p >= end || html[p] != '=') {
        key = p;
        continue;
      }
      ++p;
      while (p < end && IsBlank(html[p])) ++p;
      if (p < end && (html[p] == '"' || html[p] == '\'')) ++p;
      std::size_t value_end = p;
      while (value_end < end && !IsBlank(html[value_end]) && html[value_end] != '"' && html[value_end] != '\'' &&
             html[value_end] != ';' && html[value_end] != '/' && html[value_end] != '>') {
        ++value_end;
      }
      html.replace(p, value_end - p, "utf-8");
      end = end - (value_end - p) + 5;
      key = p + 5;
    }
    at = end;
  }
  return html;
}

}  // namespace norvexa::outlook::rtf
