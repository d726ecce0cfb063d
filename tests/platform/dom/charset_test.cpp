#include <gtest/gtest.h>

#include "platform/dom/charset.h"

namespace vt::dom {
namespace {

TEST(Charset, ByteOrderMarkWinsOverDeclarations) {
  const auto d =
      DecodePage("\xEF\xBB\xBF<meta charset=iso-8859-2>\xC3\xA9", "text/html; charset=koi8-r");
  EXPECT_EQ(d.charset, "utf-8");
  EXPECT_EQ(d.source, "bom");
  EXPECT_EQ(d.text, "<meta charset=iso-8859-2>\xC3\xA9");
}

}  // namespace
}  // namespace vt::dom
