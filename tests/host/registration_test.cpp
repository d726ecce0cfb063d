// The module's class table behind its exported entry points, and the browser's tool-bar buttons.
#include "host/registration.h"

#include <gtest/gtest.h>

#include "host/ExplorerBand.h"
#include "host/clsids.h"
#include "host/module.h"
#include "platform/registry/registry.h"

namespace vt {
namespace {

using namespace com;
using registry::HKEY_LOCAL_MACHINE;

TEST(ModuleTableTest, ClassObjectsComeFromTheTableAndAnObjectKeepsTheModuleLoaded) {
  ClearModuleFactories();
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(ModuleGetClassObject(CLSID_ExplorerBand, IID_IClassFactory, &out),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);

  AddModuleFactory(BandClassInfo(), ComPtr<IUnknown>(new ClassFactory<TExplorerBand>()));
  EXPECT_EQ(ModuleGetClassObject(CLSID_ExplorerBand, IID_IDispatch, &out), E_NOINTERFACE);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(ModuleGetClassObject(CLSID_ExplorerBand, IID_IClassFactory, factory.put_void()), S_OK);

  EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
  ComPtr<IUnknown> band;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, band.put_void()), S_OK);
  EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);  // while the band lives
  band = nullptr;
  EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
  factory->LockServer(TRUE);
  EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  ClearModuleFactories();
}

class ToolbarButtonTest : public ::testing::Test {
 protected:
  void SetUp() override { registry::DeleteKey(HKEY_LOCAL_MACHINE, "Software"); }
  std::string Read(const std::string& key, const std::string& name) {
    auto k = registry::OpenKey(HKEY_LOCAL_MACHINE, key);
    return k ? k->TryReadString(name).value_or("<none>") : "<no key>";
  }
};

TEST_F(ToolbarButtonTest, AnExplorerBarButtonIsWrittenUnderANewGuidAndListedByItsText) {
  const std::string guid = AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Vellumtrace",
                                            BandClsidText(), "/app/icon.ico", "/app/hot.ico");
  ASSERT_EQ(guid.size(), 38u);
  const std::string key = kExtensionsKey + guid;
  EXPECT_EQ(Read(key, "Default Visible"), "Yes");
  EXPECT_EQ(Read(key, "ButtonText"), "Vellumtrace");
  EXPECT_EQ(Read(key, "Icon"), "/app/icon.ico");
  EXPECT_EQ(Read(key, "HotIcon"), "/app/hot.ico");
  EXPECT_EQ(Read(key, "CLSID"), "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}");
  EXPECT_EQ(Read(key, "BandCLSID"), BandClsidText());
  EXPECT_EQ(Read(kToolbarButtonsKey, "Vellumtrace"), guid);

  // The other kinds: their CLSID value (lower-case "d" for a COM extension) and target value.
  const std::string com_ext =
      AddToolbarButton(false, ToolbarButtonKind::ComExtension, "Ext", "{X}", "i", "h");
  EXPECT_EQ(Read(kExtensionsKey + com_ext, "Default Visible"), "No");
  EXPECT_EQ(Read(kExtensionsKey + com_ext, "CLSID"), "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}");
  EXPECT_EQ(Read(kExtensionsKey + com_ext, "ClsidExtension"), "{X}");
  const std::string exec =
      AddToolbarButton(true, ToolbarButtonKind::Executable, "Run", "/bin/true", "i", "h");
  EXPECT_EQ(Read(kExtensionsKey + exec, "CLSID"), "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}");
  EXPECT_EQ(Read(kExtensionsKey + exec, "Exec"), "/bin/true");
  EXPECT_NE(exec, com_ext);

  EXPECT_TRUE(RemoveToolbarButton("Vellumtrace"));
  EXPECT_FALSE(registry::KeyExists(HKEY_LOCAL_MACHINE, key));
  EXPECT_EQ(Read(kToolbarButtonsKey, "Vellumtrace"), "<none>");
  EXPECT_TRUE(registry::KeyExists(HKEY_LOCAL_MACHINE, kExtensionsKey + exec));
}

TEST_F(ToolbarButtonTest, RemovingAnEntryThatIsNoGuidRemovesNothing) {
  EXPECT_TRUE(RemoveToolbarButton("Vellumtrace"));  // nothing registered at all
  const std::string guid =
      AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Vellumtrace", "{B}", "i", "h");
  registry::CreateKey(HKEY_LOCAL_MACHINE, kToolbarButtonsKey)
      .WriteString("Vellumtrace", guid.substr(0, 37));
  EXPECT_TRUE(RemoveToolbarButton("Vellumtrace"));
  EXPECT_EQ(Read(kToolbarButtonsKey, "Vellumtrace"), guid.substr(0, 37));
  EXPECT_TRUE(registry::KeyExists(HKEY_LOCAL_MACHINE, kExtensionsKey + guid));
}

}  // namespace
}  // namespace vt
