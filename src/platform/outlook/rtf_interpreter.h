// What every reader of RTF needs before it can make anything of the text:
// groups and their state, the font and colour tables, the code page of
// each run of text (\ansicpg, \fcharset of the current font, symbol fonts),
// Unicode characters (\uN with \ucN fallback skipping, surrogate pairs),
// escapes, and which destinations are read and which are skipped. The
// interpreter turns tokens into calls on a Sink, with text already UTF-8;
// the sinks (encapsulated HTML, formatted RTF to HTML) give it meaning.
//
// Damaged input is read as far as it makes sense: a group left open at the
// end is closed, text after the document's last brace is ignored, and
// groups nested deeper than kMaxGroupDepth are skipped whole. Nothing here
// recurses, and all memory is bounded by the size of the input.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvexa::outlook::rtf {

inline constexpr std::size_t kMaxGroupDepth = 1000;

struct FontInfo {
  std::string name;     // UTF-8, without the closing ';'
  int charset = 1;      // \fcharsetN; 1 (DEFAULT_CHARSET) when not given
  int codepage = 0;     // \cpgN when given, else 0
};

// What the header says about the document, filled in while it is read.
struct Tables {
  std::map<int, FontInfo> fonts;
  // \colortbl entries in order; nullopt for an entry without colour (the
  // "auto" colour, usually entry 0). Colours are 0xRRGGBB.
  std::vector<std::optional<std::uint32_t>> colors;
  int codepage = 1252;   // \ansi, \mac, \pc, \pca, \ansicpgN
  int default_font = -1; // \deffN

  // The font numbered N, or null when the table has none.
  const FontInfo* Font(int n) const;
  // Colour entry N, or nullopt for "auto" and for numbers not in the table.
  std::optional<std::uint32_t> Color(int n) const;
};

// How a destination is read.
enum class Reading {
  kSkip,                      // nothing of the group comes to the sink
  kRead,                      // text and control words come to the sink
  kReadInDocumentCodepage,    // the same, 8-bit text read in the document's code page
};

class Sink {
 public:
  virtual ~Sink() = default;

  // A group opens or closes. Calls come in pairs, also for groups that are
  // skipped (their start comes before what makes them skipped is known);
  // at the end of the input the groups still open are closed.
  virtual void GroupStart() = 0;
  virtual void GroupEnd() = 0;

  // The destination control word DESTINATION starts (or, less usually,
  // comes inside) the current group; OPTIONAL when it followed \*. The
  // answer applies to the rest of the group. \fonttbl and \colortbl are
  // read by the interpreter itself and never come here.
  virtual Reading Enter(std::string_view destination, bool optional) = 0;

  // A control word or control symbol that is not text; "\n" for a
  // backslash before a line end (a paragraph mark, as "par").
  virtual void Control(std::string_view word, bool has_param, int param) = 0;

  // Text, UTF-8: runs of bytes decoded in their code page, \uN characters,
  // escaped braces and backslashes, and the characters of \tab (U+0009),
  // \~ (U+00A0), \_ (U+2011), \lquote, \rquote, \ldblquote, \rdblquote,
  // \bullet, \endash, \emdash, \enspace, \emspace, \qmspace, \zwj, \zwnj,
  // \ltrmark and \rtlmark.
  virtual void Text(std::string_view utf8) = 0;

  // The data of a \binN.
  virtual void Binary(std::string_view data) = 0;
};

// True for control words that start a destination: those the sinks know
// (fldinst, fldrslt, pict, htmltag, ...) and those that never hold body
// text (stylesheet, info, header, footnote, listtable, themedata, ...).
bool IsDestination(std::string_view word);

// True for destinations that never hold text of the body.
bool IsNonTextDestination(std::string_view word);

// Reads RTF and tells SINK what it holds; TABLES gets the header's fonts,
// colours and code page as they are read (a sink may look at them at any
// call). Throws OutlookError when RTF does not start with "{\rtf" (after
// blanks); anything after that is read as far as it goes, never throwing.
void Interpret(std::string_view rtf, Tables& tables, Sink& sink);

}  // namespace norvexa::outlook::rtf
