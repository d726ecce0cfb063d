#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/com/connection.h"

namespace vt::com {
namespace {

constexpr GUID kEventsIid = MakeGuid("{7C1D2E3F-4A5B-4C6D-8E7F-9A0B1C2D3E4F}");

TEST(DispParamsTest, ArgumentsAreStoredLastFirstAndReadInDeclarationOrder) {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT url("http://example.org/");
  DISPPARAMS params = MakeDispParams(
      {VARIANT(std::int32_t{1}), VARIANT::RefVariant(&url), VARIANT::RefBool(&cancel)});
  ASSERT_EQ(params.cArgs(), 3u);
  EXPECT_EQ(params.rgvarg[0].vt(), VT_BYREF | VT_BOOL);
  EXPECT_EQ(params.rgvarg[2].vt(), VT_I4);

  EXPECT_EQ(GetArg(&params, 0)->GetInt32(), 1);
  EXPECT_EQ(GetArg(&params, 1)->vt(), VT_BYREF | VT_VARIANT);
  EXPECT_EQ(GetArg(&params, 1)->GetString(), "http://example.org/");
  EXPECT_EQ(GetArg(&params, 3), nullptr);
  EXPECT_EQ(GetArg(static_cast<DISPPARAMS*>(nullptr), 0), nullptr);

  // The callee writes Cancel through the reference; the caller sees it.
  EXPECT_TRUE(GetArg(&params, 2)->SetBoolRef(true));
  EXPECT_EQ(cancel, VARIANT_TRUE);
  EXPECT_FALSE(GetArg(&params, 0)->SetBoolRef(true));
}

TEST(DispParamsTest, NamedArgumentsArePlacedByTheirDispid) {
  // Positional a0, a1 and the argument of DISPID 3 passed by name.
  DISPPARAMS params;
  params.rgvarg = {VARIANT("named three"), VARIANT("a1"), VARIANT("a0")};
  params.rgdispidNamedArgs = {3};
  EXPECT_EQ(GetArg(&params, 0)->GetString(), "a0");
  EXPECT_EQ(GetArg(&params, 1)->GetString(), "a1");
  EXPECT_EQ(GetArg(&params, 2), nullptr);
  EXPECT_EQ(GetArg(&params, 3)->GetString(), "named three");
}

TEST(VariantTest, TypedReadsCheckTheType) {
  EXPECT_EQ(VARIANT(true).GetBool(), true);
  EXPECT_EQ(VARIANT(false).GetBool(), false);
  EXPECT_EQ(VARIANT(std::int32_t{5}).GetBool(), std::nullopt);
  EXPECT_EQ(VARIANT("5").GetInt32(), std::nullopt);
  EXPECT_EQ(VARIANT::Int64(std::int64_t{1} << 40).GetInt32(), std::nullopt);
  EXPECT_EQ(VARIANT::Int64(-7).GetInt32(), -7);
  EXPECT_EQ(VARIANT(std::int32_t{3}).GetDouble(), 3.0);
  EXPECT_EQ(VARIANT::Missing().GetError(), DISP_E_PARAMNOTFOUND);
  EXPECT_TRUE(VARIANT::Null().IsNull());
  EXPECT_TRUE(VARIANT().IsEmpty());
  EXPECT_EQ(VarTypeName(VT_BYREF | VT_VARIANT), "VT_BYREF|VT_VARIANT");
}

TEST(VariantTest, InterfaceValuesHoldAReference) {
  int calls = 0;
  ComPtr<DispatchSink> sink = MakeCom<DispatchSink>([&](DISPID, DISPPARAMS*, VARIANT*) {
    ++calls;
    return S_OK;
  });
  IDispatch* raw = sink.get();
  VARIANT held(raw);
  VARIANT copy = held;
  sink = nullptr;  // the variants keep the object alive
  ASSERT_EQ(copy.GetDispatch(), raw);
  EXPECT_EQ(copy.GetUnknown(), raw);
  EXPECT_EQ(InvokeMethod(copy.GetDispatch(), 1, {}), S_OK);
  EXPECT_EQ(calls, 1);
}

// A container with one connection point, as an event source has.
class Source : public ComObject<IConnectionPointContainer> {
 public:
  Source() : point_(MakeCom<ConnectionPoint>(kEventsIid, this)) {}
  ~Source() override { point_->DisconnectContainer(); }
  HRESULT FindConnectionPoint(const GUID& iid, IConnectionPoint** out) override {
    return FindConnectionPointIn({point_.get()}, iid, out);
  }
  ConnectionPoint& Point() { return *point_; }

 private:
  ComPtr<ConnectionPoint> point_;
};

TEST(ConnectionPointTest, AdviseFireUnadvise) {
  ComPtr<Source> source = MakeCom<Source>();
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(source->FindConnectionPoint(kEventsIid, point.put()), S_OK);
  EXPECT_EQ(source->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
  EXPECT_FALSE(point);
  ASSERT_EQ(source->FindConnectionPoint(kEventsIid, point.put()), S_OK);
  GUID iid;
  EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, kEventsIid);
  ComPtr<IConnectionPointContainer> back;
  EXPECT_EQ(point->GetConnectionPointContainer(back.put()), S_OK);
  EXPECT_EQ(back.get(), static_cast<IConnectionPointContainer*>(source.get()));

  std::vector<std::string> heard;
  auto makeSink = [&](std::string name) {
    return MakeCom<DispatchSink>([&heard, name](DISPID id, DISPPARAMS* p, VARIANT*) {
      heard.push_back(name + ":" + std::to_string(id) + ":" + GetArg(p, 0)->GetString().value());
      return S_OK;
    });
  };
  auto a = makeSink("a");
  auto b = makeSink("b");
  DWORD cookieA = 0, cookieB = 0;
  ASSERT_EQ(point->Advise(a->GetUnknown(), &cookieA), S_OK);
  ASSERT_EQ(point->Advise(b->GetUnknown(), &cookieB), S_OK);
  EXPECT_NE(cookieA, 0u);
  EXPECT_NE(cookieA, cookieB);

  DISPPARAMS params = MakeDispParams({VARIANT("x")});
  EXPECT_EQ(source->Point().Fire(259, &params), 2);
  EXPECT_EQ(heard, (std::vector<std::string>{"a:259:x", "b:259:x"}));

  EXPECT_EQ(point->Unadvise(cookieA), S_OK);
  EXPECT_EQ(point->Unadvise(cookieA), CONNECT_E_NOCONNECTION);
  heard.clear();
  EXPECT_EQ(source->Point().Fire(250, &params), 1);
  EXPECT_EQ(heard, (std::vector<std::string>{"b:250:x"}));

  // A sink lacking both the events interface and IDispatch cannot connect.
  ComPtr<Source> notASink = MakeCom<Source>();
  DWORD cookie = 7;
  EXPECT_EQ(point->Advise(notASink->GetUnknown(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
}

TEST(ConnectionPointTest, SinksMayUnadviseDuringAnEvent) {
  ComPtr<Source> source = MakeCom<Source>();
  ConnectionPoint& point = source->Point();
  std::vector<std::string> heard;
  DWORD cookies[3] = {};
  // The first sink unadvises itself and the third; the second advises a newcomer.
  auto first = MakeCom<DispatchSink>([&](DISPID, DISPPARAMS*, VARIANT*) {
    heard.push_back("first");
    point.Unadvise(cookies[0]);
    point.Unadvise(cookies[2]);
    return S_OK;
  });
  auto newcomer = MakeCom<DispatchSink>([&](DISPID, DISPPARAMS*, VARIANT*) {
    heard.push_back("newcomer");
    return S_OK;
  });
  auto second = MakeCom<DispatchSink>([&](DISPID, DISPPARAMS*, VARIANT*) {
    heard.push_back("second");
    DWORD c;
    point.Advise(newcomer->GetUnknown(), &c);
    return S_OK;
  });
  auto third = MakeCom<DispatchSink>([&](DISPID, DISPPARAMS*, VARIANT*) {
    heard.push_back("third");
    return S_OK;
  });
  point.Advise(first->GetUnknown(), &cookies[0]);
  point.Advise(second->GetUnknown(), &cookies[1]);
  point.Advise(third->GetUnknown(), &cookies[2]);
  first = nullptr;  // the connection point holds the only reference while first runs

  EXPECT_EQ(point.Fire(104, nullptr), 2);
  EXPECT_EQ(heard, (std::vector<std::string>{"first", "second"}));
  heard.clear();
  point.Fire(104, nullptr);
  EXPECT_EQ(heard, (std::vector<std::string>{"second", "newcomer"}));
  EXPECT_EQ(point.SinkCount(), 3u);
  point.UnadviseAll();
  EXPECT_EQ(point.SinkCount(), 0u);
}

TEST(ConnectionPointTest, ThrowingSinkDoesNotSilenceTheOthers) {
  ComPtr<Source> source = MakeCom<Source>();
  class Thrower : public ComObject<IDispatch> {
   public:
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(const GUID&, const char* const*, UINT, LCID, DISPID*) override {
      return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID, const GUID&, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                   UINT*) override {
      throw std::runtime_error("sink bug");
    }
  };
  int heard = 0;
  auto thrower = MakeCom<Thrower>();
  auto listener = MakeCom<DispatchSink>([&](DISPID, DISPPARAMS*, VARIANT*) {
    ++heard;
    return S_OK;
  });
  DWORD c1, c2;
  source->Point().Advise(thrower->GetUnknown(), &c1);
  source->Point().Advise(listener->GetUnknown(), &c2);
  EXPECT_THROW(source->Point().Fire(259, nullptr), std::runtime_error);
  EXPECT_EQ(heard, 1);
}

TEST(ConnectionPointTest, SinkAnsweringTheEventsIidIsAccepted) {
  ComPtr<Source> source = MakeCom<Source>();
  auto sink = MakeCom<DispatchSink>([](DISPID, DISPPARAMS*, VARIANT*) { return S_OK; }, kEventsIid);
  ComPtr<IUnknown> events;
  EXPECT_EQ(sink->QueryInterface(kEventsIid, events.put_void()), S_OK);
  DWORD cookie = 0;
  EXPECT_EQ(source->Point().Advise(sink->GetUnknown(), &cookie), S_OK);
  EXPECT_EQ(source->Point().Fire(1, nullptr), 1);
}

}  // namespace
}  // namespace vt::com
