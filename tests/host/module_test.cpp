#include "host/module.h"

#include <gtest/gtest.h>

#include "host/ExplorerBand.h"
#include "host/bandstate.h"
#include "host/clsids.h"
#include "platform/com/classfactory.h"

namespace vt {
namespace {

using namespace com;

TEST(BandModuleTest, StartServesTheBandClassAndRaisesTheBandActiveFlag) {
  SetBandActive(false);
  EXPECT_FALSE(CoCreate<shell::IDeskBand>(CLSID_ExplorerBand));
  ASSERT_EQ(StartBandModule(), S_OK);
  EXPECT_TRUE(BandActive());
  EXPECT_EQ(StartBandModule(), S_OK);  // a second start keeps the first registration

  auto first = CoCreate<shell::IDeskBand>(CLSID_ExplorerBand);
  auto second = CoCreate<shell::IDeskBand>(CLSID_ExplorerBand);
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_NE(first.get(), second.get());  // a new band per request
  GUID clsid{};
  ASSERT_TRUE(first.As<shell::IPersistStreamInit>());
  first.As<shell::IPersistStreamInit>()->GetClassID(&clsid);
  EXPECT_EQ(clsid, CLSID_ExplorerBand);

  StopBandModule();
  EXPECT_FALSE(CoCreate<shell::IDeskBand>(CLSID_ExplorerBand));
}

}  // namespace
}  // namespace vt
