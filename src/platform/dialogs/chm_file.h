// Read access to a compiled HTML Help (.chm) file through libchm: the
// objects it holds (pages, pictures, the table of contents) and the entries
// of its #SYSTEM object that name the contents file and the default topic.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

struct chmFile;

namespace norvexa::sys {

// Every failure to open or read a CHM file.
class ChmError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ChmFile {
 public:
  // Opens the CHM file at PATH. Throws ChmError naming the file when it is
  // missing or is not a CHM file.
  explicit ChmFile(const QString& path);
  ~ChmFile();
  ChmFile(const ChmFile&) = delete;
  ChmFile& operator=(const ChmFile&) = delete;

  // True when the file holds the object at PATH ("/index.html").
  bool Contains(const QString& path) const;

  // The bytes of the object at PATH. Throws ChmError when there is none or
  // it cannot be read whole.
  QByteArray Read(const QString& path) const;

  // The paths of every ordinary object (no "#" or "::" internals), in the
  // file's order.
  QStringList Objects() const;

  // Path of the table of contents ("/Help.hhc"): the #SYSTEM entry, else the
  // first object ending in ".hhc"; "" when the file has none.
  QString ContentsPath() const { return contents_path_; }

  // Path of the first page to show: the #SYSTEM entry; "" when absent.
  QString DefaultTopic() const { return default_topic_; }

  // The help's title from #SYSTEM; "" when absent.
  QString Title() const { return title_; }

 private:
  void ReadSystem();

  struct Closer {
    void operator()(chmFile* file) const;
  };
  std::unique_ptr<chmFile, Closer> file_;
  QString contents_path_;
  QString default_topic_;
  QString title_;
};

}  // namespace norvexa::sys
