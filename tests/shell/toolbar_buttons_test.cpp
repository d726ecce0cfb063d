// The tool bar's explorer-bar buttons, read from the registry files as the band writes them.
#include "shell/toolbar_buttons.h"

#include <gtest/gtest.h>

#include "host/clsids.h"
#include "host/registration.h"

namespace vt::shell {
namespace {

using registry::HKEY_LOCAL_MACHINE;

registry::Key ButtonKey(const std::string& guid) {
  return registry::CreateKey(HKEY_LOCAL_MACHINE, kExtensionsKey + guid);
}

class ToolbarButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override { registry::DeleteKey(HKEY_LOCAL_MACHINE, "Software"); }
};

TEST_F(ToolbarButtonsTest, NoneRegisteredReadsAsNone) {
  EXPECT_TRUE(ReadExplorerBarButtons().empty());
}

TEST_F(ToolbarButtonsTest, TheBandsButtonIsReadBackFromTheRegistryFile) {
  const std::string guid =
      AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Vellumtrace", BandClsidText(),
                       "/data/vt/icon.ico", "/data/vt/icon-hot.ico");
  // A store of its own reads the hive's file afresh.
  registry::Store fresh(registry::DefaultStore().Folder());
  const std::vector<ExplorerBarButton> buttons = ReadExplorerBarButtons(fresh);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0], (ExplorerBarButton{guid, "Vellumtrace", "/data/vt/icon.ico",
                                           "/data/vt/icon-hot.ico", BandClsidText()}));
  // Adding it again replaces it.
  RemoveToolbarButton("Vellumtrace");
  const std::string again = AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Vellumtrace",
                                             BandClsidText(), "/a.ico", "/a.ico");
  ASSERT_EQ(ReadExplorerBarButtons(fresh).size(), 1u);
  EXPECT_EQ(ReadExplorerBarButtons(fresh)[0].id, again);
}

TEST_F(ToolbarButtonsTest, OnlyVisibleExplorerBarButtonsWithTextAndBarAreShownInTextOrder) {
  AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Zeta",
                   "{00000000-0000-0000-0000-00000000000Z}", "icon.ico",
                   "");  // a relative icon names no file
  AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Alpha", BandClsidText(), "/a.ico", "");
  AddToolbarButton(false, ToolbarButtonKind::ExplorerBar, "Hidden", BandClsidText(), "", "");
  AddToolbarButton(true, ToolbarButtonKind::ComExtension, "Extension", BandClsidText(), "", "");
  AddToolbarButton(true, ToolbarButtonKind::Script, "Script", "/x.js", "", "");
  AddToolbarButton(true, ToolbarButtonKind::Executable, "Program", "/bin/true", "", "");
  // The kind's GUID in other letter case still names an explorer bar; broken keys are passed over.
  registry::Key lower = ButtonKey("{11111111-1111-1111-1111-111111111111}");
  lower.WriteString("CLSID", registry::FoldCase(kExplorerBarButtonClsid));
  lower.WriteString("ButtonText", "Middle");
  lower.WriteString("BandCLSID", BandClsidText());
  lower.WriteDword("Icon", 7);  // not text: no icon
  registry::Key no_bar = ButtonKey("{22222222-2222-2222-2222-222222222222}");
  no_bar.WriteString("CLSID", kExplorerBarButtonClsid);
  no_bar.WriteString("ButtonText", "No bar");
  registry::Key odd_text = ButtonKey("{33333333-3333-3333-3333-333333333333}");
  odd_text.WriteString("CLSID", kExplorerBarButtonClsid);
  odd_text.WriteDword("ButtonText", 1);
  odd_text.WriteString("BandCLSID", BandClsidText());

  std::vector<std::string> shown;
  for (const ExplorerBarButton& b : ReadExplorerBarButtons())
    shown.push_back(b.text + "|" + b.icon);
  EXPECT_EQ(shown, (std::vector<std::string>{"Alpha|/a.ico", "Middle|", "Zeta|"}));
}

}  // namespace
}  // namespace vt::shell
