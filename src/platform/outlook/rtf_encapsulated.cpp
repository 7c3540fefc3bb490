// Encapsulated HTML and text in RTF (see rtf_encapsulated.h).
#include "platform/outlook/rtf_encapsulated.h"

#include "platform/outlook/rtf_interpreter.h"
#include "platform/outlook/rtf_reader.h"

#include <vector>

namespace norvexa::outlook::rtf {
namespace {

// The number of leading tokens in which \fromhtml or \fromtext must come.
constexpr int kHeaderTokens = 10;

class DeencapsulatingSink : public Sink {
 public:
  std::string Take() { return std::move(out_); }

  void GroupStart() override { stack_.push_back(stack_.back()); }

  void GroupEnd() override {
    if (stack_.size() > 1) stack_.pop_back();
  }

  Reading Enter(std::string_view destination, bool optional) override {
    State& s = stack_.back();
    if (destination == "htmltag") {
      s.in_tag = true;
      return Reading::kReadInDocumentCodepage;
    }
    if (s.in_tag) return optional ? Reading::kSkip : Reading::kReadInDocumentCodepage;
    if (optional || IsNonTextDestination(destination)) return Reading::kSkip;
    if (destination == "fldinst" || destination == "pict" || destination == "pntext" ||
        destination == "listtext" || destination == "mhtmltag") {
      return Reading::kSkip;
    }
    return Reading::kRead;
  }

  void Control(std::string_view word, bool has_param, int param) override {
    State& s = stack_.back();
    if (word == "htmlrtf") {
      s.suppressed = !has_param || param != 0;
      return;
    }
    if (s.suppressed) return;
    if (word == "par" || word == "\n" || word == "line") out_ += "\r\n";
  }

  void Text(std::string_view utf8) override {
    if (!stack_.back().suppressed) out_ += utf8;
  }

  void Binary(std::string_view) override {}

 private:
  struct State {
    bool suppressed = false;  // inside \htmlrtf ... \htmlrtf0
    bool in_tag = false;      // inside \*\htmltag
  };
  std::vector<State> stack_{State{}};
  std::string out_;
};

}  // namespace

Encapsulation EncapsulationOf(std::string_view rtf) {
  Reader reader(rtf);
  int counted = 0;
  for (Token token = reader.Next(); token.kind != Token::Kind::kEnd && counted < kHeaderTokens;
       token = reader.Next()) {
    switch (token.kind) {
      case Token::Kind::kText:
        if (token.text.find_first_not_of(" \t") != std::string_view::npos) return Encapsulation::kNone;
        break;
      case Token::Kind::kControlWord: {
        const bool on = !token.has_param || token.param != 0;
        if (token.word == "fromhtml" && on) return Encapsulation::kHtml;
        if (token.word == "fromtext" && on) return Encapsulation::kText;
        ++counted;
        break;
      }
      default:
        ++counted;
        break;
    }
  }
  return Encapsulation::kNone;
}

std::string Deencapsulate(std::string_view rtf) {
  Tables tables;
  DeencapsulatingSink sink;
  Interpret(rtf, tables, sink);
  return sink.Take();
}

}  // namespace norvexa::outlook::rtf
