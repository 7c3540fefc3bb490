// Regional date text: what the Person writer reads as a birthday.
#include "writers/date_text.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace norvexa {
namespace {

TEST(DateText, RegionalTextReadsBackWithItsCenturyAndWithATimeOfDay) {
  for (const QDate date : {QDate(2005, 3, 7), QDate(1980, 12, 31), QDate(1931, 1, 1)}) {
    const std::string text = writers::RegionalDateText(date);
    EXPECT_EQ(writers::ParseRegionalDate(text), date) << text;
    EXPECT_EQ(writers::ParseRegionalDate(text + " 23:59:30"), date) << text;
  }
  // The locale's own short format, with a two-digit year where it has one.
  const QLocale locale = QLocale::system();
  const std::string own = locale.toString(QDate(2005, 3, 7), QLocale::ShortFormat).toStdString();
  EXPECT_EQ(writers::ParseRegionalDate(own), QDate(2005, 3, 7)) << own;
  EXPECT_EQ(writers::ParseRegionalDate("1999-04-30"), QDate(1999, 4, 30));
  EXPECT_EQ(writers::ParseRegionalDate("1999-04-30T10:11:12"), QDate(1999, 4, 30));
}

TEST(DateText, TextThatIsNotADateGivesNothing) {
  EXPECT_EQ(writers::ParseRegionalDate(""), std::nullopt);
  EXPECT_EQ(writers::ParseRegionalDate("   "), std::nullopt);
  EXPECT_EQ(writers::ParseRegionalDate("not a date"), std::nullopt);
  EXPECT_EQ(writers::ParseRegionalDate("31/31/31313"), std::nullopt);
  EXPECT_EQ(writers::RegionalDateText(QDate()), "");
}

}  // namespace
}  // namespace norvexa
