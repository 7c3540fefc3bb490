// The help viewer: shows a compiled HTML Help (.chm) file in a window with
// its table of contents beside the pages. Reports a missing or unreadable
// file itself, with a message box.
#pragma once

#include <QString>
#include <QTextBrowser>
#include <QWidget>

#include <memory>

class QTreeWidget;
class QTreeWidgetItem;

namespace norvexa::sys {

class ChmFile;

// Shows pages of one CHM file; links, pictures and style sheets are read
// from the same file.
class ChmBrowser : public QTextBrowser {
 public:
  ChmBrowser(const ChmFile& chm, QWidget* parent = nullptr);

  // The address of page PATH inside the file ("/index.html").
  static QUrl PageUrl(const QString& path);

  QVariant loadResource(int type, const QUrl& url) override;

 protected:
  // Keeps the shown address absolute inside the file, so that relative
  // links and pictures of the page resolve against it.
  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

 private:
  QUrl Resolve(const QUrl& url) const;

  const ChmFile& chm_;
};

class HelpViewer : public QWidget {
  Q_OBJECT

 public:
  // Shows CHM (taken over) in a window over OWNER.
  HelpViewer(std::unique_ptr<ChmFile> chm, QWidget* owner = nullptr);
  ~HelpViewer() override;

  QTreeWidget* Contents() const { return contents_; }
  ChmBrowser* Browser() const { return browser_; }

  // Shows page PATH of the file ("/using.html", or "using.html#part").
  void ShowPage(const QString& path);

 private:
  void FillContents();
  void ContentsClicked(QTreeWidgetItem* item);

  std::unique_ptr<ChmFile> chm_;
  QTreeWidget* contents_ = nullptr;
  ChmBrowser* browser_ = nullptr;
};

// Opens a non-modal viewer window over OWNER showing the CHM file at PATH
// and returns it (it deletes itself when closed). When the file is missing
// or unreadable, says so in a message box and returns nullptr.
HelpViewer* OpenHelpViewer(QWidget* owner, const QString& path);

}  // namespace norvexa::sys
