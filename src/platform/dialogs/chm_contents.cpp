// The table of contents of a CHM file.
#include "platform/dialogs/chm_contents.h"

#include <QRegularExpression>
#include <QTextDocumentFragment>

namespace norvexa::sys {
namespace {

// The value of attribute NAME in the inside of a tag, "" when absent.
QString Attribute(const QString& tag, const QString& name) {
  static const QRegularExpression attribute(
      R"re((\w+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re");
  for (auto it = attribute.globalMatch(tag); it.hasNext();) {
    const auto match = it.next();
    if (match.captured(1).compare(name, Qt::CaseInsensitive) != 0) continue;
    for (int group = 2; group <= 4; ++group) {
      if (match.capturedStart(group) >= 0) return match.captured(group);
    }
  }
  return QString();
}

// Decodes character references (&amp; and the like) in TEXT.
QString Decode(const QString& text) {
  if (!text.contains('&')) return text;
  return QTextDocumentFragment::fromHtml(text).toPlainText();
}

}  // namespace

std::vector<ContentsEntry> ParseSitemap(const QByteArray& sitemap) {
  // Sitemaps are written in the help's ANSI code page or UTF-8; pages of
  // our own are ASCII, so UTF-8 with Latin-1 fallback covers them.
  QString text = QString::fromUtf8(sitemap);
  if (text.contains(QChar::ReplacementCharacter)) text = QString::fromLatin1(sitemap);

  static const QRegularExpression tag(R"re(<\s*(/?)\s*([A-Za-z]+)([^>]*)>)re");
  std::vector<ContentsEntry> entries;
  int depth = -1;
  bool in_entry = false;
  ContentsEntry entry;
  for (auto it = tag.globalMatch(text); it.hasNext();) {
    const auto match = it.next();
    const bool closing = !match.captured(1).isEmpty();
    const QString name = match.captured(2).toLower();
    const QString inside = match.captured(3);
    if (name == "ul") {
      depth += closing ? -1 : 1;
    } else if (name == "object" && !closing) {
      in_entry = Attribute(inside, "type").compare("text/sitemap", Qt::CaseInsensitive) == 0;
      entry = ContentsEntry{};
      entry.depth = depth < 0 ? 0 : depth;
    } else if (name == "param" && in_entry) {
      const QString param = Attribute(inside, "name");
      if (param.compare("Name", Qt::CaseInsensitive) == 0 && entry.name.isEmpty())
        entry.name = Decode(Attribute(inside, "value"));
      else if (param.compare("Local", Qt::CaseInsensitive) == 0 && entry.local.isEmpty())
        entry.local = Decode(Attribute(inside, "value"));
    } else if (name == "object" && closing) {
      if (in_entry && !entry.name.isEmpty()) entries.push_back(entry);
      in_entry = false;
    }
  }
  return entries;
}

}  // namespace norvexa::sys
