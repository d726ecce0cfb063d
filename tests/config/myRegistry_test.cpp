#include "config/myRegistry.h"

#include "../platform/registry/scoped_env.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

namespace vt {
namespace {

namespace fs = std::filesystem;

class TmyRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vt-settings-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    store_.emplace(folder_);
  }
  void TearDown() override {
    store_.reset();
    fs::remove_all(folder_);
  }
  registry::Key Settings() {
    return *store_->OpenKey(registry::HKEY_CURRENT_USER, "SOFTWARE\\Vellumtrace\\Settings");
  }

  fs::path folder_;
  std::optional<registry::Store> store_;
};

TEST_F(TmyRegistryTest, ConstructionCreatesTheSettingsKey) {
  EXPECT_FALSE(store_->KeyExists(registry::HKEY_CURRENT_USER, "SOFTWARE\\Vellumtrace\\Settings"));
  TmyRegistry reg(*store_);
  EXPECT_EQ(reg.KeyPath(), "\\SOFTWARE\\Vellumtrace\\Settings");
  EXPECT_TRUE(store_->KeyExists(registry::HKEY_CURRENT_USER, "software\\vellumtrace\\settings"));
  EXPECT_TRUE(Settings().ValueNames().empty());
}

TEST_F(TmyRegistryTest, ReadIntegerDefaultCreatesTheMissingValueOnce) {
  TmyRegistry reg(*store_);
  EXPECT_EQ(reg.ReadIntegerDefault(settings::SplitRatio1, 50), 50);
  EXPECT_EQ(Settings().TypeOf("SplitRatio1"), registry::REG_DWORD);
  EXPECT_EQ(Settings().ReadDword("SplitRatio1"), 50u);
  reg.WriteInteger(settings::SplitRatio1, 35);
  EXPECT_EQ(reg.ReadIntegerDefault("splitratio1", 50), 35);  // the stored value wins
  reg.WriteInteger(settings::SNIPPET_selected, -2);          // signed 32-bit
  EXPECT_EQ(Settings().ReadDword("SNIPPET_selected"), 0xFFFFFFFEu);
  EXPECT_EQ(reg.ReadIntegerDefault(settings::SNIPPET_selected, 0), -2);

  // A second accessor, as another band form has, sees the same values.
  TmyRegistry other(*store_);
  EXPECT_EQ(other.ReadInteger(settings::SplitRatio1), 35);
  EXPECT_THROW(other.ReadInteger(settings::BandWidth), registry::RegistryError);
}

TEST_F(TmyRegistryTest, ValueOfAnotherTypeFailsToRead) {
  TmyRegistry reg(*store_);
  reg.WriteString(settings::BandWidth, "200");
  try {
    reg.ReadIntegerDefault(settings::BandWidth, 200);
    FAIL() << "a string read as an integer";
  } catch (const registry::RegistryError& e) {
    EXPECT_STREQ(e.what(),
                 "Value \"BandWidth\" of HKEY_CURRENT_USER\\SOFTWARE\\Vellumtrace\\Settings is "
                 "REG_SZ, not REG_DWORD");
  }
  EXPECT_EQ(Settings().ReadString("BandWidth"), "200");  // not replaced by the default
  reg.WriteInteger(settings::AppDir, 1);
  EXPECT_THROW(reg.ReadString(settings::AppDir), registry::RegistryError);
  EXPECT_THROW(reg.ReadBoolean(settings::AppDir), registry::RegistryError);
}

TEST_F(TmyRegistryTest, BooleansUseMinusOneAndZeroAndReadLeniently) {
  TmyRegistry reg(*store_);
  reg.WriteBoolean(settings::SlimView, true);
  reg.WriteBoolean(settings::ShowBorders, false);
  EXPECT_EQ(Settings().ReadString("SlimView"), "-1");
  EXPECT_EQ(Settings().ReadString("ShowBorders"), "0");

  struct Case {
    const char* stored;
    std::optional<bool> read;
  };
  for (const Case& c :
       {Case{"True", true}, Case{"tRUE", true}, Case{"FALSE", false}, Case{"-1", true},
        Case{"0", false}, Case{"1", true}, Case{"2", true}, Case{"", std::nullopt}}) {
    Settings().WriteString("sb_Filter", c.stored);
    EXPECT_EQ(reg.ReadBoolean(settings::sb_Filter), c.read) << '"' << c.stored << '"';
  }

  // Empty or missing leaves the current state; a value sets it either way.
  bool state = true;
  EXPECT_FALSE(reg.ReadBoolean(settings::sb_Filter, state));  // stored "" from the last case
  EXPECT_TRUE(state);
  EXPECT_FALSE(reg.ReadBoolean(settings::sb_Wordindexer, state));
  EXPECT_TRUE(state);
  EXPECT_TRUE(reg.ReadBoolean(settings::ShowBorders, state));
  EXPECT_FALSE(state);
  EXPECT_FALSE(reg.ValueExists(settings::sb_Wordindexer));  // reading created nothing

  Settings().WriteString("sb_Filter", "yes");
  EXPECT_THROW(reg.ReadBoolean(settings::sb_Filter, state), registry::RegistryError);
  EXPECT_FALSE(state);
}

using vt::testing::ScopedEnv;

TEST(SettingsPlacesTest, BarSizeAndFolders) {
  EXPECT_EQ(ExplorerBarsKey("{ABC}"),
            "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{ABC}");
  EXPECT_EQ(BarSizeBytes(60), std::string("\x3c\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(BarSizeFromBytes(BarSizeBytes(-207)), -207);
  EXPECT_EQ(BarSizeFromBytes("short"), std::nullopt);

  EXPECT_EQ(WithTrailingSlash(""), "/");
  EXPECT_EQ(WithTrailingSlash("/data"), "/data/");
  EXPECT_EQ(WithTrailingSlash("/data/"), "/data/");
  {
    ScopedEnv env({{"XDG_DATA_HOME", "/x/data"}, {"XDG_CACHE_HOME", "/x/cache/"}});
    EXPECT_EQ(DefaultAppDir(), "/x/data/vellumtrace/");
    EXPECT_EQ(DefaultCacheDir(), "/x/cache/vellumtrace/images/");
  }
  ScopedEnv env({{"XDG_DATA_HOME", nullptr}, {"XDG_CACHE_HOME", ""}, {"HOME", "/home/u"}});
  EXPECT_EQ(DefaultAppDir(), "/home/u/.local/share/vellumtrace/");
  EXPECT_EQ(DefaultCacheDir(), "/home/u/.cache/vellumtrace/images/");
}

}  // namespace
}  // namespace vt
