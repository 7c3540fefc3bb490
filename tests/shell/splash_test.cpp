// The splash window: gives way to the main window after its first tick and
// pause, or at once on a key press, and never comes back.
#include "shell/frm_splash.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace norvexa::shell {
namespace {

// Lets the event loop run until CONDITION holds or MS milliseconds pass.
bool WaitFor(const std::function<bool()>& condition, int ms) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!condition() && elapsed.elapsed() < ms) QTest::qWait(5);
  return condition();
}

TEST(Splash, FirstTickPausesThenShowsTheMainWindow) {
  QWidget main_window;
  frmSplash splash(&main_window, 1000);
  EXPECT_EQ(splash.Timer1->interval(), 10);
  EXPECT_FALSE(splash.Timer1->isActive());
  splash.show();
  EXPECT_TRUE(splash.Timer1->isActive());

  // The first tick stops the timer; the main window comes only after the
  // pause that follows it.
  ASSERT_TRUE(WaitFor([&] { return !splash.Timer1->isActive(); }, 5000));
  EXPECT_FALSE(main_window.isVisible());
  EXPECT_TRUE(splash.isVisible());

  ASSERT_TRUE(WaitFor([&] { return main_window.isVisible(); }, 5000));
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
