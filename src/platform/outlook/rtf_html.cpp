// HTML and plain text out of RTF bodies (see rtf_html.h): picks the way by
// what the RTF encapsulates.
#include "platform/outlook/rtf_html.h"

#include "platform/outlook/rtf_encapsulated.h"
#include "platform/outlook/rtf_formatted.h"
#include "platform/outlook/rtf_html_escape.h"

namespace norvexa::outlook::rtf {
namespace {

// Plain TEXT as the body of an HTML document: escaped, every line end (CRLF,
// CR or LF) a <br>, runs of blanks kept.
std::string HtmlOfText(std::string_view text) {
  std::string body;
  body.reserve(text.size() + text.size() / 8);
  bool last_was_space = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      body += "<br>\n";
      last_was_space = true;
    } else if (c == ' ') {
      body += last_was_space ? "&nbsp;" : " ";
      last_was_space = true;
    } else {
      if (c == '\t') {
        body += "&emsp;";
      } else {
        AppendEscaped(body, std::string_view(&c, 1));
      }
      last_was_space = false;
    }
  }
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head><body>\n" +
         body + "\n</body></html>\n";
}

}  // namespace

bool IsEncapsulatedHtml(std::string_view rtf) { return EncapsulationOf(rtf) == Encapsulation::kHtml; }

HtmlFromRtf ToHtml(std::string_view rtf) {
  HtmlFromRtf out;
  switch (EncapsulationOf(rtf)) {
    case Encapsulation::kHtml: {
      std::string html = Deencapsulate(rtf);
      // RTF that only says it holds HTML but has none is read as what it is.
      if (html.find('<') == std::string::npos) break;
      out.html = WithUtf8Charset(std::move(html));
      out.encapsulated = true;
      return out;
    }
    case Encapsulation::kText:
      out.html = HtmlOfText(Deencapsulate(rtf));
      return out;
    case Encapsulation::kNone:
      break;
  }
  FormattedRtf formatted = ConvertFormatted(rtf);
  out.html = std::move(formatted.html);
  out.pictures = std::move(formatted.pictures);
  return out;
}

std::string ToPlainText(std::string_view rtf) {
  if (EncapsulationOf(rtf) == Encapsulation::kText) return Deencapsulate(rtf);
  return ConvertFormatted(rtf).plain;
}

}  // namespace norvexa::outlook::rtf
