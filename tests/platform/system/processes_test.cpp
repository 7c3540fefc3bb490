// The processes of this machine: this process, one that has ended, and ids
// that no process can have.
#include "platform/system/processes.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace norvexa::sys {
namespace {

TEST(Processes, RunningProcessesAreSeenAndEndedOnesAreNot) {
  EXPECT_GT(CurrentProcessId(), 0);
  EXPECT_TRUE(ProcessExists(CurrentProcessId()));
  EXPECT_FALSE(CurrentHostName().empty());

  QProcess sleeper;
  sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  ASSERT_TRUE(sleeper.waitForStarted());
  const std::int64_t pid = sleeper.processId();
  EXPECT_TRUE(ProcessExists(pid));
  sleeper.kill();
  ASSERT_TRUE(sleeper.waitForFinished());
  EXPECT_FALSE(ProcessExists(pid));

  for (const std::int64_t impossible : {std::int64_t{0}, std::int64_t{-1}, std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_FALSE(ProcessExists(impossible)) << impossible;
  }
}

}  // namespace
}  // namespace norvexa::sys
