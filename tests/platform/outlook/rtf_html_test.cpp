// RTF to HTML and plain text: hand-written RTF for each feature, encapsulated
// HTML and text, the real fixtures' bodies, and damaged input.
#include "platform/outlook/outlook.h"
#include "platform/outlook/rtf_compressed.h"
#include "platform/outlook/rtf_html.h"
#include "tests/platform/outlook/rtf_fixture_bodies.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace norvexa::outlook::rtf {
namespace {

std::string Html(const std::string& rtf) { return ToHtml(rtf).html; }

// The HTML between <body> and </body>, without the line ends written
// between blocks.
std::string Body(const std::string& rtf) {
  std::string html = Html(rtf);
  const auto start = html.find("<body>");
  const auto end = html.rfind("</body>");
  if (start == std::string::npos || end == std::string::npos) return html;
  html = html.substr(start + 6, end - start - 6);
  std::string out;
  for (char c : html) {
    if (c != '\n') out.push_back(c);
  }
  return out;
}

// HTML's text: elements dropped (the head whole), the usual character
// references decoded, every blank removed.
std::string TextOfHtml(std::string html) {
  const auto head = html.find("<HEAD>") != std::string::npos ? html.find("<HEAD>") : html.find("<head>");
  const auto head_end = html.find("</HEAD>") != std::string::npos ? html.find("</HEAD>") : html.find("</head>");
  if (head != std::string::npos && head_end != std::string::npos) html.erase(head, head_end - head);
  std::string text;
  bool in_tag = false;
  std::string tag;
  for (char c : html) {
    if (c == '<') in_tag = true;
    if (in_tag) {
      tag.push_back(c);
    } else {
      text.push_back(c);
    }
    if (c == '>') {
      // An image's alternative text stands for it.
      const auto alt = tag.find("alt=\"");
      if (alt != std::string::npos) text += tag.substr(alt + 5, tag.find('"', alt + 5) - alt - 5);
      in_tag = false;
      tag.clear();
    }
  }
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    static const std::pair<std::string, std::string> kReferences[] = {
        {"&nbsp;", " "}, {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}};
    bool replaced = false;
    for (const auto& [reference, character] : kReferences) {
      if (text.compare(i, reference.size(), reference) == 0) {
        out += character;
        i += reference.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(text[i]);
  }
  std::string squeezed;
  for (char c : out) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') squeezed.push_back(c);
  }
  return squeezed;
}

TEST(RtfToHtml, CharacterFormattingBecomesInlineElements) {
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
      "\\pard plain {\\b bold} {\\i italic} {\\ul under} {\\ulw words} {\\strike gone} x{\\super 2} H{\\sub 2}O "
      "{\\b\\i both\\b0  italic}{\\v hidden}\\par"
      "\\pard{\\f1\\fs28\\cf1\\highlight2 red on blue}\\par}";
  const std::string body = Body(rtf);
  EXPECT_NE(body.find("<b>bold</b>"), std::string::npos) << body;
  EXPECT_NE(body.find("<i>italic</i>"), std::string::npos) << body;
  EXPECT_NE(body.find("<u>under</u>"), std::string::npos) << body;
  EXPECT_NE(body.find("<u>words</u>"), std::string::npos) << body;
  EXPECT_NE(body.find("<s>gone</s>"), std::string::npos) << body;
  EXPECT_NE(body.find("<sup>2</sup>"), std::string::npos) << body;
  EXPECT_NE(body.find("<sub>2</sub>"), std::string::npos) << body;
  EXPECT_NE(body.find("<b><i>both</i></b>"), std::string::npos) << body;
  EXPECT_EQ(body.find("hidden"), std::string::npos) << body;
  EXPECT_NE(body.find("<span style=\"font-family:'Times New Roman';font-size:14pt;color:#FF0000;"
                      "background-color:#0000FF\">red on blue</span>"),
            std::string::npos)
      << body;
  EXPECT_NE(body.find("font-family:'Arial'"), std::string::npos) << body;
  EXPECT_EQ(ToPlainText(rtf), "plain bold italic under words gone x2 H2O both italic\r\nred on blue\r\n");
}

TEST(RtfToHtml, ParagraphsKeepTheirAlignmentBreaksAndBlanks) {
  const std::string rtf =
      "{\\rtf1\\ansi \\pard\\qc Centered\\par\\pard\\qr Right\\line next line\\par"
      "\\par\\pard\\qj\\li720 Two  blanks\\tab tab\\par\\pard Left\\par}";
  EXPECT_EQ(Body(rtf),
            "<div style=\"text-align:center\">Centered</div>"
            "<div style=\"text-align:right\">Right<br>next line</div>"
            "<div style=\"text-align:right\"><br></div>"
            "<div style=\"text-align:justify;margin-left:36pt\">Two &nbsp;blanks&emsp;tab</div>"
            "<div>Left</div>");
  EXPECT_EQ(ToPlainText(rtf), "Centered\r\nRight\r\nnext line\r\n\r\nTwo  blanks\ttab\r\nLeft\r\n");
}

TEST(RtfToHtml, TablesBecomeRowsOfCells) {
  const std::string rtf =
      "{\\rtf1\\ansi\\pard Before\\par"
      "\\trowd\\trleft0\\clbrdrt\\brdrs\\cellx1440\\cellx4320"
      "\\pard\\intbl A\\cell B1\\par B2\\cell\\row"
      "\\trowd\\cellx1440\\cellx4320\\pard\\intbl\\cell D\\cell\\row"
      "\\pard After\\par}";
  EXPECT_EQ(Body(rtf),
            "<div>Before</div>"
            "<table cellspacing=\"0\" cellpadding=\"4\" style=\"border-collapse:collapse\">"
            "<tr><td width=\"96\" style=\"border:1px solid #000000\"><div>A</div></td>"
            "<td width=\"192\" style=\"border:1px solid #000000\"><div>B1</div><div>B2</div></td></tr>"
            "<tr><td width=\"96\">&nbsp;</td><td width=\"192\"><div>D</div></td></tr>"
            "</table>"
            "<div>After</div>");
  EXPECT_EQ(ToPlainText(rtf), "Before\r\nA\tB1\r\nB2\r\n\tD\r\nAfter\r\n");
  // Word's newer form: the row's definition after its cells; a table at the
  // very end is closed.
  const std::string late = "{\\rtf1\\pard\\intbl\\itap1 X\\cell Y\\cell{\\trowd\\cellx720\\cellx1440\\row}}";
  EXPECT_EQ(Body(late),
            "<table cellspacing=\"0\" cellpadding=\"4\" style=\"border-collapse:collapse\">"
            "<tr><td width=\"48\"><div>X</div></td><td width=\"48\"><div>Y</div></td></tr></table>");
}

TEST(RtfToHtml, ListsBecomeListElements) {
  const std::string bullets =
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}"
      "{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'b7}}\\fi-360\\li720 First\\par"
      "{\\pntext\\f1\\'b7\\tab}Second\\par\\pard Plain\\par}";
  // Without \\deff no font is the default one.
  EXPECT_EQ(Body(bullets), "<ul><li>First</li><li>Second</li></ul><div>Plain</div>");
  EXPECT_EQ(ToPlainText(bullets), "\u2022\tFirst\r\n\u2022\tSecond\r\nPlain\r\n");

  const std::string numbered =
      "{\\rtf1\\ansi{\\listtext 3.\\tab}\\ls1\\ilvl0 Three\\par{\\listtext 4.\\tab}Four\\par"
      "{\\listtext a)\\tab}\\ls1\\ilvl1 Sub\\par{\\listtext \\u8226?\\tab}\\ls2\\ilvl0 Dot\\par}";
  EXPECT_EQ(Body(numbered),
            "<ol start=\"3\"><li>Three</li><li>Four</li>"
            "<ol type=\"a\"><li>Sub</li></ol></ol>"
            "<ul><li>Dot</li></ul>");
  EXPECT_EQ(ToPlainText(numbered), "3.\tThree\r\n4.\tFour\r\na)\tSub\r\n\u2022\tDot\r\n");
}

TEST(RtfToHtml, HyperlinkFieldsLinkTheirResult) {
  const auto link = [](const std::string& instruction) {
    return Body("{\\rtf1\\ansi{\\field{\\*\\fldinst{" + instruction + "}}{\\fldrslt{\\ul Example}}}\\par}");
  };
  EXPECT_EQ(link("HYPERLINK \"http://example.com/a?b=1&c=2\""),
            "<div><a href=\"http://example.com/a?b=1&amp;c=2\"><u>Example</u></a></div>");
  EXPECT_EQ(link(" HYPERLINK \\\\l \"_Toc1\" \\\\o \"tip\""), "<div><a href=\"#_Toc1\"><u>Example</u></a></div>");
  EXPECT_EQ(link("HYPERLINK mailto:john@example.com"),
            "<div><a href=\"mailto:john@example.com\"><u>Example</u></a></div>");
  EXPECT_EQ(link("HYPERLINK \"java\\tab script:alert(1)\""), "<div><u>Example</u></div>");
  EXPECT_EQ(link("PAGE"), "<div><u>Example</u></div>");
  // The link ends with the field's result; the instruction is no text.
  const std::string after =
      "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"http://x.test/\"}{\\fldrslt x}} after\\par}";
  EXPECT_EQ(Body(after), "<div><a href=\"http://x.test/\">x</a> after</div>");
  EXPECT_EQ(ToPlainText(after), "x after\r\n");
}

TEST(RtfToHtml, PicturesBecomeInlineImagesWithTheirBytes) {
  const std::string png = "\x89PNG\r\n\x1a\n";
  const HtmlFromRtf out = ToHtml(
      "{\\rtf1\\ansi Look: {\\*\\shppict{\\pict\\pngblip\\picw20\\pich10\\picwgoal1500\\pichgoal750 "
      "89504e47\r\n0d0a1a0a}}{\\nonshppict{\\pict\\wmetafile8 0102}}"
      "{\\pict\\jpegblip\\picscalex50\\picscaley50\\picwgoal3000\\pichgoal3000\\bin4 \xff\xd8\xff\xe0}"
      "{\\pict\\emfblip 01000000}{\\pict\\wmetafile8\\picw2540\\pich2540 0900}"
      "{\\pict\\dibitmap0 28000000010000000100000001001800000000000400000000000000000000000000000000000000ffffff00}"
      "{\\pict\\wbitmap0 00}{\\pict\\pngblip}\\par}");
  ASSERT_EQ(out.pictures.size(), 5u);
  EXPECT_EQ(out.pictures[0].mime_type, "image/png");
  EXPECT_EQ(out.pictures[0].bytes, png);
  EXPECT_EQ(out.pictures[0].content_id, "rtf-picture-1.png@norvexa");
  EXPECT_EQ(out.pictures[1].mime_type, "image/jpeg");
  EXPECT_EQ(out.pictures[1].bytes, "\xff\xd8\xff\xe0");
  EXPECT_EQ(out.pictures[2].mime_type, "image/x-emf");
  EXPECT_EQ(out.pictures[3].mime_type, "image/x-wmf");
  EXPECT_EQ(out.pictures[3].bytes, std::string("\x09\x00", 2));
  // A DIB gets the file header of a .bmp: 14 bytes, the bits at 14 + 40.
  EXPECT_EQ(out.pictures[4].mime_type, "image/bmp");
  EXPECT_EQ(out.pictures[4].bytes.substr(0, 2), "BM");
  EXPECT_EQ(out.pictures[4].bytes.size(), 14u + 44u);
  EXPECT_EQ(static_cast<unsigned char>(out.pictures[4].bytes[10]), 54u);
  EXPECT_EQ(static_cast<unsigned char>(out.pictures[4].bytes[2]), 58u);
  for (const Picture& picture : out.pictures) {
    EXPECT_NE(out.html.find("src=\"cid:" + picture.content_id + "\""), std::string::npos) << picture.content_id;
  }
  EXPECT_NE(out.html.find("Look: <img src=\"cid:rtf-picture-1.png@norvexa\" alt=\"\" width=\"100\" height=\"50\">"),
            std::string::npos)
      << out.html;
  EXPECT_NE(out.html.find("cid:rtf-picture-2.jpg@norvexa\" alt=\"\" width=\"100\" height=\"100\""), std::string::npos);
  EXPECT_NE(out.html.find("cid:rtf-picture-4.wmf@norvexa\" alt=\"\" width=\"96\" height=\"96\""), std::string::npos);
  EXPECT_FALSE(out.encapsulated);
}

TEST(RtfToHtml, TextIsDecodedInItsCodePage) {
  // Cyrillic in code page 1251, by the document's code page and by a
  // font's character set, next to Western text, \u characters with their
  // fallback skipped, a character beyond the BMP as a surrogate pair, and
  // double-byte Japanese split over escapes.
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}{\\f1\\fswiss\\fcharset0 "
      "Arial;}{\\f2\\fnil\\fcharset128 MS Gothic;}{\\f3\\fnil\\fcharset2 Symbol;}{\\f4 Plain;}}"
      "\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 {\\f1 caf\\'e9} \\u8364? {\\uc2\\u8364\\'80\\'80x} \\u-10179?\\u-8704? "
      "{\\f2\\'82\\'a0\\'82\\'a2} {\\f3 abg\\'b7} {\\f4 \\'e4}\\par}";
  const std::string expected =
      "\u041f\u0440\u0438\u0432\u0435\u0442 caf\u00e9 \u20ac \u20acx \U0001F600 \u3042\u3044 "
      "\u03b1\u03b2\u03b3\u2022 \u0434";
  EXPECT_EQ(ToPlainText(rtf), expected + "\r\n");
  EXPECT_NE(Body(rtf).find("\u041f\u0440\u0438\u0432\u0435\u0442"), std::string::npos);
  EXPECT_EQ(ToPlainText("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}"),
            "\u041f\u0440\u0438\u0432\u0435\u0442");
  EXPECT_EQ(ToPlainText("{\\rtf1\\ansi \\'e9\\~\\{\\}\\\\\\emdash\\lquote x\\rquote}"),
            "\u00e9\u00a0{}\\\u2014\u2018x\u2019");
}

TEST(RtfToHtml, TextThatLooksLikeHtmlIsEscaped) {
  const std::string text = "Tom & Jerry <b> not bold </b> <john@example.com> \"q\" 'a'";
  const std::string escaped =
      "Tom &amp; Jerry &lt;b&gt; not bold &lt;/b&gt; &lt;john@example.com&gt; &quot;q&quot; &#39;a&#39;";
  const std::string formatted = Body("{\\rtf1\\ansi " + text + "\\par}");
  EXPECT_EQ(formatted, "<div>" + escaped + "</div>");
  // Encapsulated text the same, its line breaks kept.
  const std::string from_text = "{\\rtf1\\ansi\\fromtext \\deff0{\\fonttbl{\\f0 Courier;}}\\htmlrtf\\f0\\htmlrtf0 "
                                "Line one\\par " + text + "\\par}";
  const HtmlFromRtf out = ToHtml(from_text);
  EXPECT_FALSE(out.encapsulated);
  EXPECT_NE(out.html.find("<body>\nLine one<br>\n" + escaped + "<br>\n"), std::string::npos) << out.html;
  EXPECT_NE(out.html.find("charset=utf-8"), std::string::npos);
  EXPECT_EQ(ToPlainText(from_text), "Line one\r\n" + text + "\r\n");
  // In encapsulated HTML the writer escaped it already: it stays as written.
  const std::string from_html = "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag64 <p>}Tom {\\*\\htmltag84 &amp;}"
                                "\\htmlrtf &\\htmlrtf0  Jerry {\\*\\htmltag84 &lt;}\\htmlrtf <\\htmlrtf0 b}";
  EXPECT_EQ(Html(from_html), "<p>Tom &amp; Jerry &lt;b");
}

TEST(RtfToHtml, EncapsulatedHtmlIsTakenBackOut) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1251\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}"
      "{\\f1\\fmodern\\fcharset0 Courier New;}}\r\n"
      "{\\colortbl\\red0\\green0\\blue0;}\r\n\\uc1\\pard\\plain\\deftab360 \\f0\\fs24 \r\n"
      "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head>}{\\*\\htmltag1 \\par }"
      "{\\*\\htmltag161 <meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">}"
      "{\\*\\htmltag241 <style>p \\{ margin: 0 \\}</style>}{\\*\\htmltag41 </head>}"
      "{\\*\\htmltag50 <body lang=\\'d0\\'d3>}\\htmlrtf {\\htmlrtf0 "
      "{\\*\\htmltag64 <p class=MsoNormal>}\\htmlrtf {\\htmlrtf0 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 {\\f1 caf\\'e9} \\u8364?"
      "{\\*\\mhtmltag84 <img src=\"http://x.test/a.png\">}{\\*\\htmltag84 <img src=\"a.png\">}"
      "\\htmlrtf {\\pict\\pngblip 89504e47}\\htmlrtf0 "
      "{\\*\\htmltag116 <br>}\\htmlrtf \\line\\htmlrtf0 \\tab x{\\*\\htmltag244 <o:p>}{\\*\\htmltag252 </o:p>}"
      "\\htmlrtf \\par\\htmlrtf0 \\htmlrtf }\\htmlrtf0 {\\*\\htmltag72 </p>}\\htmlrtf }\\htmlrtf0 "
      "{\\*\\htmltag58 </body>}{\\*\\htmltag27 </html>}}";
  EXPECT_TRUE(IsEncapsulatedHtml(rtf));
  const HtmlFromRtf out = ToHtml(rtf);
  EXPECT_TRUE(out.encapsulated);
  EXPECT_TRUE(out.pictures.empty());
  EXPECT_EQ(out.html,
            "<html><head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
            "<style>p { margin: 0 }</style></head><body lang=\u0420\u0423>"
            "<p class=MsoNormal>\u041f\u0440\u0438\u0432\u0435\u0442 caf\u00e9 \u20ac<img src=\"a.png\"><br>"
            "\tx<o:p></o:p></p></body></html>");
  // Its text, read as RTF, is what an RTF reader shows.
  EXPECT_EQ(ToPlainText(rtf), "\u041f\u0440\u0438\u0432\u0435\u0442 caf\u00e9 \u20ac\r\n\tx\r\n");

  // \htmlrtf holds for its group and the groups in it, as \b does.
  EXPECT_EQ(Html("{\\rtf1\\fromhtml1 {\\*\\htmltag <p>}\\htmlrtf {\\htmlrtf0 in{\\htmlrtf x}}out\\htmlrtf0 shown}"),
            "<p>inshown");

  // Every form of charset claim is rewritten, the rest kept as it is.
  EXPECT_EQ(Html("{\\rtf1\\fromhtml1 {\\*\\htmltag <META charset='iso-8859-1'><meta content=\"text/html;"
                 "charset = koi8-r\" http-equiv=Content-Type><p>charset=x</p>}}"),
            "<META charset='utf-8'><meta content=\"text/html;charset = utf-8\" http-equiv=Content-Type>"
            "<p>charset=x</p>");
}

TEST(RtfToHtml, EncapsulationIsRecognisedInTheHeaderOnly) {
  EXPECT_TRUE(IsEncapsulatedHtml("{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl}}"));
  EXPECT_TRUE(IsEncapsulatedHtml("{\\rtf1\\fromhtml{\\*\\htmltag <p>}}"));
  EXPECT_FALSE(IsEncapsulatedHtml("{\\rtf1\\ansi\\fromhtml0 x}"));
  EXPECT_FALSE(IsEncapsulatedHtml("{\\rtf1\\ansi\\fromtext x}"));
  EXPECT_FALSE(IsEncapsulatedHtml("{\\rtf1\\ansi text \\fromhtml1 x}"));
  EXPECT_FALSE(IsEncapsulatedHtml("{\\rtf1\\a\\b\\c\\d\\e\\f\\g\\h\\i\\fromhtml1 x}"));
  EXPECT_FALSE(IsEncapsulatedHtml("{\\rtf1\\ansi\\deff0 plain}"));
  EXPECT_FALSE(IsEncapsulatedHtml(""));
  // Only what is no RTF at all throws.
  EXPECT_THROW(ToHtml("hello"), OutlookError);
  EXPECT_THROW(ToHtml(""), OutlookError);
  EXPECT_THROW(ToPlainText("<html>"), OutlookError);
  EXPECT_NO_THROW(ToHtml("  \r\n{\\rtf1 unclosed {\\b group"));
  EXPECT_EQ(ToPlainText("{\\rtf1 unclosed {\\b group"), "unclosed group");
  EXPECT_EQ(ToPlainText("{\\rtf1 done}after the end"), "done");
}

// What real mailboxes hold: the fixtures' encapsulated HTML gives the text
// of the item's plain body, in order; their formatted RTF gives that body.
TEST(RtfToHtml, FixtureBodiesGiveTheTextOfTheirItems) {
  const std::vector<testing::FixtureBody> bodies = testing::FixtureRtfBodies();
  if (bodies.empty()) GTEST_SKIP() << "the shared PST fixtures are not here (" << NORVEXA_SHARED_FIXTURES << ")";
  int encapsulated = 0;
  int formatted = 0;
  for (const testing::FixtureBody& item : bodies) {
    SCOPED_TRACE(item.pst + " node " + std::to_string(item.node) + " " + item.subject);
    const std::string rtf = Decompress(item.compressed);
    const HtmlFromRtf out = ToHtml(rtf);
    if (out.encapsulated) {
      ++encapsulated;
      EXPECT_TRUE(IsEncapsulatedHtml(rtf));
      EXPECT_EQ(out.html.find("\\htmlrtf"), std::string::npos);
      EXPECT_EQ(out.html.find("htmltag"), std::string::npos);
      if (!item.html.empty()) {
        // The item's own HTML says what the text must be.
        EXPECT_EQ(TextOfHtml(out.html), TextOfHtml(item.html));
        continue;
      }
      // Hand-checked: the one HTML the fixtures encapsulate (Outlook 2000's
      // welcome message) links its first paragraph so.
      EXPECT_NE(out.html.find("<A \r\n      href=\"http://www.microsoft.com/outlook\"><SPAN \r\n      "
                              "class=BrightText>Microsoft<SUP>(R)</SUP> Outlook<SUP>(R)</SUP> 2000"),
                std::string::npos);
      // Outlook's plain body, without the link targets it adds in angle
      // brackets and its list bullets, is the HTML's text in order.
      const std::string html_text = TextOfHtml(out.html);
      std::size_t at = 0;
      std::string line;
      std::string body = item.body + "\n";
      int lines = 0;
      for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '<' && body.find('>', i) != std::string::npos && body.compare(i, 5, "<http") == 0) {
          i = body.find('>', i);
          continue;
        }
        if (body[i] != '\n') {
          if (body[i] != ' ' && body[i] != '\t' && body[i] != '\r' && body[i] != '*') line.push_back(body[i]);
          continue;
        }
        if (!line.empty()) {
          const std::size_t found = html_text.find(line, at);
          EXPECT_NE(found, std::string::npos) << "not in the HTML, in order: " << line;
          if (found != std::string::npos) at = found + line.size();
          ++lines;
        }
        line.clear();
      }
      EXPECT_GT(lines, 20);
    } else {
      ++formatted;
      EXPECT_TRUE(out.pictures.empty());
      std::string plain = ToPlainText(rtf);
      std::string expected = item.body;
      for (std::string* s : {&plain, &expected}) {
        while (!s->empty() && (s->back() == '\r' || s->back() == '\n' || s->back() == ' ')) s->pop_back();
      }
      EXPECT_EQ(plain, expected);
      if (!expected.empty()) {
        EXPECT_NE(out.html.find(">" + expected + "</span></div>"), std::string::npos) << out.html;
      }
    }
  }
  EXPECT_GT(encapsulated, 0);
  EXPECT_GT(formatted, 0);
}

// A formatted sample with every feature, for the damage tests when the
// fixtures are not there.
const char kSample[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fcharset2 Symbol;}"
    "{\\f2\\fcharset204 Arial Cyr;}}{\\colortbl;\\red255\\green0\\blue0;}"
    "{\\*\\generator Test;}\\viewkind4\\uc1\\pard\\qc\\b\\f0\\fs24 Title\\b0\\par"
    "\\pard{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}Item \\cf1 red\\cf0\\par"
    "{\\listtext 1.\\tab}\\ls1\\ilvl0 One\\par\\pard"
    "\\trowd\\cellx1000\\cellx2000\\pard\\intbl {\\f2\\'cf\\'f0}\\cell\\u8364?\\cell\\row\\pard"
    "{\\field{\\*\\fldinst{HYPERLINK \"http://example.com/\"}}{\\fldrslt{\\ul link}}}\\line"
    "{\\pict\\pngblip\\picwgoal300\\pichgoal300 89504e470d0a1a0a}{\\pict\\jpegblip\\bin2 ab}"
    "\\par}";

// Runs both conversions on INPUT: they must give a result or an
// OutlookError, and output that stays within a multiple of the input.
void ConvertDamaged(const std::string& input) {
  try {
    const HtmlFromRtf html = ToHtml(input);
    EXPECT_LT(html.html.size(), 64 * input.size() + 1024);
    std::size_t picture_bytes = 0;
    for (const Picture& p : html.pictures) picture_bytes += p.bytes.size();
    EXPECT_LE(picture_bytes, input.size() + 14 * html.pictures.size());
    EXPECT_LE(ToPlainText(input).size(), 4 * input.size());
  } catch (const OutlookError&) {
  }
}

TEST(RtfToHtml, DamagedInputGivesAResultOrAnError) {
  // Every cut of the sample.
  const std::string sample = kSample;
  for (std::size_t size = 0; size <= sample.size(); ++size) ConvertDamaged(sample.substr(0, size));
  // Nesting far beyond the cap, unbalanced braces, a \bin past the end,
  // huge parameters, escapes cut short.
  ConvertDamaged("{\\rtf1 " + std::string(200000, '{') + "deep" + std::string(200000, '}') + " shallow}");
  EXPECT_EQ(ToPlainText("{\\rtf1 " + std::string(5000, '{') + "deep" + std::string(5000, '}') + "shallow}"), "shallow");
  ConvertDamaged("{\\rtf1 }}}}}}{{{{\\par}");
  ConvertDamaged("{\\rtf1 {\\pict\\pngblip\\bin999999999 abc}");
  ConvertDamaged("{\\rtf1 \\fs99999999999999 \\u99999999999 \\uc9999999 abc \\cf-5 \\ls-1 \\ilvl77 x\\par}");
  ConvertDamaged("{\\rtf1 \\'");
  ConvertDamaged("{\\rtf1 \\'4");
  ConvertDamaged("{\\rtf1 \\");
  ConvertDamaged("{\\rtf1 " + std::string(100000, 'x') + "\\u-10179?" + std::string(100000, '\\') + "}");
  ConvertDamaged("{\\rtf1\\fromhtml1 {\\*\\htmltag <meta charset=" + std::string(10000, '<') + "}}");
  std::string cells = "{\\rtf1 ";
  for (int i = 0; i < 20000; ++i) cells += "\\cellx1\\intbl\\cell";
  ConvertDamaged(cells + "\\row}");
}

TEST(RtfToHtml, RandomMutationsOfRealRtfNeverCrash) {
  std::vector<std::string> inputs = {kSample};
  for (const testing::FixtureBody& body : testing::FixtureRtfBodies()) {
    const std::string rtf = Decompress(body.compressed);
    if (std::find(inputs.begin(), inputs.end(), rtf) == inputs.end()) inputs.push_back(rtf);
  }
  std::mt19937 random(424242);
  const std::string specials = "{}\\'*0123456789-; ";
  for (const std::string& input : inputs) {
    const int rounds = input.size() > 5000 ? 60 : 600;
    for (int round = 0; round < rounds; ++round) {
      std::string mutated = input;
      const int edits = 1 + static_cast<int>(random() % 8);
      for (int e = 0; e < edits && !mutated.empty(); ++e) {
        const std::size_t at = random() % mutated.size();
        switch (random() % 4) {
          case 0: mutated[at] = static_cast<char>(random()); break;
          case 1: mutated[at] = specials[random() % specials.size()]; break;
          case 2: mutated.insert(at, 1, specials[random() % specials.size()]); break;
          default: mutated.erase(at, 1 + random() % 16); break;
        }
      }
      ConvertDamaged(mutated);
    }
  }
}

}  // namespace
}  // namespace norvexa::outlook::rtf
