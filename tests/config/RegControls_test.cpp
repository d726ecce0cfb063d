#include "config/RegControls.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vt {
namespace {

namespace fs = std::filesystem;
using registry::HKEY_CURRENT_USER;
using registry::HKEY_LOCAL_MACHINE;

constexpr const char* kKey = "\\Software\\Vellumtrace\\History1";

class RegComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vt-regcombo-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    store_.emplace(folder_);
  }
  void TearDown() override {
    store_.reset();
    fs::remove_all(folder_);
  }
  std::unique_ptr<TRegComboBox> MakeBox() {
    auto box = std::make_unique<TRegComboBox>("RegCombo1", nullptr, &*store_);
    box->SetRegKey(kKey);
    box->SetSorted(true);
    box->Loaded();
    return box;
  }
  std::vector<std::string> Saved(registry::Hive hive = HKEY_CURRENT_USER) {
    auto key = store_->OpenKey(hive, kKey);
    return key ? key->ValueNames() : std::vector<std::string>{};
  }
  void Enter(TRegComboBox& box, const std::string& text) {
    box.SetText(text);
    box.AddToHistory();
  }

  fs::path folder_;
  std::optional<registry::Store> store_;
};

TEST_F(RegComboTest, AMissingKeyGivesAnEmptyListAndNoError) {
  auto box = MakeBox();
  EXPECT_EQ(box->Count(), 0u);
  EXPECT_FALSE(store_->KeyExists(HKEY_CURRENT_USER, kKey));
}

TEST_F(RegComboTest, EnteredTextsAreSavedMostRecentFirstAsEmptyStringValues) {
  auto box = MakeBox();
  Enter(*box, "zebra");
  Enter(*box, "apple");
  Enter(*box, "mango");
  EXPECT_EQ(box->Items(), (std::vector<std::string>{"mango", "apple", "zebra"}));
  EXPECT_EQ(Saved(), (std::vector<std::string>{"mango", "apple", "zebra"}));
  auto value = store_->OpenKey(HKEY_CURRENT_USER, kKey)->Read("apple");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, registry::REG_SZ);
  EXPECT_EQ(value->bytes, "");
  // A box created later shows the saved names sorted.
  EXPECT_EQ(MakeBox()->Items(), (std::vector<std::string>{"apple", "mango", "zebra"}));
}

TEST_F(RegComboTest, ReenteringMovesToTheFrontAndCaseVariantsShareOneValue) {
  auto box = MakeBox();
  Enter(*box, "one");
  Enter(*box, "two");
  Enter(*box, "one");
  EXPECT_EQ(box->Items(), (std::vector<std::string>{"one", "two"}));
  Enter(*box, "ONE");
  EXPECT_EQ(box->Items(), (std::vector<std::string>{"ONE", "one", "two"}));
  EXPECT_EQ(Saved().size(), 2u);
}

TEST_F(RegComboTest, AnEmptyTextChangesNeitherListNorRegistry) {
  auto box = MakeBox();
  Enter(*box, "kept");
  Enter(*box, "");
  EXPECT_EQ(box->Items(), (std::vector<std::string>{"kept"}));
  EXPECT_EQ(Saved(), (std::vector<std::string>{"kept"}));
}

TEST_F(RegComboTest, TheTwentiethEntryIsDroppedByTheCutInListOrder) {
  auto box = MakeBox();
  for (int i = 0; i < 20; ++i) Enter(*box, "t" + std::to_string(100 + i));
  ASSERT_EQ(Saved().size(), 20u);
  Enter(*box, "newest");
  auto saved = Saved();
  ASSERT_EQ(saved.size(), 20u);
  EXPECT_EQ(saved.front(), "newest");
  EXPECT_EQ(saved[1], "t119");
  EXPECT_EQ(saved.back(), "t101");  // t100, the oldest, is the one cut
  EXPECT_EQ(box->Count(), 21u);     // the list itself keeps everything until reloaded

  // After a reload the list is alphabetical, and that order decides the next cut.
  auto again = MakeBox();
  Enter(*again, "aaa");
  saved = Saved();
  ASSERT_EQ(saved.size(), 20u);
  EXPECT_EQ(saved.front(), "aaa");
  EXPECT_EQ(saved.back(), "t118");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), "t119"), 0);
}

TEST_F(RegComboTest, TextsWithQuotesBackslashesAndPercentSignsRoundTrip) {
  auto box = MakeBox();
  Enter(*box, "it's 100% \"done\" a\\b_c");
  EXPECT_EQ(MakeBox()->Items(), (std::vector<std::string>{"it's 100% \"done\" a\\b_c"}));
}

TEST_F(RegComboTest, KeyAndLocationProperties) {
  TRegComboBox box("b", nullptr, &*store_);
  EXPECT_EQ(box.RegKey(), "\\Software\\Default");
  EXPECT_EQ(box.RegMaxCount(), 20);
  EXPECT_TRUE(box.RegEnabled());
  box.SetRegKey("\\Software\\X\\");
  EXPECT_EQ(box.RegKey(), "\\Software\\X");
  box.SetRegKey("");
  EXPECT_EQ(box.RegKey(), "\\Software\\X");

  // Moving the root after loading carries the list over and leaves nothing at the old root.
  auto moved = MakeBox();
  Enter(*moved, "a");
  Enter(*moved, "b");
  moved->SetRegLocation(RegLocation::LocalMachine);
  EXPECT_EQ(Saved(HKEY_CURRENT_USER), std::vector<std::string>{});
  EXPECT_EQ(Saved(HKEY_LOCAL_MACHINE), (std::vector<std::string>{"b", "a"}));

  // A disabled box does not load.
  TRegComboBox off("c", nullptr, &*store_);
  off.SetRegKey(kKey);
  off.SetRegEnabled(false);
  store_->CreateKey(HKEY_CURRENT_USER, kKey).WriteString("x", "");
  off.Loaded();
  EXPECT_EQ(off.Count(), 0u);
}

}  // namespace
}  // namespace vt
