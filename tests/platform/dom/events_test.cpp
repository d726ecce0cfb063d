// Events dispatched to the document's sinks, the window's event object, frames and services.
#include <gtest/gtest.h>

#include "platform/com/dispatch.h"
#include "platform/com/ole.h"
#include "platform/dom/document.h"

namespace vt::dom {
namespace {

using com::ComPtr;
using com::DispatchSink;
using com::MakeCom;

TEST(Events, SinksRunWithWindowEventSetOnlyDuringTheDispatch) {
  auto doc = Document::Create();
  doc->Load("<body><table><tr><td id=c>x</td></tr></table></body>", "http://example.com/");
  auto cell = doc->getElementById("c");
  std::vector<std::string> calls;
  auto click = MakeCom<DispatchSink>([&](com::DISPID id, com::DISPPARAMS* params, com::VARIANT*) {
    auto event = doc->parentWindow()->event();
    calls.push_back("click " + std::to_string(id) + " " + std::to_string(params->cArgs()) + " " +
                    (event ? event->srcElement->tagName() + " " + event->type : "none"));
    return com::S_OK;
  });
  auto move = MakeCom<DispatchSink>([&](com::DISPID, com::DISPPARAMS*, com::VARIANT*) {
    calls.push_back("move");
    return com::S_OK;
  });
  EXPECT_TRUE(doc->attachEvent("onclick", click.get()));
  EXPECT_TRUE(doc->attachEvent("onclick", click.get()));  // once only
  EXPECT_TRUE(doc->attachEvent("ONMOUSEMOVE", move.get()));
  EXPECT_EQ(doc->SinkCount("onclick"), 1);

  EXPECT_EQ(doc->FireEvent(cell, "click"), 1);
  EXPECT_EQ(doc->parentWindow()->event(), nullptr);
  EXPECT_EQ(doc->FireEvent(cell, "mousemove"), 1);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "click 0 0 TD click");
  EXPECT_EQ(calls[1], "move");

  doc->detachEvent("onclick", click.get());
  EXPECT_EQ(doc->FireEvent(cell, "click"), 0);
  EXPECT_EQ(calls.size(), 2u);

  auto cancel = MakeCom<DispatchSink>([&](com::DISPID, com::DISPPARAMS*, com::VARIANT*) {
    doc->parentWindow()->event()->returnValue = false;
    return com::S_OK;
  });
  doc->attachEvent("onclick", cancel.get());
  bool go_on = true;
  EXPECT_EQ(doc->FireEvent(cell, "click", &go_on), 1);
  EXPECT_FALSE(go_on);
}

TEST(Events, ASinkThatDetachesOrFailsLeavesNoEventBehind) {
  auto doc = Document::Create();
  ComPtr<DispatchSink> self;
  int runs = 0;
  self = MakeCom<DispatchSink>([&](com::DISPID, com::DISPPARAMS*, com::VARIANT*) -> com::HRESULT {
    ++runs;
    doc->detachEvent("onclick", self.get());
    throw std::runtime_error("sink failure");
  });
  doc->attachEvent("onclick", self.get());
  doc->FireEvent(doc->body(), "click");
  doc->FireEvent(doc->body(), "click");
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(doc->parentWindow()->event(), nullptr);
  self = nullptr;
}

TEST(Events, OnlyTheWindowOfTheFrameWithTheEventHasOne) {
  auto top = Document::Create("http://example.com/frames.html");
  top->LoadSource("<frameset><frame name=top><frame name=main></frameset>");
  auto first = Document::Create("http://example.com/a.html");
  auto second = Document::Create("http://example.com/b.html");
  first->parentWindow()->SetName("top");
  second->parentWindow()->SetName("main");
  top->parentWindow()->SetFrames({first->parentWindow(), second->parentWindow()});
  ASSERT_EQ(top->frames().size(), 2u);
  EXPECT_EQ(top->parentWindow()->frame(1)->name(), "main");
  EXPECT_EQ(top->parentWindow()->frame(1)->document(), second);
  EXPECT_EQ(top->parentWindow()->frame(2), nullptr);

  bool first_had_event = true, second_had_event = false;
  auto sink = MakeCom<DispatchSink>([&](com::DISPID, com::DISPPARAMS*, com::VARIANT*) {
    first_had_event = top->parentWindow()->frame(0)->event() != nullptr;
    second_had_event = top->parentWindow()->frame(1)->event() != nullptr;
    return com::S_OK;
  });
  second->attachEvent("onmousemove", sink.get());
  second->FireEvent(second->body(), "mousemove");
  EXPECT_FALSE(first_had_event);
  EXPECT_TRUE(second_had_event);

  // A window outlives its document safely.
  auto window = second->parentWindow();
  second.reset();
  top->parentWindow()->SetFrames({});
  EXPECT_EQ(window->document(), nullptr);
}

TEST(Events, WindowServicesComeFromTheHostingBrowser) {
  struct Provider : com::ComObject<com::IServiceProvider> {
    com::HRESULT QueryService(const com::GUID& sid, const com::GUID& iid, void** out) override {
      *out = nullptr;
      if (sid != com::SID_SWebBrowserApp) return com::E_NOINTERFACE;
      return QueryInterface(iid, out);
    }
  };
  auto doc = Document::Create();
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(doc->parentWindow()->QueryService(com::SID_SWebBrowserApp, com::IUnknown::kIid, &out),
            com::E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  auto provider = MakeCom<Provider>();
  doc->parentWindow()->SetServiceProvider(provider.get());
  ASSERT_EQ(doc->parentWindow()->QueryService(com::SID_SWebBrowserApp, com::IUnknown::kIid, &out),
            com::S_OK);
  auto browser = com::AttachCom(static_cast<com::IUnknown*>(out));
  EXPECT_EQ(browser.get(), provider->GetUnknown());
}

}  // namespace
}  // namespace vt::dom
