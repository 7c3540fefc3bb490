// The help viewer: a CHM file's table of contents and pages in a window.
#include "platform/dialogs/help_viewer.h"

#include "platform/dialogs/chm_contents.h"
#include "platform/dialogs/chm_file.h"
#include "platform/system/system_services.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QTextDocument>
#include <QTreeWidget>

#include <vector>

namespace norvexa::sys {
namespace {

constexpr const char* kScheme = "chm";
constexpr int kLocalRole = Qt::UserRole;

}  // namespace

ChmBrowser::ChmBrowser(const ChmFile& chm, QWidget* parent) : QTextBrowser(parent), chm_(chm) {
  setOpenExternalLinks(false);
  setOpenLinks(true);
}

QUrl ChmBrowser::PageUrl(const QString& path) {
  QUrl url;
  url.setScheme(kScheme);
  const qsizetype hash = path.indexOf('#');
  url.setPath(path.startsWith('/') ? path.left(hash) : "/" + path.left(hash));
  if (hash >= 0) url.setFragment(path.mid(hash + 1));
  return url;
}

QUrl ChmBrowser::Resolve(const QUrl& url) const {
  if (!url.isRelative()) return url;
  const QUrl base = source().scheme() == kScheme ? source() : PageUrl("/");
  return base.resolved(url);
}

void ChmBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
  QTextBrowser::doSetSource(Resolve(name), type);
}

QVariant ChmBrowser::loadResource(int type, const QUrl& url) {
  const QUrl resolved = Resolve(url);
  if (resolved.scheme() != kScheme) return QTextBrowser::loadResource(type, url);
  try {
    return chm_.Read(resolved.path());
  } catch (const ChmError& error) {
    // A page link that leads nowhere shows why; a missing picture or style
    // sheet leaves the page as it is.
    if (type == QTextDocument::HtmlResource)
      return QString("<html><body><p>%1</p></body></html>").arg(QString::fromStdString(error.what()).toHtmlEscaped());
    return QVariant();
  }
}

HelpViewer::HelpViewer(std::unique_ptr<ChmFile> chm, QWidget* owner)
    : QWidget(owner, Qt::Window), chm_(std::move(chm)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(chm_->Title().isEmpty() ? QString("Help") : chm_->Title());

  auto* splitter = new QSplitter(this);
  contents_ = new QTreeWidget(splitter);
  contents_->setHeaderHidden(true);
  contents_->setColumnCount(1);
  browser_ = new ChmBrowser(*chm_, splitter);
  splitter->addWidget(contents_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 3);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);
  resize(860, 600);

  connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { ContentsClicked(item); });
  connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { ContentsClicked(item); });

  FillContents();
  QString first = chm_->DefaultTopic();
  if (first.isEmpty() && contents_->topLevelItemCount() > 0)
    first = contents_->topLevelItem(0)->data(0, kLocalRole).toString();
  if (!first.isEmpty()) ShowPage(first);
}

HelpViewer::~HelpViewer() = default;

void HelpViewer::FillContents() {
  if (chm_->ContentsPath().isEmpty()) return;
  std::vector<ContentsEntry> entries;
  try {
    entries = ParseSitemap(chm_->Read(chm_->ContentsPath()));
  } catch (const ChmError&) {
    // The pages stay readable without a table of contents.
    return;
  }
  // parents[d] is the last item made at depth d.
  std::vector<QTreeWidgetItem*> parents;
  for (const ContentsEntry& entry : entries) {
    const std::size_t depth = std::min<std::size_t>(entry.depth, parents.size());
    parents.resize(depth);
    auto* item = depth == 0 ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
    item->setText(0, entry.name);
    item->setData(0, kLocalRole, entry.local);
    parents.push_back(item);
  }
  contents_->expandAll();
}

void HelpViewer::ContentsClicked(QTreeWidgetItem* item) {
  const QString local = item->data(0, kLocalRole).toString();
  if (!local.isEmpty()) ShowPage(local);
}

void HelpViewer::ShowPage(const QString& path) { browser_->setSource(ChmBrowser::PageUrl(path), QTextDocument::HtmlResource); }

HelpViewer* OpenHelpViewer(QWidget* owner, const QString& path) {
  std::unique_ptr<ChmFile> chm;
  try {
    chm = std::make_unique<ChmFile>(path);
  } catch (const ChmError& error) {
    Message message;
    message.text = "The help cannot be shown: " + QString::fromStdString(error.what());
    message.title = "Help";
    message.icon = Icon::Warning;
    message.detail = QString::fromStdString(error.what());
    Services().ShowMessage(owner, message);
    return nullptr;
  }
  auto* viewer = new HelpViewer(std::move(chm), owner);
  viewer->show();
  viewer->raise();
  return viewer;
}

}  // namespace norvexa::sys
