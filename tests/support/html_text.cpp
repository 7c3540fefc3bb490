// The text a reader sees in HTML; see html_text.h.
#include "support/html_text.h"

#include <QString>

#include <cctype>
#include <cstdint>
#include <map>

namespace norvexa::testing {
namespace {

// TEXT in lower case (ASCII).
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The UTF-8 form of code point CP.
std::string Utf8(char32_t cp) { return QString::fromUcs4(&cp, 1).toStdString(); }

// Decodes the character reference starting at HTML[AT] ('&') into OUT;
// returns where the text goes on, or AT + 1 when it is no reference.
std::size_t Reference(const std::string& html, std::size_t at, std::string& out) {
  static const std::map<std::string, char32_t> kNamed = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'},
                                                         {"apos", '\''}, {"nbsp", 0xA0}, {"copy", 0xA9},
                                                         {"euro", 0x20AC}, {"mdash", 0x2014}, {"ndash", 0x2013}};
  const std::size_t end = html.find(';', at);
  if (end == std::string::npos || end - at > 10) {
    out += '&';
    return at + 1;
  }
  const std::string name = html.substr(at + 1, end - at - 1);
  if (!name.empty() && name[0] == '#') {
    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    const std::string digits = name.substr(hex ? 2 : 1);
    char* stop = nullptr;
    const unsigned long cp = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
    if (!digits.empty() && stop && *stop == '\0' && cp > 0 && cp < 0x110000) {
      out += Utf8(static_cast<char32_t>(cp));
      return end + 1;
    }
  } else if (const auto found = kNamed.find(Lower(name)); found != kNamed.end()) {
    out += Utf8(found->second);
    return end + 1;
  }
  out += '&';
  return at + 1;
}

}  // namespace

std::string FoldBlanks(const std::string& text) {
  std::string out;
  bool blank = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool nbsp = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0;
    if (std::isspace(c) || nbsp) {
      blank = true;
      if (nbsp) ++i;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += static_cast<char>(c);
  }
  return out;
}

std::string TextOfHtml(const std::string& html) {
  std::string text;
  const std::string lower = Lower(html);
  std::size_t i = 0;
  while (i < html.size()) {
    if (lower.compare(i, 4, "<!--") == 0) {
      const std::size_t end = lower.find("-->", i + 4);
      i = end == std::string::npos ? html.size() : end + 3;
      continue;
    }
    if (html[i] == '<') {
      for (const char* skipped : {"head", "style", "script"}) {
        const std::string open = std::string("<") + skipped;
        if (lower.compare(i, open.size(), open) == 0 &&
            (i + open.size() >= lower.size() || !std::isalnum(static_cast<unsigned char>(lower[i + open.size()])))) {
          const std::size_t close = lower.find(std::string("</") + skipped, i);
          i = close == std::string::npos ? html.size() : close;
          break;
        }
      }
      const std::size_t end = html.find('>', i);
      // A tag ends a word: what stands on either side is not one word.
      text += ' ';
      i = end == std::string::npos ? html.size() : end + 1;
      continue;
    }
    if (html[i] == '&') {
      i = Reference(html, i, text);
      continue;
    }
    text += html[i++];
  }
  return FoldBlanks(text);
}

}  // namespace norvexa::testing
