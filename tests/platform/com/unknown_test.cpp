#include "platform/com/unknown.h"

#include <gtest/gtest.h>

#include "platform/com/ole.h"

namespace vt::com {
namespace {

// IWidget derives from IOleWindow, so an object implementing IWidget answers IOleWindow too.
struct IWidget : IOleWindow {
  static constexpr GUID kIid = MakeGuid("{1A2B3C4D-0000-4000-8000-00000000A001}");
  using Base = IOleWindow;
  virtual int Size() = 0;
};

struct IUnrelated : IUnknown {
  static constexpr GUID kIid = MakeGuid("{1A2B3C4D-0000-4000-8000-00000000A002}");
  using Base = IUnknown;
};

class Widget : public ComObject<IWidget, IObjectWithSite> {
 public:
  explicit Widget(bool* destroyed) : destroyed_(destroyed) {}
  ~Widget() override { *destroyed_ = true; }
  int Size() override { return 7; }
  HRESULT GetWindow(HWND* out) override {
    *out = 42;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT SetSite(IUnknown*) override { return S_OK; }
  HRESULT GetSite(const GUID&, void** out) override {
    *out = nullptr;
    return E_FAIL;
  }
  ULONG Refs() {
    AddRef();
    return Release();
  }

 private:
  bool* destroyed_;
};

TEST(ComObjectTest, ReferenceCountingDeletesOnLastReleaseOnly) {
  bool destroyed = false;
  const long before = ModuleObjectCount();
  {
    ComPtr<Widget> widget = MakeCom<Widget>(&destroyed);
    EXPECT_EQ(widget->Refs(), 1u);
    EXPECT_EQ(ModuleObjectCount(), before + 1);
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);
    ComPtr<Widget> copy = widget;
    EXPECT_EQ(widget->Refs(), 2u);
    ComPtr<Widget> moved = std::move(copy);
    EXPECT_FALSE(copy);
    EXPECT_EQ(widget->Refs(), 2u);
    moved = nullptr;
    EXPECT_EQ(widget->Refs(), 1u);
    Widget* raw = widget.Detach();
    EXPECT_FALSE(destroyed);
    ComPtr<Widget> again = AttachCom(raw);
    EXPECT_EQ(again->Refs(), 1u);
  }
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(ModuleObjectCount(), before);
}

TEST(ComObjectTest, QueryInterfaceFollowsTheRules) {
  bool destroyed = false;
  ComPtr<Widget> widget = MakeCom<Widget>(&destroyed);

  // Identity: IUnknown from any interface is the same pointer.
  ComPtr<IUnknown> fromWidget = widget.As<IWidget>().As<IUnknown>();
  ComPtr<IUnknown> fromSite = widget.As<IObjectWithSite>().As<IUnknown>();
  ASSERT_TRUE(fromWidget);
  EXPECT_EQ(fromWidget.get(), fromSite.get());

  // Base interfaces of a listed interface are answered, with the right pointer adjustment.
  ComPtr<IOleWindow> window = widget.As<IOleWindow>();
  ASSERT_TRUE(window);
  HWND hwnd = 0;
  EXPECT_EQ(window->GetWindow(&hwnd), S_OK);
  EXPECT_EQ(hwnd, 42u);
  EXPECT_EQ(window.As<IWidget>()->Size(), 7);

  // Symmetric and transitive: the site interface reaches the widget and back.
  EXPECT_TRUE(widget.As<IObjectWithSite>().As<IWidget>().As<IObjectWithSite>());

  // A missing interface: E_NOINTERFACE, the out pointer cleared, no reference leaked.
  void* out = reinterpret_cast<void*>(0x1);
  const ULONG refs = widget->Refs();
  EXPECT_EQ(widget->QueryInterface(IUnrelated::kIid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(widget->QueryInterface(IUnknown::kIid, nullptr), E_POINTER);
  EXPECT_EQ(widget->Refs(), refs);
  ComPtr<IUnrelated> none;
  EXPECT_EQ(widget.As(none), E_NOINTERFACE);
  EXPECT_FALSE(none);
}

TEST(ComObjectTest, OutParameterSlotReleasesTheOldPointer) {
  bool firstGone = false, secondGone = false;
  ComPtr<IWidget> slot = MakeCom<Widget>(&firstGone);
  ComPtr<Widget> second = MakeCom<Widget>(&secondGone);
  EXPECT_EQ(second->QueryInterface(IWidget::kIid, slot.put_void()), S_OK);
  EXPECT_TRUE(firstGone);
  EXPECT_EQ(slot->Size(), 7);
  second = nullptr;
  EXPECT_FALSE(secondGone);  // slot still holds it
  slot.reset();
  EXPECT_TRUE(secondGone);
}

}  // namespace
}  // namespace vt::com
