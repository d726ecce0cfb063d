#pragma once
// The golden pages of the publishing tests (tests/publishing/golden/), read whole.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace vt::testing {

inline std::string Golden(const std::string& name) {
  std::ifstream in(std::string(VT_SOURCE_DIR) + "/tests/publishing/golden/" + name,
                   std::ios::binary);
  EXPECT_TRUE(in) << "missing golden file " << name;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace vt::testing
