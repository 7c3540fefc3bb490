// The help: Help.chm as built, read by the viewer with its table of
// contents, pages, links and pictures; a missing file reported by the viewer.
#include "platform/dialogs/chm_contents.h"
#include "platform/dialogs/chm_file.h"
#include "platform/dialogs/help_viewer.h"
#include "support/fixtures.h"
#include "support/scripted_services.h"

#include <QImage>
#include <QTextDocument>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace norvexa::sys {
namespace {

const QString kBuiltHelp = QString(NORVEXA_BINARY_DIR) + "/src/Help.chm";

TEST(HelpViewer, BuiltHelpHasEveryPageAndItsContents) {
  ChmFile chm(kBuiltHelp);
  EXPECT_EQ(chm.Title(), "Norvexa Help");
  EXPECT_EQ(chm.DefaultTopic(), "/index.html");
  EXPECT_EQ(chm.ContentsPath(), "/Help.hhc");
  for (const char* page : {"/index.html", "/using.html", "/items.html", "/not-converted.html", "/output.html",
                           "/troubleshooting.html", "/help.css", "/images/mail.svg"})
    EXPECT_TRUE(chm.Contains(page)) << page;

  const QString trouble = QString::fromUtf8(chm.Read("/troubleshooting.html"));
  EXPECT_TRUE(trouble.contains("Outlook NOT installed or configured properly."));
  EXPECT_TRUE(trouble.contains("Lotus Notes NOT INSTALLED or CONFIGURED Properly."));
  EXPECT_THROW(chm.Read("/no-such-page.html"), ChmError);

  const auto entries = ParseSitemap(chm.Read(chm.ContentsPath()));
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0].name, "Norvexa Help");
  EXPECT_EQ(entries[0].depth, 0);
  EXPECT_EQ(entries[5].name, "Troubleshooting");
  EXPECT_EQ(entries[5].local, "troubleshooting.html");
  EXPECT_EQ(entries[5].depth, 1);
}

TEST(HelpViewer, WindowShowsContentsPagesLinksAndPictures) {
  testing::ScriptedServices services;
  HelpViewer* viewer = OpenHelpViewer(nullptr, kBuiltHelp);
  ASSERT_NE(viewer, nullptr);
  std::unique_ptr<HelpViewer> owned(viewer);
  EXPECT_TRUE(services.messages.empty());
  EXPECT_EQ(viewer->windowTitle(), "Norvexa Help");

  QTreeWidget* contents = viewer->Contents();
  ASSERT_EQ(contents->topLevelItemCount(), 1);
  EXPECT_EQ(contents->topLevelItem(0)->childCount(), 5);
  EXPECT_TRUE(viewer->Browser()->toPlainText().contains("copies an Outlook mailbox"));

  // A click in the contents and a relative link both reach their pages.
  emit contents->itemClicked(contents->topLevelItem(0)->child(4), 0);
  EXPECT_TRUE(viewer->Browser()->toPlainText().contains("Lotus Notes NOT INSTALLED or CONFIGURED Properly."));
  viewer->Browser()->setSource(QUrl("items.html"));
  EXPECT_TRUE(viewer->Browser()->toPlainText().contains("Person document"));

  // Pictures come out of the CHM as images.
  const QVariant picture = viewer->Browser()->loadResource(QTextDocument::ImageResource, QUrl("images/mail.svg"));
  EXPECT_FALSE(QImage::fromData(picture.toByteArray()).isNull());
  // A link to a page the file lacks says so instead of showing nothing.
  viewer->Browser()->setSource(QUrl("gone.html"));
  EXPECT_TRUE(viewer->Browser()->toPlainText().contains("has no page"));
}

TEST(HelpViewer, MissingOrBrokenFileIsReportedByTheViewer) {
  testing::ScratchDir scratch;
  testing::ScriptedServices services;
  EXPECT_EQ(OpenHelpViewer(nullptr, QString::fromStdString((scratch / "Help.chm").string())), nullptr);
  testing::WriteFile(scratch / "broken.chm", "not a help file");
  EXPECT_EQ(OpenHelpViewer(nullptr, QString::fromStdString((scratch / "broken.chm").string())), nullptr);
  ASSERT_EQ(services.messages.size(), 2u);
  EXPECT_TRUE(services.messages[0].text.contains("does not exist"));
  EXPECT_TRUE(services.messages[1].text.contains("not a readable CHM file"));
}

TEST(HelpViewer, SitemapParserToleratesLooseHtml) {
  const QByteArray sitemap = R"(<ul><li><object type="text/sitemap"><param name="Name" value="A &amp; B">
    <param name=Local value=a.html></object>
    <UL><LI><OBJECT TYPE='text/sitemap'><PARAM NAME='Name' VALUE='Inner'><PARAM NAME='Local' VALUE='in.html#x'></OBJECT></UL>
    <li><object type="text/site properties"><param name="Name" value="skip me"></object>
    <li><object type="text/sitemap"><param name="Local" value="nameless.html"></object>
    <li><object type="text/sitemap"><param name="Name" value="Last"></object></ul>)";
  const auto entries = ParseSitemap(sitemap);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "A & B");
  EXPECT_EQ(entries[0].local, "a.html");
  EXPECT_EQ(entries[1].name, "Inner");
  EXPECT_EQ(entries[1].local, "in.html#x");
  EXPECT_EQ(entries[1].depth, 1);
  EXPECT_EQ(entries[2].name, "Last");
  EXPECT_EQ(entries[2].depth, 0);
}

}  // namespace
}  // namespace norvexa::sys
