// Texts of real length in several scripts; see long_texts.h.
#include "support/long_texts.h"

#include <QStringList>

#include <stdexcept>

namespace norvexa::testing {
namespace {

const QStringList& Words() {
  static const QStringList words = {
      QStringLiteral("Quarterly report "),  QStringLiteral("Квартальный отчёт "), QStringLiteral("Τριμηνιαία έκθεση "),
      QStringLiteral("التقرير الفصلي "),     QStringLiteral("דוח רבעוני "),        QStringLiteral("四半期報告書 "),
      QStringLiteral("त्रैमासिक रिपोर्ट "), QStringLiteral("분기 보고서 "),
  };
  return words;
}

}  // namespace

QString MixedScriptText(int length, int first) {
  QString text;
  for (int i = first; text.size() < length; ++i) text += Words()[i % Words().size()];
  text.truncate(length);
  // A text that ends in a blank would be trimmed by some readers.
  if (text.endsWith(QLatin1Char(' '))) text[length - 1] = QLatin1Char('x');
  return text;
}

std::string MixedScriptUtf8(int length, int first) { return MixedScriptText(length, first).toStdString(); }

std::filesystem::path LongPath(const std::filesystem::path& base, int length, bool mixed_scripts) {
  const QString start = QString::fromStdString(base.string());
  if (start.size() + 2 > length) throw std::invalid_argument("base path is longer than the path asked for");
  QString path = start;
  int word = 0;
  while (path.size() < length) {
    const int room = static_cast<int>(length - path.size() - 1);
    const int size = room > 45 ? 40 : room;  // never leave a remainder too short for a name
    QString name = (mixed_scripts ? MixedScriptText(size, word++) : QStringLiteral("Quarterly reports 2026 ").repeated(3).left(size)).trimmed();
    while (name.size() < size) name += QLatin1Char('x');
    path += QLatin1Char('/') + name;
  }
  return std::filesystem::path(path.toStdString());
}

}  // namespace norvexa::testing
