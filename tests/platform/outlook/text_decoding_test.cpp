// Decoding of stored texts, folder kinds, one-off member entries, file
// names of attachments and header encoding.
#include "platform/outlook/eml_writer.h"
#include "platform/outlook/one_off_entry_id.h"
#include "platform/outlook/store_identity.h"
#include "platform/outlook/text_codec.h"
#include "platform/system/file_names.h"

#include <gtest/gtest.h>

#include <string>

namespace norvexa::outlook::items {
namespace {

const std::uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

std::string Utf16(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

TEST(OutlookText, FolderKindsFollowTheContainerClass) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "IPM.Note"},
      {"IPF.Note", "IPM.Note"},
      {"IPF.Note.OutlookHomepage", "IPM.Note"},
      {"IPF.Imap", "IPM.Note"},
      {"IPF.Appointment", "IPM.Appointment"},
      {"IPF.Appointment.Birthday", "IPM.Appointment"},
      {"IPF.Contact", "IPM.Contact"},
      {"IPF.Contact.MOC.QuickContacts", "IPM.Contact"},
      {"IPF.Task", "IPM.Task"},
      {"IPF.Journal", "IPM.Journal"},
      {"IPF.StickyNote", "IPM.StickyNote"},
      {"IPF.Configuration", "IPM.Configuration"},
      {"IPF.NoteBook", "IPM.NoteBook"},
  };
  for (const auto& [klass, kind] : cases) EXPECT_EQ(DefaultMessageClassFor(klass), kind) << klass;
}

TEST(OutlookText, UnicodeValuesHolding8BitTextAreReadAsThatText) {
  // Outlook 2007 wrote the class of "Sync Issues" folders this way.
  const std::string eight_bit = "IPF.Note";
  EXPECT_EQ(text::FromUnicodeValue(Bytes(eight_bit), eight_bit.size(), 1252), "IPF.Note");
  const std::string with_nul = std::string("IPF.Note") + '\0';
  EXPECT_EQ(text::FromUnicodeValue(Bytes(with_nul), with_nul.size(), 1252), "IPF.Note");
  const std::string real = Utf16(u"IPF.Note");
  EXPECT_EQ(text::FromUnicodeValue(Bytes(real), real.size(), 1252), "IPF.Note");
  // Genuine ideographs whose bytes happen to be printable stay Unicode.
  const std::string cjk = Utf16(u"\u4E2D\u6587");
  EXPECT_EQ(text::FromUnicodeValue(Bytes(cjk), cjk.size(), 1252), "\u4E2D\u6587");
  const std::string kana = Utf16(u"\u3042\u3044\u3046");
  EXPECT_EQ(text::FromUnicodeValue(Bytes(kana), kana.size(), 1252), "\u3042\u3044\u3046");
  const std::string odd = "Sync Issues";
  EXPECT_EQ(text::FromUnicodeValue(Bytes(odd), odd.size(), 1252), "Sync Issues");
  const std::string accented = Utf16(u"Caf\u00E9 \u2013 ok");
  EXPECT_EQ(text::FromUnicodeValue(Bytes(accented), accented.size(), 1252), "Caf\u00E9 \u2013 ok");
}

TEST(OutlookText, AnsiTextsUseTheirCodePageAndNeverBecomeQuestionMarks) {
  const std::string cp1252 = "It\x92s \x80 5";
  EXPECT_EQ(text::FromCodepage(Bytes(cp1252), cp1252.size(), 1252), "It\u2019s \u20AC 5");
  const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
  EXPECT_EQ(text::FromCodepage(Bytes(cp1251), cp1251.size(), 1251), "\u041F\u0440\u0438\u0432\u0435\u0442");
  const std::string sjis = "\x93\xFA\x96\x7B";
  EXPECT_EQ(text::FromCodepage(Bytes(sjis), sjis.size(), 932), "\u65E5\u672C");
  // 0x81 is unassigned in 1252: marked, not "?", and the rest survives.
  const std::string unmapped = std::string("a\x81") + "b";
  EXPECT_EQ(text::FromCodepage(Bytes(unmapped), unmapped.size(), 1252), "a\uFFFDb");
  const std::string nul_terminated = std::string("abc") + '\0';
  EXPECT_EQ(text::FromCodepage(Bytes(nul_terminated), nul_terminated.size(), 99999), "abc");
}

TEST(OutlookText, OneOffMemberEntriesInUnicodeAndAnsi) {
  const std::string provider("\x81\x2B\x1F\xA4\xBE\xA3\x10\x19\x9D\x6E\x00\xDD\x01\x0F\x54\x02", 16);
  const std::string head = std::string(4, '\0') + provider + std::string(2, '\0');
  const std::string unicode = head + std::string("\x01\x80", 2) + Utf16(u"J\u00F6rg") + std::string(2, '\0') +
                              Utf16(u"SMTP") + std::string(2, '\0') + Utf16(u"jorg@example.com") + std::string(2, '\0');
  const auto u = DecodeOneOffEntryId(unicode, 1252);
  ASSERT_TRUE(u.has_value());
  EXPECT_EQ(u->display_name, "J\u00F6rg");
  EXPECT_EQ(u->address_type, "SMTP");
  EXPECT_EQ(u->address, "jorg@example.com");
  const std::string ansi = head + std::string("\x01\x00", 2) + "J\xF6rg" + '\0' + "SMTP" + '\0' + "j@x.org" + '\0';
  const auto a = DecodeOneOffEntryId(ansi, 1252);
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->display_name, "J\u00F6rg");
  EXPECT_EQ(a->address, "j@x.org");
  // Cut short, or another provider: not a one-off entry.
  EXPECT_FALSE(DecodeOneOffEntryId(ansi.substr(0, ansi.size() - 3), 1252).has_value());
  std::string wrapped = ansi;
  wrapped[4] = 0;
  EXPECT_FALSE(DecodeOneOffEntryId(wrapped, 1252).has_value());
  EXPECT_FALSE(DecodeOneOffEntryId("", 1252).has_value());
}

TEST(OutlookText, AttachmentNamesCannotLeaveTheirFolder) {
  EXPECT_EQ(sys::SafeFileName("report.doc"), "report.doc");
  EXPECT_EQ(sys::SafeFileName("..\\..\\windows\\evil.exe"), "evil.exe");
  EXPECT_EQ(sys::SafeFileName("../../etc/passwd"), "passwd");
  EXPECT_EQ(sys::SafeFileName("a:b*c?.txt"), "a_b_c_.txt");
  EXPECT_EQ(sys::SafeFileName(".."), "");
  EXPECT_EQ(sys::SafeFileName("dir/"), "");
}

TEST(OutlookText, HeaderTextsAreEncodedWordsWhenNotAscii) {
  EXPECT_EQ(EncodeHeaderText("Lunch"), "Lunch");
  EXPECT_EQ(EncodeHeaderText("Caf\u00E9"), "=?UTF-8?B?Q2Fmw6k=?=");
  const std::string long_text(100, 'x');
  EXPECT_EQ(EncodeHeaderText(long_text + "\u00E9").find("\r\n "), 72u);
}

TEST(OutlookText, StoreIdentifiersRoundTripAndCarryNoHash) {
  const std::filesystem::path path = "/tmp/Mail #1/\u00E9t\u00E9.pst";
  const std::string id = StoreIdForPath(path);
  EXPECT_EQ(id.find('#'), std::string::npos);
  EXPECT_EQ(PathForStoreId(" " + id + " "), path);
  EXPECT_FALSE(PathForStoreId("pst:4").has_value());
  EXPECT_FALSE(PathForStoreId("pst:zz").has_value());
  EXPECT_FALSE(PathForStoreId("/tmp/a.pst").has_value());
}

TEST(OutlookText, SourceKeysNameTheStoreByRecordKeyElseByFile) {
  const std::string record_key("\x6A\x55\x2B\x81\x00\xFF", 6);
  EXPECT_EQ(ItemSourceKey(StoreKey(record_key, "/a.pst"), 0x200024), "6A552B8100FF-00200024");
  // The record key names the store wherever its file is.
  EXPECT_EQ(StoreKey(record_key, "/a.pst"), StoreKey(record_key, "/b.pst"));
  // Without one, the file does: the same path gives the same key, another
  // path another key, never one that a record key could give.
  const std::string a = StoreKey("", "/data/a.pst");
  EXPECT_EQ(a, StoreKey("", "/data/a.pst"));
  EXPECT_NE(a, StoreKey("", "/data/b.pst"));
  EXPECT_EQ(a.size(), 20u);
  EXPECT_EQ(a.rfind("file", 0), 0u);
}

}  // namespace
}  // namespace norvexa::outlook::items
