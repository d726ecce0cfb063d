#include "platform/com/guid.h"

#include <gtest/gtest.h>

#include <unordered_set>

#include "platform/com/hresult.h"

namespace vt::com {
namespace {

TEST(GuidTest, RegistryTextRoundTripsInUpperCase) {
  constexpr GUID dispatch = MakeGuid("{00020400-0000-0000-c000-000000000046}");
  static_assert(dispatch.Data1 == 0x00020400 && dispatch.Data4[0] == 0xC0 &&
                dispatch.Data4[7] == 0x46);
  EXPECT_EQ(ToString(dispatch), "{00020400-0000-0000-C000-000000000046}");

  const std::string text = "{34A715A0-6587-11D0-924A-0020AFC7AC4D}";
  auto parsed = ParseGuid(text);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->Data1, 0x34A715A0u);
  EXPECT_EQ(parsed->Data2, 0x6587);
  EXPECT_EQ(parsed->Data3, 0x11D0);
  EXPECT_EQ(ToString(*parsed), text);
  EXPECT_EQ(ParseGuid("34a715a0-6587-11d0-924a-0020afc7ac4d"), parsed);
}

TEST(GuidTest, MalformedTextIsRejected) {
  for (const char* bad :
       {"", "{}", "{34A715A0-6587-11D0-924A-0020AFC7AC4D", "34A715A0-6587-11D0-924A-0020AFC7AC4D}",
        "{34A715A0-6587-11D0-924A-0020AFC7AC4G}", "{34A715A0+6587-11D0-924A-0020AFC7AC4D}",
        " {34A715A0-6587-11D0-924A-0020AFC7AC4D}", "{34A715A0-6587-11D0-924A0-020AFC7AC4D}"}) {
    EXPECT_FALSE(ParseGuid(bad)) << bad;
  }
}

TEST(GuidTest, CreatedGuidsAreVersionFourAndDistinct) {
  std::unordered_set<GUID> seen;
  for (int i = 0; i < 1000; ++i) {
    GUID g = CreateGuid();
    EXPECT_EQ(g.Data3 >> 12, 4);
    EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
    const std::string text = ToString(g);
    EXPECT_EQ(text.size(), 38u);
    EXPECT_EQ(ParseGuid(text), g);
    seen.insert(g);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

TEST(HresultTest, WindowsValuesAndText) {
  static_assert(FAILED(E_FAIL) && SUCCEEDED(S_FALSE) && SUCCEEDED(S_OK));
  EXPECT_EQ(static_cast<std::uint32_t>(E_NOINTERFACE), 0x80004002u);
  EXPECT_EQ(static_cast<std::uint32_t>(INET_E_USE_DEFAULT_PROTOCOLHANDLER), 0x800C0011u);
  EXPECT_EQ(HresultText(DISP_E_MEMBERNOTFOUND), "DISP_E_MEMBERNOTFOUND (0x80020003)");
  EXPECT_EQ(HresultText(MakeHresult(0x8007001Fu)), "0x8007001F");
}

}  // namespace
}  // namespace vt::com
