#include "platform/widgets/commondialogs.h"

#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

namespace vt::widgets {
namespace {

TEST(CommonDialogTest, ColoursTravelAsHexWithRedInTheLowByte) {
  EXPECT_EQ(ColorToHex(255), "#FF0000");
  EXPECT_EQ(ColorToHex(0x00FF0000), "#0000FF");
  ColorRef c = 0;
  ASSERT_TRUE(ColorFromHex("#00ff00", c));
  EXPECT_EQ(c, 0x0000FF00u);
  EXPECT_FALSE(ColorFromHex("red", c));
}

TEST(CommonDialogTest, FontDialogTakesTheDisplaysChoiceOnlyOnOk) {
  FontDialog font;
  font.SetFamily("Arial");
  EXPECT_FALSE(font.Execute());  // no display: cancelled, nothing changed
  {
    ScopedModalScript script([](Form& f) {
      EXPECT_FALSE(f.HandleInput({{"type", "close"}, {"result", "ok"}, {"color", "#GG0000"}}));
      EXPECT_TRUE(f.HandleInput({{"type", "close"},
                                 {"result", "ok"},
                                 {"family", "Verdana"},
                                 {"size", 14},
                                 {"color", "#FF0000"}}));
    });
    ASSERT_TRUE(font.Execute());
  }
  EXPECT_EQ(font.Family(), "Verdana");
  EXPECT_EQ(font.Size(), 14);
  EXPECT_EQ(font.Color(), 255u);
  {
    ScopedModalScript script([](Form& f) {
      f.HandleInput({{"type", "close"}, {"result", "cancel"}, {"family", "Courier"}});
    });
    EXPECT_FALSE(font.Execute());
  }
  EXPECT_EQ(font.Family(), "Verdana");
}

TEST(CommonDialogTest, FolderDialogListsSubfoldersAndAcceptsOnlyFolders) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("vt-folders-" + std::to_string(getpid()));
  fs::create_directories(dir / "images");
  fs::create_directories(dir / "db");
  fs::create_directories(dir / ".hidden");
  FolderDialog pick;
  pick.SetTitle("Select a folder");
  pick.SetFolder(dir.string());
  Json d = pick.Describe();
  EXPECT_EQ(d["subfolders"], Json::array({"db", "images"}));
  EXPECT_EQ(d["parentFolder"], dir.parent_path().string());
  EXPECT_EQ(d["caption"], "Select a folder");
  {
    ScopedModalScript script([&](Form& f) {
      EXPECT_FALSE(f.HandleInput({{"type", "browse"}, {"folder", (dir / "nope").string()}}));
      EXPECT_TRUE(f.HandleInput({{"type", "browse"}, {"folder", (dir / "images").string()}}));
      f.HandleInput({{"type", "close"}, {"result", "ok"}});
    });
    ASSERT_TRUE(pick.Execute());
  }
  EXPECT_EQ(pick.Folder(), (dir / "images").string());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vt::widgets
