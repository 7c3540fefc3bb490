// The system seam: filter conversion for Qt's dialogs, and test services
// taking over and handing back.
#include "platform/dialogs/qt_system_services.h"
#include "platform/system/system_services.h"
#include "support/scripted_services.h"

#include <gtest/gtest.h>

namespace norvexa::sys {
namespace {

TEST(SystemServices, FilterBecomesQtFilterKeepingTheDescription) {
  EXPECT_EQ(ToQtFilter("Outlook Mailbox (*.pst)|*.pst"), "Outlook Mailbox (*.pst)");
  EXPECT_EQ(ToQtFilter("Lotus Notes Mailbox (*.nsf)|*.nsf"), "Lotus Notes Mailbox (*.nsf)");
  EXPECT_EQ(ToQtFilter("Texts|*.txt;*.text|All|*"), "Texts (*.txt *.text);;All (*)");
}

TEST(SystemServices, ScopedServicesReplaceAndRestore) {
  SystemServices* before = &Services();
  {
    testing::ScriptedServices scripted;
    EXPECT_EQ(&Services(), &scripted);
    scripted.answers.push_back(Answer::Yes);
    EXPECT_EQ(Services().ShowMessage(nullptr, {"Really?", "Norvexa", Icon::Question, Buttons::YesNo, {}}),
              Answer::Yes);
    // An unscripted Yes/No box answers No; an unscripted chooser cancels.
    EXPECT_EQ(Services().ShowMessage(nullptr, {"Again?", "Norvexa", Icon::Question, Buttons::YesNo, {}}),
              Answer::No);
    EXPECT_TRUE(Services().OpenFileName(nullptr, "", "A|*.a").isEmpty());
    ASSERT_EQ(scripted.messages.size(), 2u);
    EXPECT_EQ(scripted.messages[0].text, "Really?");
    EXPECT_THROW(Services().ExitProgram(3), testing::ProgramExited);
  }
  EXPECT_EQ(&Services(), before);
}

}  // namespace
}  // namespace norvexa::sys
