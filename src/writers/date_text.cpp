// Regional date text: written with a four-digit year, read with or without.
#include "writers/date_text.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTime>

namespace norvexa::writers {

namespace {

// FORMAT with a two-digit year ("yy") widened to four digits ("yyyy").
QString WithFourDigitYear(QString format) {
  if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  return format;
}

// A year read from two digits (Qt puts it in 1900..1999) moved to the window
// 1930..2029, as Windows reads two-digit years.
QDate WidenTwoDigitYear(const QDate& date) {
  if (date.isValid() && date.year() < 1930) return date.addYears(100);
  return date;
}

}  // namespace

std::string RegionalDateText(const QDate& date) {
  if (!date.isValid()) return std::string();
  const QLocale locale = QLocale::system();
  return locale.toString(date, WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat))).toStdString();
}

std::optional<QDate> ParseRegionalDate(const std::string& text) {
  const QString input = QString::fromStdString(text).trimmed();
  if (input.isEmpty()) return std::nullopt;
  const QLocale locale = QLocale::system();

  // Date formats, four-digit years first; a flag marks two-digit years.
  struct DateFormat {
    QString format;
    bool two_digit_year;
  };
  std::vector<DateFormat> date_formats;
  for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
    const QString format = locale.dateFormat(type);
    const QString wide = WithFourDigitYear(format);
    date_formats.push_back({wide, false});
    if (wide != format) date_formats.push_back({format, true});
  }
  const QStringList time_formats = {locale.timeFormat(QLocale::LongFormat), locale.timeFormat(QLocale::ShortFormat),
                                    QStringLiteral("HH:mm:ss"), QStringLiteral("H:mm"),
                                    QStringLiteral("h:mm:ss AP"), QStringLiteral("h:mm AP")};

  for (const DateFormat& f : date_formats) {
    QDate date = locale.toDate(input, f.format);
    if (!date.isValid()) {
      for (const QString& time_format : time_formats) {
        const QDateTime at = locale.toDateTime(input, f.format + QLatin1Char(' ') + time_format);
        if (at.isValid()) {
          date = at.date();
          break;
        }
      }
    }
    if (date.isValid()) return f.two_digit_year ? WidenTwoDigitYear(date) : date;
  }
  const QDate iso = QDate::fromString(input, Qt::ISODate);
  if (iso.isValid()) return iso;
  const QDateTime iso_at = QDateTime::fromString(input, Qt::ISODate);
  if (iso_at.isValid()) return iso_at.date();
  return std::nullopt;
}

}  // namespace norvexa::writers
