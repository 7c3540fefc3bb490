// The splash window: gives way to the main window after its first tick and
// pause, or at once on a key press, and never comes back.
#include "shell/frm_splash.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace norvexa::shell {
namespace {

TEST(Splash, FirstTickPausesThenShowsTheMainWindow) {
  QWidget main_window;
  frmSplash splash(&main_window, 150);
  EXPECT_EQ(splash.Timer1->interval(), 10);
  EXPECT_FALSE(splash.Timer1->isActive());
  splash.show();
  EXPECT_TRUE(splash.Timer1->isActive());

  // The first tick comes after 10 ms; the main window only after the pause.
  QTest::qWait(60);
  EXPECT_FALSE(splash.Timer1->isActive());
  EXPECT_FALSE(main_window.isVisible());
  EXPECT_TRUE(splash.isVisible());

  QTRY_VERIFY_WITH_TIMEOUT(main_window.isVisible(), 3000);
  EXPECT_FALSE(splash.isVisible());
  EXPECT_TRUE(splash.Ended());
}

TEST(Splash, KeyPressEndsItAtOnceAndItDoesNotComeBack) {
  QWidget main_window;
  frmSplash splash(&main_window, 100);
  splash.show();
  QTest::keyClick(&splash, Qt::Key_Space);
  EXPECT_TRUE(main_window.isVisible());
  EXPECT_FALSE(splash.isVisible());

  // Neither the tick nor the pause brings it or a second main window back.
  main_window.hide();
  QTest::qWait(250);
  EXPECT_FALSE(splash.isVisible());
  EXPECT_FALSE(main_window.isVisible());
}

}  // namespace
}  // namespace norvexa::shell
