#include "platform/device_holders.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "harness/child_process.h"
#include "harness/deadline.h"
#include "posix/pty_pair.h"

namespace scalecheck::platform {
namespace {

TEST(DeviceHolders, NamesTheOtherProcessesThatHoldTheDevice) {
  posix_test::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  // This process holds the terminal too, and is no "other" holder.
  const int own = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(own, 0);
  // Only the child given the master holds it.
  ASSERT_EQ(fcntl(pty.master(), F_SETFD, FD_CLOEXEC), 0);
  harness::ChildProcess holder;
  harness::Launch launch;
  launch.program = "/bin/sleep";
  launch.arguments = {"100"};
  launch.input = launch.output = own;
  ASSERT_TRUE(holder.start(launch));
  // A child with both ends is the terminal's other side (as a scale
  // simulator is), not a second reader: never named.
  harness::ChildProcess otherSide;
  launch.input = pty.master();
  ASSERT_TRUE(otherSide.start(launch));

  // The child holds the terminal from the fork on, and is named "sleep"
  // once it has started that program.
  std::vector<DeviceHolder> holders;
  EXPECT_TRUE(posix_test::eventually(
      [&] {
        holders = otherHolders(pty.slavePath());
        return holders.size() == 1 && holders[0].name == "sleep";
      },
      posix_test::pauseOneMs));
  ASSERT_EQ(holders.size(), 1U);
  EXPECT_EQ(holders[0].pid, holder.pid());

  holder.signal(SIGKILL);
  holder.wait(harness::Deadline());
  otherSide.signal(SIGKILL);
  otherSide.wait(harness::Deadline());
  EXPECT_TRUE(otherHolders(pty.slavePath()).empty());
  ::close(own);
  EXPECT_TRUE(otherHolders("/nonexistent/ttyX").empty());
}

}  // namespace
}  // namespace scalecheck::platform
