// The table of contents of a CHM file: its sitemap (.hhc), an HTML list of
// <OBJECT type="text/sitemap"> entries nested in <UL> lists, read into a
// flat list of entries with their depth.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace norvexa::sys {

struct ContentsEntry {
  QString name;   // the "Name" parameter
  QString local;  // the "Local" parameter (page path), may be ""
  int depth = 0;  // 0 for the outermost list
};

// The entries of the sitemap SITEMAP in document order. Tolerant of the
// loose HTML sitemaps are written in (missing </LI>, any letter case,
// unquoted values); an entry without a name is left out.
std::vector<ContentsEntry> ParseSitemap(const QByteArray& sitemap);

}  // namespace norvexa::sys
