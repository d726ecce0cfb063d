#include "platform/msgloop/unwind.h"

#include <gtest/gtest.h>

#include <string>

namespace vt::msgloop {
namespace {

TEST(Unwind, ReleasesUnderAScopeWaitForTheOutermostOneInTheirOrder) {
  std::string log;
  RunWhenUnwound([&] { log += "now;"; });
  EXPECT_EQ(log, "now;");
  {
    LoopScope outer;
    {
      LoopScope inner;
      RunWhenUnwound([&] { log += "form;"; });
      RunWhenUnwound([&] {
        log += "session;";
        // Released while the queue runs: no scope is left, so at once.
        RunWhenUnwound([&] { log += "late;"; });
      });
    }
    EXPECT_TRUE(LoopScope::Active());
    EXPECT_EQ(log, "now;");
  }
  EXPECT_FALSE(LoopScope::Active());
  EXPECT_EQ(log, "now;form;session;late;");
}

}  // namespace
}  // namespace vt::msgloop
