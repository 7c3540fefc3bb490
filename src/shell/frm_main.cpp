// frmMain: building the window (banner, tabs, status bar, menus), Form_Load
// and the three menu commands.
#include "shell/frm_main.h"

#include "platform/system/system_services.h"
#include "shell/frm_about.h"
#include "shell/image_list.h"
#include "shell/maker.h"
#include "source/folders_tree.h"
#include "source/store_list_box.h"
#include "windows/frm_save.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace norvexa::shell {
namespace {

// The size the window is designed for.
constexpr int kDesignWidth = 760;
constexpr int kDesignHeight = 560;

}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent), SmallIcons(std::make_unique<ImageList>()) {
  setWindowTitle(kCaption);
  // No maximise button: the window keeps the size it was designed for.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(SmallIcons->Image(0));
  FolderImage = [icons = SmallIcons.get()](int slot) { return icons->Image(slot); };

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  BuildBanner(central);
  layout->addWidget(LblMaker->parentWidget());

  NotesTab = new QTabWidget(central);
  NotesTab->addTab(BuildSelectFileTab(), " Select File");
  NotesTab->addTab(BuildMailboxPreviewTab(), " Mailbox Preview");
  auto* tab_host = new QWidget(central);
  auto* tab_layout = new QVBoxLayout(tab_host);
  tab_layout->setContentsMargins(8, 8, 8, 8);
  tab_layout->addWidget(NotesTab);
  layout->addWidget(tab_host, 1);
  setCentralWidget(central);

  BuildStatusBar();
  BuildMenus();

  connect(OptConfiguredPST, &QRadioButton::clicked, this, &frmMain::OptConfiguredPST_Click);
  connect(OptOtherPST, &QRadioButton::clicked, this, &frmMain::OptOtherPST_Click);
  connect(CmdBrowse, &QPushButton::clicked, this, &frmMain::CmdBrowse_Click);
  connect(txtNotesDatabaseFile, &QLineEdit::textChanged, this, &frmMain::txtNotesDatabaseFile_Change);
  connect(CmdExportConfigured, &QPushButton::clicked, this, &frmMain::CmdExportConfigured_Click);
  connect(CmdExportOther, &QPushButton::clicked, this, &frmMain::CmdExportOther_Click);
  // Only a pick by the user runs the handler, not the handler's own changes.
  connect(CmbOutlookStores, &QComboBox::activated, this, &frmMain::CmbOutlookStores_Click);
  connect(CmdStartConversion, &QPushButton::clicked, this, &frmMain::CmdStartConversion_Click);

  Form_Load();
  // Maximising is disabled for good: the window keeps one size, which every
  // window manager honours by offering no way to resize it. Measured again
  // when shown (showEvent), once the size grip is there to be measured.
  setFixedSize(FixedSize());
}

void frmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  setFixedSize(FixedSize());
}

QSize frmMain::FixedSize() const {
  // The frame's own hint leaves out what the status bar needs across: its
  // three fixed panels, their spacing and the size grip.
  const QSize needed = minimumSizeHint();
  const int status_width = statusBar()->minimumSizeHint().width();
  return QSize(std::max({kDesignWidth, needed.width(), status_width}), std::max(kDesignHeight, needed.height()));
}

void frmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  const Qt::WindowStates unwanted = Qt::WindowMaximized | Qt::WindowFullScreen;
  if (windowState() & unwanted) {
    // Undone once the state change has been delivered everywhere.
    QTimer::singleShot(0, this, [this, unwanted] { setWindowState(windowState() & ~unwanted); });
  }
}

frmMain::~frmMain() = default;

void frmMain::BuildBanner(QWidget* host) {
  auto* banner = new QWidget(host);
  banner->setObjectName("Banner");
  banner->setAutoFillBackground(true);
  banner->setStyleSheet("#Banner { background: #1d3c61; } #Banner QLabel { color: white; }");
  auto* layout = new QVBoxLayout(banner);
  layout->setContentsMargins(14, 8, 14, 10);
  layout->setSpacing(2);

  LblMaker = new QLabel(kMakerName, banner);
  LblProduct = new QLabel("Norvexa", banner);
  LblTagline = new QLabel("Migrate Outlook Emails, Contacts, Calendar, Tasks to Lotus Notes", banner);
  QFont maker_font = LblMaker->font();
  maker_font.setPointSizeF(maker_font.pointSizeF() * 0.9);
  LblMaker->setFont(maker_font);
  QFont product_font = LblProduct->font();
  product_font.setBold(true);
  product_font.setPointSizeF(product_font.pointSizeF() * 2.0);
  LblProduct->setFont(product_font);
  layout->addWidget(LblMaker);
  layout->addWidget(LblProduct);
  layout->addWidget(LblTagline);
}

QWidget* frmMain::BuildSelectFileTab() {
  auto* tab = new QWidget;
  auto* layout = new QHBoxLayout(tab);

  SourceFrame = new QGroupBox(" Select Outlook  (.pst) file to convert", tab);
  auto* source = new QVBoxLayout(SourceFrame);
  OptConfiguredPST = new QRadioButton("  Convert configured Outlook Mailboxes", SourceFrame);
  CmdExportConfigured = new QPushButton("Export Mailbox", SourceFrame);
  auto* configured_row = new QHBoxLayout;
  configured_row->addSpacing(24);
  configured_row->addWidget(CmdExportConfigured);
  configured_row->addStretch(1);

  OptOtherPST = new QRadioButton("  Convert Other PST file", SourceFrame);
  OtherPSTFrame = new QGroupBox(" Select Outlook File (.pst) ", SourceFrame);
  auto* other = new QGridLayout(OtherPSTFrame);
  CmdBrowse = new QPushButton("Browse...", OtherPSTFrame);
  txtNotesDatabaseFile = new QLineEdit(OtherPSTFrame);
  txtNotesDatabaseFile->setReadOnly(true);
  CmdExportOther = new QPushButton("Export Mailbox", OtherPSTFrame);
  // Names of their own: the box would otherwise carry its frame's caption,
  // and the two "Export Mailbox" buttons would sound alike.
  txtNotesDatabaseFile->setAccessibleName("Outlook (.pst) file");
  // A frame inside a frame is otherwise named after the outer one.
  OtherPSTFrame->setAccessibleName(OtherPSTFrame->title());
  CmdExportConfigured->setAccessibleName("Export Mailbox (configured Outlook Mailboxes)");
  CmdExportOther->setAccessibleName("Export Mailbox (Other PST file)");
  other->addWidget(txtNotesDatabaseFile, 0, 0);
  other->addWidget(CmdBrowse, 0, 1);
  other->addWidget(CmdExportOther, 1, 0, 1, 1, Qt::AlignLeft);

  source->addWidget(OptConfiguredPST);
  source->addLayout(configured_row);
  source->addSpacing(12);
  source->addWidget(OptOtherPST);
  source->addWidget(OtherPSTFrame);
  source->addStretch(1);

  auto* right = new QVBoxLayout;
  HelpFrame = new QGroupBox(" Help", tab);
  auto* help = new QVBoxLayout(HelpFrame);
  LblHelp = new QLabel(HelpFrame);
  LblHelp->setWordWrap(true);
  LblHelp->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  help->addWidget(LblHelp);
  LblSupports = new QLabel("Supports Outlook 2000, 2002 (XP), 2003, 2007", tab);
  right->addWidget(HelpFrame, 1);
  right->addWidget(LblSupports);

  layout->addWidget(SourceFrame, 3);
  layout->addLayout(right, 2);
  return tab;
}

QWidget* frmMain::BuildMailboxPreviewTab() {
  auto* tab = new QWidget;
  auto* layout = new QVBoxLayout(tab);
  LblStores = new QLabel("Please select a available configured Outlook mailbox", tab);
  // Entries carry 300 blanks and the identifier after the name; the list
  // shows each store's name and file name instead, and keeps its width.
  CmbOutlookStores = new source::StoreListBox(tab);
  CmbOutlookStores->setEditable(false);
  CmbOutlookStores->setPlaceholderText("---- Select a Outlook Mailbox ----");
  CmbOutlookStores->setCurrentIndex(-1);
  CmbOutlookStores->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  CmbOutlookStores->setMinimumContentsLength(40);
  LblStores->setBuddy(CmbOutlookStores);
  CmbOutlookStores->setAccessibleName(LblStores->text());
  LblFolders = new QLabel("Select folders you need to convert to Lotus Notes mailbox", tab);
  OutlookFoldersTree = new QTreeWidget(tab);
  source::SetUpFoldersTree(OutlookFoldersTree);
  LblFolders->setBuddy(OutlookFoldersTree);
  // Item views take no name from a label beside them.
  OutlookFoldersTree->setAccessibleName(LblFolders->text());
  CmdStartConversion = new QPushButton("Start Conversion", tab);

  layout->addWidget(LblStores);
  layout->addWidget(CmbOutlookStores);
  layout->addSpacing(6);
  layout->addWidget(LblFolders);
  layout->addWidget(OutlookFoldersTree, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CmdStartConversion);
  layout->addLayout(buttons);
  return tab;
}

void frmMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(true);
  auto panel = [bar](const QString& text, int width, bool bold) {
    auto* label = new QLabel(text, bar);
    label->setFixedWidth(width);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    bar->addWidget(label);
    return label;
  };
  StatusPanel1 = panel(kMakerName, 150, true);
  StatusPanel2 = panel(QString("Email: ") + kSupportAddress, 200, false);
  StatusPanel3 = panel(kWebAddress, 400, true);
}

void frmMain::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  mnuExit = file->addAction("E&xit");
  QMenu* help = menuBar()->addMenu("&Help");
  mnuHelp = help->addAction("Contents");
  mnuAbout = help->addAction("&About...");
  connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
  connect(mnuHelp, &QAction::triggered, this, &frmMain::mnuHelp_Click);
  connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

void frmMain::Form_Load() {
  NotesTab->setCurrentIndex(0);
  OtherPSTFrame->setEnabled(false);
  OptConfiguredPST->setChecked(true);
  LblHelp->setText(
      "This Option allows you to convert default Outlook mailbox or other configured Outlook PST files. Software "
      "will list all configured Outlook mailboxes and you can choose which mailbox you need to convert to Lotus "
      "Notes mailbox.");
  OutlookFoldersTree->setIconSize(QSize(16, 16));
  NotesTab->setTabEnabled(1, false);
}

void frmMain::mnuExit_Click() {
  sys::Message question;
  question.text = "Are you sure you want to close the software";
  question.title = "Norvexa";
  question.icon = sys::Icon::Information;
  question.buttons = sys::Buttons::YesNo;
  if (sys::Services().ShowMessage(this, question) == sys::Answer::Yes) sys::Services().ExitProgram(0);
}

void frmMain::mnuHelp_Click() {
  const QString path = QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + sys::PathSeparator() + "Help.chm";
  sys::Services().ShowHelp(this, path);
}

void frmMain::mnuAbout_Click() {
  frmAbout about(this);
  about.exec();
}

}  // namespace norvexa::shell
