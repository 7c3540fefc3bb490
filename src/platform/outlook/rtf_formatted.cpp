// Formatted RTF to HTML and text (see rtf_formatted.h).
//
// Text is gathered a paragraph at a time: runs of equal character format
// become one set of inline elements, and the paragraph is written when its
// mark (\par, \cell, ...) comes, with the paragraph format in effect then,
// as RTF defines it. Table cells gather their paragraphs until \cell, rows
// their cells until \row; lists are opened and closed as the levels of
// consecutive list paragraphs ask.
#include "platform/outlook/rtf_formatted.h"

#include "platform/outlook/rtf_charsets.h"
#include "platform/outlook/rtf_field.h"
#include "platform/outlook/rtf_html_escape.h"
#include "platform/outlook/rtf_interpreter.h"
#include "platform/outlook/rtf_picture.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace norvexa::outlook::rtf {
namespace {

constexpr std::size_t kMaxInstruction = 4096;
constexpr std::size_t kMaxCellBoundaries = 1000;
constexpr int kMaxListLevel = 8;

struct CharFormat {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool hidden = false;
  int vertical = 0;  // 1 superscript, -1 subscript
  int font = -1;     // -1: the default font
  int size = 0;      // half-points; 0: not given
  int color = -1;
  int background = -1;
  std::string href;
  bool operator==(const CharFormat&) const = default;
};

enum class Align { kLeft, kCenter, kRight, kJustify };

struct ParaFormat {
  Align align = Align::kLeft;
  bool in_table = false;
  int list = 0;   // \lsN
  int level = 0;  // \ilvlN
  int left_indent = 0;  // twips
};

enum class Dest { kBody, kListText, kFieldInstruction, kPicture };

struct State {
  CharFormat chars;
  ParaFormat para;
  Dest dest = Dest::kBody;
  bool owns_field = false;  // the group is a \field
};

// How the items of a list are numbered.
struct ListKind {
  bool ordered = false;
  char type = '1';  // for ordered lists: 1, a, A, i, I
  int start = 1;
  bool operator==(const ListKind& o) const { return ordered == o.ordered && (!ordered || type == o.type); }
};

bool AllOf(std::string_view s, std::string_view chars) {
  return !s.empty() && s.find_first_not_of(chars) == std::string_view::npos;
}

// The list a paragraph with list text TEXT belongs to.
ListKind KindOfListText(std::string_view text) {
  ListKind kind;
  const std::string_view blanks = " \t";
  auto start = text.find_first_not_of(blanks);
  if (start == std::string_view::npos) return kind;
  text = text.substr(start);
  // A no-break space (UTF-8 C2 A0) is as blank as a space here.
  while (!text.empty()) {
    if (text.back() == ' ' || text.back() == '\t') {
      text.remove_suffix(1);
    } else if (text.size() >= 2 && static_cast<unsigned char>(text[text.size() - 2]) == 0xC2 &&
               static_cast<unsigned char>(text.back()) == 0xA0) {
      text.remove_suffix(2);
    } else {
      break;
    }
  }
  if (text.size() < 2 || (text.back() != '.' && text.back() != ')')) return kind;
  std::string_view core = text.substr(0, text.size() - 1);
  if (!core.empty() && core.front() == '(') core.remove_prefix(1);
  if (AllOf(core, "0123456789") && core.size() <= 6) {
    kind.ordered = true;
    kind.start = std::stoi(std::string(core));
  } else if (core.size() == 1 && core[0] >= 'a' && core[0] <= 'z') {
    kind = {true, 'a', core[0] - 'a' + 1};
  } else if (core.size() == 1 && core[0] >= 'A' && core[0] <= 'Z') {
    kind = {true, 'A', core[0] - 'A' + 1};
  } else if (AllOf(core, "ivxlcdm")) {
    kind = {true, 'i', 1};
  } else if (AllOf(core, "IVXLCDM")) {
    kind = {true, 'I', 1};
  }
  return kind;
}

std::string HexColor(std::uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
  return text;
}

class FormattedSink : public Sink {
 public:
  explicit FormattedSink(const Tables& tables) : tables_(tables) {}

  FormattedRtf Finish();

  void GroupStart() override {
    State next = stack_.back();
    next.owns_field = false;
    stack_.push_back(std::move(next));
  }

  void GroupEnd() override {
    if (stack_.size() <= 1) return;
    if (stack_.size() == picture_depth_) FinishPicture();
    if (stack_.back().owns_field && !fields_.empty()) fields_.pop_back();
    stack_.pop_back();
  }

  Reading Enter(std::string_view destination, bool optional) override;
  void Control(std::string_view word, bool has_param, int param) override;
  void Text(std::string_view utf8) override;

  void Binary(std::string_view data) override {
    if (state().dest == Dest::kPicture) picture_.Binary(data);
  }

 private:
  State& state() { return stack_.back(); }

  void CharacterControl(std::string_view word, bool has_param, int param);
  void TableControl(std::string_view word, bool has_param, int param);
  void BodyText(std::string_view utf8);
  void FinishPicture();

  // The inline elements of the current paragraph.
  void EnsureRun(const CharFormat& format);
  void CloseRun();
  std::string OpenTags(const CharFormat& format, std::string& close) const;

  void LineBreak();
  // Ends the paragraph: into the cell being gathered when its format says
  // it is in a table, else into the body.
  void EndParagraph();
  std::string ParagraphStyle(const ParaFormat& para, bool in_list) const;
  void EndCell();
  void EndRow();
  void CloseTable();
  void OpenListsTo(int level, const ListKind& kind);
  void CloseListsTo(std::size_t depth);

  const Tables& tables_;
  std::vector<State> stack_{State{}};

  struct Field {
    std::string instruction;
  };
  std::vector<Field> fields_;

  PictureReader picture_;
  std::size_t picture_depth_ = 0;
  std::vector<Picture> pictures_;

  // The paragraph being gathered.
  std::string para_;
  bool para_has_content_ = false;
  std::string list_text_;
  bool last_was_space_ = true;
  bool run_open_ = false;
  CharFormat run_format_;
  std::string run_close_;

  // The table being gathered.
  std::vector<std::string> cell_paragraphs_;
  std::vector<std::string> row_cells_;
  std::vector<int> cell_boundaries_;
  int row_left_ = 0;
  bool row_borders_ = false;
  bool border_pending_ = false;
  bool table_open_ = false;

  std::vector<ListKind> lists_;
  std::string body_;
  std::string plain_;
};

Reading FormattedSink::Enter(std::string_view destination, bool optional) {
  State& s = state();
  if (destination == "field") {
    if (fields_.size() < kMaxGroupDepth) {
      fields_.emplace_back();
      s.owns_field = true;
    }
    return Reading::kRead;
  }
  if (destination == "fldinst") {
    s.dest = Dest::kFieldInstruction;
    return Reading::kRead;
  }
  if (destination == "fldrslt") {
    s.dest = Dest::kBody;
    if (!fields_.empty()) {
      if (auto target = HyperlinkTarget(fields_.back().instruction)) s.chars.href = std::move(*target);
    }
    return Reading::kRead;
  }
  if (destination == "pict") {
    s.dest = Dest::kPicture;
    picture_ = PictureReader();
    picture_depth_ = stack_.size();
    return Reading::kRead;
  }
  if (destination == "pntext" || destination == "listtext") {
    s.dest = Dest::kListText;
    return Reading::kRead;
  }
  if (destination == "shppict") return Reading::kRead;
  if (optional || IsNonTextDestination(destination) || destination == "htmltag" || destination == "mhtmltag") {
    return Reading::kSkip;
  }
  return Reading::kRead;
}

void FormattedSink::Control(std::string_view word, bool has_param, int param) {
  State& s = state();
  switch (s.dest) {
    case Dest::kPicture:
      picture_.Control(word, has_param, param);
      return;
    case Dest::kFieldInstruction:
      return;
    case Dest::kListText:
      CharacterControl(word, has_param, param);
      return;
    case Dest::kBody:
      break;
  }
  if (word == "par" || word == "\n") {
    EndParagraph();
  } else if (word == "sect" || word == "page") {
    if (para_has_content_ || !list_text_.empty()) EndParagraph();
  } else if (word == "line") {
    LineBreak();
  } else if (word == "cell" || word == "nestcell") {
    EndCell();
  } else if (word == "row" || word == "nestrow") {
    EndRow();
  } else if (word == "pard") {
    s.para = ParaFormat{};
  } else if (word == "ql") {
    s.para.align = Align::kLeft;
  } else if (word == "qc") {
    s.para.align = Align::kCenter;
  } else if (word == "qr") {
    s.para.align = Align::kRight;
  } else if (word == "qj" || word == "qd") {
    s.para.align = Align::kJustify;
  } else if (word == "intbl") {
    s.para.in_table = true;
  } else if (word == "itap") {
    s.para.in_table = !has_param || param > 0;
  } else if (word == "ls") {
    if (has_param) s.para.list = std::max(param, 0);
  } else if (word == "ilvl") {
    if (has_param) s.para.level = std::clamp(param, 0, kMaxListLevel);
  } else if (word == "li") {
    if (has_param) s.para.left_indent = param;
  } else {
    TableControl(word, has_param, param);
    CharacterControl(word, has_param, param);
  }
}

void FormattedSink::CharacterControl(std::string_view word, bool has_param, int param) {
  CharFormat& c = state().chars;
  const bool on = !has_param || param != 0;
  if (word == "b") {
    c.bold = on;
  } else if (word == "i") {
    c.italic = on;
  } else if (word == "strike" || word == "striked") {
    c.strike = on;
  } else if (word == "ulnone") {
    c.underline = false;
  } else if (word.starts_with("ul") && word != "ulc") {
    // \ul and its kinds: \uld, \uldb, \ulw, \ulwave, \ulth, ...
    c.underline = on;
  } else if (word == "v") {
    c.hidden = on;
  } else if (word == "super") {
    c.vertical = 1;
  } else if (word == "sub") {
    c.vertical = -1;
  } else if (word == "nosupersub") {
    c.vertical = 0;
  } else if (word == "f") {
    if (has_param) c.font = param;
  } else if (word == "fs") {
    if (has_param) c.size = std::clamp(param, 0, 3276);
  } else if (word == "cf") {
    if (has_param) c.color = param;
  } else if (word == "highlight" || word == "cb" || word == "chcbpat") {
    if (has_param) c.background = param;
  } else if (word == "plain") {
    std::string href = std::move(c.href);
    c = CharFormat{};
    c.href = std::move(href);
  }
}

void FormattedSink::TableControl(std::string_view word, bool has_param, int param) {
  if (word == "trowd") {
    cell_boundaries_.clear();
    row_left_ = 0;
    row_borders_ = false;
    border_pending_ = false;
  } else if (word == "cellx") {
    if (has_param && cell_boundaries_.size() < kMaxCellBoundaries) cell_boundaries_.push_back(param);
  } else if (word == "trleft") {
    if (has_param) row_left_ = param;
  } else if (word.starts_with("clbrdr") || word.starts_with("trbrdr")) {
    border_pending_ = true;
  } else if (word.starts_with("brdr") && border_pending_) {
    if (word == "brdrnone" || word == "brdrnil") {
      border_pending_ = false;
    } else if (word != "brdrw" && word != "brdrcf" && word != "brdrsp") {
      row_borders_ = true;
      border_pending_ = false;
    }
  }
}

void FormattedSink::Text(std::string_view utf8) {
  State& s = state();
  switch (s.dest) {
    case Dest::kBody:
      if (!s.chars.hidden) BodyText(utf8);
      break;
    case Dest::kListText:
      if (list_text_.size() < kMaxInstruction) list_text_ += utf8;
      plain_ += utf8;
      break;
    case Dest::kFieldInstruction:
      if (!fields_.empty() && fields_.back().instruction.size() < kMaxInstruction) {
        fields_.back().instruction += utf8;
      }
      break;
    case Dest::kPicture:
      picture_.Hex(utf8);
      break;
  }
}

void FormattedSink::BodyText(std::string_view utf8) {
  EnsureRun(state().chars);
  plain_ += utf8;
  for (char c : utf8) {
    if (c == ' ') {
      // HTML folds blanks; RTF keeps every one.
      para_ += last_was_space_ ? "&nbsp;" : " ";
      last_was_space_ = true;
      continue;
    }
    last_was_space_ = false;
    if (c == '\t') {
      para_ += "&emsp;";
    } else {
      AppendEscaped(para_, std::string_view(&c, 1));
    }
  }
  para_has_content_ = true;
}

void FormattedSink::FinishPicture() {
  picture_depth_ = 0;
  std::optional<Picture> picture = picture_.Take(static_cast<int>(pictures_.size()) + 1);
  if (!picture) return;
  // The group of the \pict is about to close; where it shows depends on
  // the group around it.
  const State& outer = stack_[stack_.size() - 2];
  if (outer.dest != Dest::kBody || outer.chars.hidden) return;
  EnsureRun(outer.chars);
  para_ += "<img src=\"cid:" + Escaped(picture->content_id) + "\" alt=\"\"";
  if (const int w = picture_.DisplayWidth()) para_ += " width=\"" + std::to_string(w) + "\"";
  if (const int h = picture_.DisplayHeight()) para_ += " height=\"" + std::to_string(h) + "\"";
  para_ += ">";
  para_has_content_ = true;
  last_was_space_ = false;
  pictures_.push_back(std::move(*picture));
}

void FormattedSink::EnsureRun(const CharFormat& format) {
  if (run_open_ && format == run_format_) return;
  CloseRun();
  para_ += OpenTags(format, run_close_);
  run_format_ = format;
  run_open_ = true;
}

void FormattedSink::CloseRun() {
  if (!run_open_) return;
  para_ += run_close_;
  run_close_.clear();
  run_open_ = false;
}

std::string FormattedSink::OpenTags(const CharFormat& f, std::string& close) const {
  std::string open;
  close.clear();
  if (!f.href.empty()) {
    open += "<a href=\"" + Escaped(f.href) + "\">";
    close = "</a>";
  }
  std::string style;
  if (const FontInfo* font = tables_.Font(f.font >= 0 ? f.font : tables_.default_font);
      font != nullptr && font->charset != kSymbolCharset) {
    const std::string name = CssFontName(font->name);
    if (!name.empty()) style += "font-family:'" + name + "';";
  }
  if (f.size > 0) {
    style += "font-size:" + std::to_string(f.size / 2) + (f.size % 2 != 0 ? ".5" : "") + "pt;";
  }
  if (const auto color = tables_.Color(f.color)) style += "color:" + HexColor(*color) + ";";
  if (const auto color = tables_.Color(f.background)) style += "background-color:" + HexColor(*color) + ";";
  if (!style.empty()) {
    style.pop_back();
    // Safe as it stands: font names are reduced by CssFontName, the rest is numbers.
    open += "<span style=\"" + style + "\">";
    close.insert(0, "</span>");
  }
  const auto wrap = [&](bool on, const char* tag) {
    if (!on) return;
    open += std::string("<") + tag + ">";
    close.insert(0, std::string("</") + tag + ">");
  };
  wrap(f.bold, "b");
  wrap(f.italic, "i");
  wrap(f.underline, "u");
  wrap(f.strike, "s");
  wrap(f.vertical > 0, "sup");
  wrap(f.vertical < 0, "sub");
  return open;
}

void FormattedSink::LineBreak() {
  CloseRun();
  para_ += "<br>";
  plain_ += "\r\n";
  para_has_content_ = true;
  last_was_space_ = true;
}

std::string FormattedSink::ParagraphStyle(const ParaFormat& para, bool in_list) const {
  std::string style;
  switch (para.align) {
    case Align::kLeft: break;
    case Align::kCenter: style += "text-align:center;"; break;
    case Align::kRight: style += "text-align:right;"; break;
    case Align::kJustify: style += "text-align:justify;"; break;
  }
  if (!in_list && para.left_indent > 0 && para.left_indent < 20 * 1440) {
    style += "margin-left:" + std::to_string(para.left_indent / 20) + "pt;";
  }
  if (style.empty()) return "";
  style.pop_back();
  return " style=\"" + style + "\"";
}

void FormattedSink::EndParagraph() {
  CloseRun();
  const ParaFormat para = state().para;
  const bool is_list = para.list > 0 || !list_text_.empty();
  if (para.in_table) {
    if (para_has_content_ || !list_text_.empty()) {
      cell_paragraphs_.push_back("<div" + ParagraphStyle(para, false) + ">" + Escaped(list_text_) + para_ +
                                 "</div>");
    } else {
      cell_paragraphs_.push_back("<div><br></div>");
    }
  } else {
    CloseTable();
    if (is_list) {
      OpenListsTo(para.list > 0 ? para.level : 0, KindOfListText(list_text_));
      body_ += "<li" + ParagraphStyle(para, true) + ">" + para_ + "</li>\n";
    } else {
      CloseListsTo(0);
      body_ += "<div" + ParagraphStyle(para, false) + ">" + (para_has_content_ ? para_ : "<br>") + "</div>\n";
    }
  }
  plain_ += "\r\n";
  para_.clear();
  list_text_.clear();
  para_has_content_ = false;
  last_was_space_ = true;
}

void FormattedSink::EndCell() {
  CloseRun();
  if (para_has_content_ || !list_text_.empty()) {
    cell_paragraphs_.push_back("<div" + ParagraphStyle(state().para, false) + ">" + Escaped(list_text_) + para_ +
                               "</div>");
  }
  // A cell's last paragraph mark is its \cell: a trailing empty paragraph
  // is not part of the cell.
  if (!cell_paragraphs_.empty() && cell_paragraphs_.back() == "<div><br></div>") cell_paragraphs_.pop_back();
  std::string cell;
  for (const std::string& p : cell_paragraphs_) cell += p;
  row_cells_.push_back(std::move(cell));
  cell_paragraphs_.clear();
  para_.clear();
  list_text_.clear();
  para_has_content_ = false;
  last_was_space_ = true;
  plain_ += "\t";
}

void FormattedSink::EndRow() {
  if (para_has_content_ || !list_text_.empty() || !cell_paragraphs_.empty()) EndCell();
  if (row_cells_.empty()) return;
  CloseListsTo(0);
  if (!table_open_) {
    body_ += "<table cellspacing=\"0\" cellpadding=\"4\" style=\"border-collapse:collapse\">\n";
    table_open_ = true;
  }
  body_ += "<tr>";
  for (std::size_t i = 0; i < row_cells_.size(); ++i) {
    body_ += "<td";
    if (i < cell_boundaries_.size()) {
      const int left = i == 0 ? row_left_ : cell_boundaries_[i - 1];
      const int width = (cell_boundaries_[i] - left) / 15;
      if (width > 0 && width < 5000) body_ += " width=\"" + std::to_string(width) + "\"";
    }
    if (row_borders_) body_ += " style=\"border:1px solid #000000\"";
    body_ += ">" + (row_cells_[i].empty() ? std::string("&nbsp;") : row_cells_[i]) + "</td>";
  }
  body_ += "</tr>\n";
  row_cells_.clear();
  if (!plain_.empty() && plain_.back() == '\t') plain_.pop_back();
  plain_ += "\r\n";
}

void FormattedSink::CloseTable() {
  if (!cell_paragraphs_.empty() || !row_cells_.empty()) EndRow();
  if (!table_open_) return;
  body_ += "</table>\n";
  table_open_ = false;
}

void FormattedSink::OpenListsTo(int level, const ListKind& kind) {
  const auto depth = static_cast<std::size_t>(level) + 1;
  CloseListsTo(depth);
  if (lists_.size() == depth && !(lists_.back() == kind)) CloseListsTo(depth - 1);
  while (lists_.size() < depth) {
    if (kind.ordered) {
      body_ += "<ol";
      if (kind.type != '1') body_ += std::string(" type=\"") + kind.type + "\"";
      if (kind.start != 1) body_ += " start=\"" + std::to_string(kind.start) + "\"";
      body_ += ">\n";
    } else {
      body_ += "<ul>\n";
    }
    lists_.push_back(kind);
  }
}

void FormattedSink::CloseListsTo(std::size_t depth) {
  while (lists_.size() > depth) {
    body_ += lists_.back().ordered ? "</ol>\n" : "</ul>\n";
    lists_.pop_back();
  }
}

FormattedRtf FormattedSink::Finish() {
  // What the input left open. A last paragraph without its mark has no
  // line end in the text either.
  if (para_has_content_ || !list_text_.empty()) {
    const std::size_t text_end = plain_.size();
    if (state().para.in_table) {
      EndCell();
    } else {
      EndParagraph();
    }
    plain_.resize(text_end);
  }
  CloseTable();
  CloseListsTo(0);
  FormattedRtf out;
  out.html = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head><body>\n" +
             body_ + "</body></html>\n";
  out.plain = std::move(plain_);
  out.pictures = std::move(pictures_);
  return out;
}

}  // namespace

FormattedRtf ConvertFormatted(std::string_view rtf) {
  Tables tables;
  FormattedSink sink(tables);
  Interpret(rtf, tables, sink);
  return sink.Finish();
}

}  // namespace norvexa::outlook::rtf
