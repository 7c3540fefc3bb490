// Groups, tables, code pages and Unicode of RTF (see rtf_interpreter.h).
#include "platform/outlook/rtf_interpreter.h"

#include "platform/outlook/outlook.h"
#include "platform/outlook/rtf_charsets.h"
#include "platform/outlook/rtf_reader.h"
#include "platform/outlook/text_codec.h"

#include <algorithm>
#include <array>
#include <utility>

namespace norvexa::outlook::rtf {
namespace {

// Destinations the sinks may read.
constexpr std::array<std::string_view, 12> kTextDestinations = {
    "field", "fldinst", "fldrslt", "pict", "shppict", "shprslt", "pntext", "listtext",
    "htmltag", "mhtmltag", "object", "result"};

// Destinations that never hold body text.
constexpr std::array<std::string_view, 82> kNonTextDestinations = {
    "aftncn", "aftnsep", "aftnsepc", "annotation", "atnauthor", "atndate", "atnicn", "atnid",
    "atnparent", "atnref", "atntime", "atrfend", "atrfstart", "author", "bkmkend", "bkmkstart",
    "buptim", "category", "colorschememapping", "comment", "company", "creatim", "datafield",
    "datastore", "do", "doccomm", "docvar", "falt", "fchars", "filetbl", "fname", "footer",
    "footerf", "footerl", "footerr", "footnote", "ftncn", "ftnsep", "ftnsepc", "generator",
    "header", "headerf", "headerl", "headerr", "info", "keywords", "latentstyles", "lchars",
    "listoverridetable", "listpicture", "listtable", "manager", "mmathPr", "nextfile",
    "nonshppict", "objclass", "objdata", "objname", "operator", "panose", "pgdsctbl", "picprop",
    "pn", "pntxta", "pntxtb", "printim", "private", "revtbl", "revtim", "rsidtbl", "rxe", "shpinst",
    "stylesheet", "subject", "tc", "template", "themedata", "title", "txe", "userprops",
    "wgrffmtfilter", "xe"};

bool Contains(const auto& list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

// The characters of control words that stand for one.
char32_t CharacterWord(std::string_view word) {
  static constexpr std::pair<std::string_view, char32_t> kWords[] = {
      {"tab", 0x09},       {"lquote", 0x2018}, {"rquote", 0x2019},  {"ldblquote", 0x201C},
      {"rdblquote", 0x201D}, {"bullet", 0x2022}, {"endash", 0x2013}, {"emdash", 0x2014},
      {"enspace", 0x2002}, {"emspace", 0x2003}, {"qmspace", 0x2005}, {"zwj", 0x200D},
      {"zwnj", 0x200C},    {"ltrmark", 0x200E}, {"rtlmark", 0x200F}};
  for (const auto& [name, c] : kWords) {
    if (name == word) return c;
  }
  return 0;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Where the text of a group goes in the interpreter itself.
enum class Table { kNone, kFonts, kColors };

struct GroupState {
  int font = -1;        // \fN in effect; -1: the default font
  int uc = 1;           // \ucN: fallback characters after each \uN
  Table table = Table::kNone;
  bool document_codepage = false;
};

// How the bytes of a run are decoded: a Windows code page, or a symbol font.
struct ByteMeaning {
  int codepage = 1252;
  bool symbol = false;
  SymbolFont symbol_font = SymbolFont::kSymbol;
  bool operator==(const ByteMeaning&) const = default;
};

class Interpreter {
 public:
  Interpreter(std::string_view rtf, Tables& tables, Sink& sink) : reader_(rtf), tables_(tables), sink_(sink) {}

  void Run();

 private:
  // Passes TOKEN by inside a group being skipped (skip_depth_ > 0); false
  // when its end closed the document's outermost group.
  bool SkipInGroup(const Token& token);
  // Passes by what TOKEN holds of the fallback text after \uN
  // (unicode_skip_ > 0): true when nothing of it is left to read.
  bool SkipFallback(Token& token);
  // Hands TOKEN to its handler; STAR: it came right after \*. False when
  // the document's outermost group closed.
  bool Dispatch(const Token& token, bool star);
  void OnGroupStart();
  // False when the document's outermost group closed.
  bool OnGroupEnd();
  // STAR: the word came right after \*.
  void OnControlWord(const Token& token, bool star);
  void OnControlSymbol(std::string_view symbol);
  void OnDestination(std::string_view word, bool optional);
  void OnText(std::string_view bytes);
  void OnByte(unsigned char b);
  void OnUnicode(int value);

  // Text of the font and colour tables.
  void FontTableWord(const Token& token);
  void FontTableText(std::string_view bytes);
  void EndFontName();
  void ColorTableWord(const Token& token);
  void ColorTableText(std::string_view bytes);

  ByteMeaning CurrentMeaning() const;
  void AddCharacter(char32_t c);
  // Decodes the pending bytes into the text.
  void FlushBytes();
  // A high surrogate that no low one followed: U+FFFD.
  void DropSurrogate();
  // Hands the text decoded so far to the sink.
  void FlushText();

  GroupState& state() { return stack_.back(); }

  Reader reader_;
  Tables& tables_;
  Sink& sink_;
  std::vector<GroupState> stack_;

  // Skipping: braces open inside the skipped part, counting the group in
  // which skipping began; whether that group was told to the sink.
  std::size_t skip_depth_ = 0;
  bool skip_reported_ = false;
  // \uN fallback still to be skipped.
  int unicode_skip_ = 0;
  bool star_ = false;

  // Text not yet handed to the sink: decoded UTF-8, then bytes in MEANING.
  std::string text_;
  std::string bytes_;
  ByteMeaning bytes_meaning_;
  char16_t high_surrogate_ = 0;

  // Font table entry being read, the depth of the group it began in, and
  // its name's bytes.
  int font_entry_ = -1;
  std::size_t font_entry_depth_ = 0;
  std::string font_name_;
  bool font_name_done_ = false;
  // Colour table entry being read.
  int red_ = -1, green_ = -1, blue_ = -1;
};

void Interpreter::Run() {
  for (Token token = reader_.Next(); token.kind != Token::Kind::kEnd; token = reader_.Next()) {
    if (skip_depth_ > 0) {
      if (!SkipInGroup(token)) return;
      continue;
    }
    if (unicode_skip_ > 0 && SkipFallback(token)) continue;
    // \* marks the control word right after it, nothing later.
    const bool star = std::exchange(star_, false);
    if (!Dispatch(token, star)) return;
  }
  // The input ended inside groups: close them.
  while (!stack_.empty()) OnGroupEnd();
}

bool Interpreter::SkipInGroup(const Token& token) {
  if (token.kind == Token::Kind::kGroupStart) {
    ++skip_depth_;
  } else if (token.kind == Token::Kind::kGroupEnd && --skip_depth_ == 0) {
    if (skip_reported_ && !OnGroupEnd()) return false;
  }
  return true;
}

bool Interpreter::SkipFallback(Token& token) {
  switch (token.kind) {
    case Token::Kind::kGroupStart:
    case Token::Kind::kGroupEnd:
      unicode_skip_ = 0;
      return false;
    case Token::Kind::kText: {
      const auto n = std::min<std::size_t>(static_cast<std::size_t>(unicode_skip_), token.text.size());
      unicode_skip_ -= static_cast<int>(n);
      token.text.remove_prefix(n);
      return token.text.empty();
    }
    default:
      --unicode_skip_;
      return true;
  }
}

bool Interpreter::Dispatch(const Token& token, bool star) {
  switch (token.kind) {
    case Token::Kind::kGroupStart:
      OnGroupStart();
      break;
    case Token::Kind::kGroupEnd:
      if (!OnGroupEnd()) return false;
      break;
    case Token::Kind::kControlWord:
      OnControlWord(token, star);
      break;
    case Token::Kind::kControlSymbol:
      OnControlSymbol(token.word);
      break;
    case Token::Kind::kHexByte:
      if (state().table == Table::kFonts) {
        FontTableText(std::string_view(reinterpret_cast<const char*>(&token.byte), 1));
      } else if (state().table == Table::kNone) {
        OnByte(token.byte);
      }
      break;
    case Token::Kind::kText:
      OnText(token.text);
      break;
    case Token::Kind::kBinary:
      if (state().table == Table::kNone) {
        FlushText();
        sink_.Binary(token.text);
      }
      break;
    case Token::Kind::kEnd:
      break;
  }
  return true;
}

void Interpreter::OnGroupStart() {
  FlushText();
  if (stack_.size() >= kMaxGroupDepth) {
    skip_depth_ = 1;
    skip_reported_ = false;
    return;
  }
  stack_.push_back(stack_.empty() ? GroupState{} : stack_.back());
  sink_.GroupStart();
}

bool Interpreter::OnGroupEnd() {
  FlushText();
  unicode_skip_ = 0;
  if (stack_.empty()) return false;
  if (stack_.size() == font_entry_depth_) EndFontName();
  stack_.pop_back();
  sink_.GroupEnd();
  return !stack_.empty();
}

void Interpreter::OnControlWord(const Token& token, bool star) {
  const std::string_view word = token.word;
  if (star) {
    OnDestination(word, true);
    return;
  }
  if (word == "fonttbl" || word == "colortbl") {
    FlushText();
    state().table = word == "fonttbl" ? Table::kFonts : Table::kColors;
    font_entry_ = -1;
    red_ = green_ = blue_ = -1;
    return;
  }
  if (state().table == Table::kFonts) {
    FontTableWord(token);
    return;
  }
  if (state().table == Table::kColors) {
    ColorTableWord(token);
    return;
  }
  if (IsDestination(word)) {
    OnDestination(word, false);
    return;
  }
  if (word == "u") {
    if (token.has_param) OnUnicode(token.param);
    return;
  }
  if (word == "uc") {
    if (token.has_param) state().uc = std::clamp(token.param, 0, 16);
    return;
  }
  if (const char32_t c = CharacterWord(word)) {
    AddCharacter(c);
    return;
  }
  if (word == "ansi") {
    tables_.codepage = 1252;
  } else if (word == "mac") {
    tables_.codepage = 10000;
  } else if (word == "pc") {
    tables_.codepage = 437;
  } else if (word == "pca") {
    tables_.codepage = 850;
  } else if (word == "ansicpg") {
    if (token.has_param && token.param > 0) tables_.codepage = token.param;
  } else if (word == "deff") {
    if (token.has_param) tables_.default_font = token.param;
  } else if (word == "f") {
    if (token.has_param) state().font = token.param;
  } else if (word == "plain") {
    state().font = -1;
  }
  FlushText();
  sink_.Control(word, token.has_param, token.param);
}

void Interpreter::OnControlSymbol(std::string_view symbol) {
  if (symbol == "*") {
    star_ = true;
    return;
  }
  if (state().table == Table::kFonts) {
    if (symbol == "\\" || symbol == "{" || symbol == "}") FontTableText(symbol);
    return;
  }
  if (state().table == Table::kColors) return;
  if (symbol == "\\" || symbol == "{" || symbol == "}") {
    AddCharacter(static_cast<unsigned char>(symbol[0]));
  } else if (symbol == "~") {
    AddCharacter(0x00A0);
  } else if (symbol == "_") {
    AddCharacter(0x2011);
  } else if (symbol == "-" || symbol == ":" || symbol == "|") {
    // An optional hyphen, an index subentry mark, a formula mark: not text.
  } else {
    FlushText();
    sink_.Control(symbol, false, 0);
  }
}

void Interpreter::OnDestination(std::string_view word, bool optional) {
  FlushText();
  if (state().table != Table::kNone) {
    // Inside the font or colour table only the entries themselves count.
    skip_depth_ = 1;
    skip_reported_ = true;
    return;
  }
  switch (sink_.Enter(word, optional)) {
    case Reading::kSkip:
      skip_depth_ = 1;
      skip_reported_ = true;
      break;
    case Reading::kRead:
      break;
    case Reading::kReadInDocumentCodepage:
      state().document_codepage = true;
      break;
  }
}

void Interpreter::OnText(std::string_view bytes) {
  if (state().table == Table::kFonts) {
    FontTableText(bytes);
    return;
  }
  if (state().table == Table::kColors) {
    ColorTableText(bytes);
    return;
  }
  for (char c : bytes) OnByte(static_cast<unsigned char>(c));
}

void Interpreter::OnByte(unsigned char b) {
  const ByteMeaning meaning = CurrentMeaning();
  if (meaning.symbol) {
    const char32_t c = FromSymbolFont(meaning.symbol_font, b);
    if (c != 0) {
      AddCharacter(c);
      return;
    }
    ByteMeaning plain;
    plain.codepage = 1252;
    DropSurrogate();
    if (!(plain == bytes_meaning_)) FlushBytes();
    bytes_meaning_ = plain;
    bytes_.push_back(static_cast<char>(b));
    return;
  }
  DropSurrogate();
  if (!(meaning == bytes_meaning_)) FlushBytes();
  bytes_meaning_ = meaning;
  bytes_.push_back(static_cast<char>(b));
}

void Interpreter::OnUnicode(int value) {
  unicode_skip_ = state().uc;
  if (value < 0) value += 65536;
  if (value < 0 || value > 0xFFFF) return;
  const auto unit = static_cast<char16_t>(value);
  if (unit >= 0xD800 && unit < 0xDC00) {
    FlushBytes();
    DropSurrogate();
    high_surrogate_ = unit;
    return;
  }
  if (unit >= 0xDC00 && unit < 0xE000) {
    FlushBytes();
    if (high_surrogate_ == 0) {
      AppendUtf8(text_, 0xFFFD);
    } else {
      AppendUtf8(text_, 0x10000 + ((static_cast<char32_t>(high_surrogate_) - 0xD800) << 10) + (unit - 0xDC00));
      high_surrogate_ = 0;
    }
    return;
  }
  char32_t c = unit;
  // Symbol fonts' glyphs as Word writes them: U+F020..U+F0FF.
  const ByteMeaning meaning = CurrentMeaning();
  if (meaning.symbol && c >= 0xF020 && c <= 0xF0FF) {
    const char32_t mapped = FromSymbolFont(meaning.symbol_font, static_cast<unsigned char>(c - 0xF000));
    c = mapped != 0 ? mapped : c - 0xF000;
  }
  if (c == 0) return;
  AddCharacter(c);
}

void Interpreter::FontTableWord(const Token& token) {
  const std::string_view word = token.word;
  if (word == "f" && token.has_param) {
    EndFontName();
    font_entry_ = token.param;
    font_entry_depth_ = stack_.size();
    tables_.fonts[font_entry_];
    font_name_.clear();
    font_name_done_ = false;
  } else if (font_entry_ >= 0 && word == "fcharset" && token.has_param) {
    tables_.fonts[font_entry_].charset = token.param;
  } else if (font_entry_ >= 0 && word == "cpg" && token.has_param) {
    tables_.fonts[font_entry_].codepage = token.param;
  }
}

void Interpreter::FontTableText(std::string_view bytes) {
  if (font_entry_ < 0 || font_name_done_) return;
  for (char c : bytes) {
    if (c == ';') {
      EndFontName();
      return;
    }
    if (font_name_.size() < 256) font_name_.push_back(c);
  }
}

void Interpreter::EndFontName() {
  if (font_entry_ < 0 || font_name_done_) return;
  font_name_done_ = true;
  FontInfo& font = tables_.fonts[font_entry_];
  int codepage = font.codepage != 0 ? font.codepage : CodepageOfCharset(font.charset);
  if (codepage == 0) codepage = tables_.codepage;
  const auto start = font_name_.find_first_not_of(' ');
  const std::string trimmed = start == std::string::npos ? std::string() : font_name_.substr(start);
  font.name = text::FromCodepage(reinterpret_cast<const std::uint8_t*>(trimmed.data()), trimmed.size(), codepage);
  while (!font.name.empty() && font.name.back() == ' ') font.name.pop_back();
}

void Interpreter::ColorTableWord(const Token& token) {
  if (!token.has_param) return;
  const int v = std::clamp(token.param, 0, 255);
  if (token.word == "red") red_ = v;
  if (token.word == "green") green_ = v;
  if (token.word == "blue") blue_ = v;
}

void Interpreter::ColorTableText(std::string_view bytes) {
  for (char c : bytes) {
    if (c != ';') continue;
    if (tables_.colors.size() >= 4096) return;  // far beyond what \cfN can name in practice
    if (red_ < 0 && green_ < 0 && blue_ < 0) {
      tables_.colors.emplace_back(std::nullopt);
    } else {
      tables_.colors.emplace_back((static_cast<std::uint32_t>(std::max(red_, 0)) << 16) |
                                  (static_cast<std::uint32_t>(std::max(green_, 0)) << 8) |
                                  static_cast<std::uint32_t>(std::max(blue_, 0)));
    }
    red_ = green_ = blue_ = -1;
  }
}

ByteMeaning Interpreter::CurrentMeaning() const {
  ByteMeaning meaning;
  meaning.codepage = tables_.codepage;
  const GroupState& s = stack_.back();
  if (s.document_codepage) return meaning;
  const FontInfo* font = tables_.Font(s.font >= 0 ? s.font : tables_.default_font);
  if (font == nullptr) return meaning;
  if (font->charset == kSymbolCharset && font->codepage == 0) {
    meaning.symbol = true;
    meaning.symbol_font = SymbolFontNamed(font->name);
    return meaning;
  }
  const int codepage = font->codepage != 0 ? font->codepage : CodepageOfCharset(font->charset);
  if (codepage != 0) meaning.codepage = codepage;
  return meaning;
}

void Interpreter::AddCharacter(char32_t c) {
  FlushBytes();
  DropSurrogate();
  AppendUtf8(text_, c);
}

void Interpreter::DropSurrogate() {
  if (high_surrogate_ == 0) return;
  AppendUtf8(text_, 0xFFFD);
  high_surrogate_ = 0;
}

void Interpreter::FlushBytes() {
  if (bytes_.empty()) return;
  // NUL bytes are not text; FromCodepage would also cut the run at one.
  bytes_.erase(std::remove(bytes_.begin(), bytes_.end(), '\0'), bytes_.end());
  text_ += text::FromCodepage(reinterpret_cast<const std::uint8_t*>(bytes_.data()), bytes_.size(),
                              bytes_meaning_.codepage);
  bytes_.clear();
}

void Interpreter::FlushText() {
  FlushBytes();
  DropSurrogate();
  if (text_.empty()) return;
  sink_.Text(text_);
  text_.clear();
}

}  // namespace

const FontInfo* Tables::Font(int n) const {
  const auto found = fonts.find(n);
  return found == fonts.end() ? nullptr : &found->second;
}

std::optional<std::uint32_t> Tables::Color(int n) const {
  if (n < 0 || static_cast<std::size_t>(n) >= colors.size()) return std::nullopt;
  return colors[static_cast<std::size_t>(n)];
}

bool IsDestination(std::string_view word) {
  return Contains(kTextDestinations, word) || Contains(kNonTextDestinations, word);
}

bool IsNonTextDestination(std::string_view word) { return Contains(kNonTextDestinations, word); }

void Interpret(std::string_view rtf, Tables& tables, Sink& sink) {
  const auto start = rtf.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos || rtf.substr(start, 5) != "{\\rtf") {
    throw OutlookError("not RTF: the text does not start with {\\rtf");
  }
  Interpreter(rtf.substr(start), tables, sink).Run();
}

}  // namespace norvexa::outlook::rtf
