#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/com/classfactory.h"
#include "platform/registry/registry.h"
#include "test_server.h"

namespace vt::com {
namespace {

using testing::ICounter;
using testing::kCounterClsid;

constexpr GUID kLocalClsid = MakeGuid("{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}");
constexpr GUID kUnknownClsid = MakeGuid("{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1FF}");

class LocalCounter : public ComObject<ICounter> {
 public:
  explicit LocalCounter(int start) : value_(start) {}
  int Increment() override { return ++value_; }
  long LibraryObjectCount() override { return ModuleObjectCount(); }

 private:
  int value_;
};

// Registers the test class in HKEY_CLASSES_ROOT under `path` (none: no registration) for the
// life of the object.
class Registration {
 public:
  explicit Registration(std::optional<std::string> path) {
    if (!std::getenv("VELLUMTRACE_HOME")) {  // run outside ctest: never touch the user's hive
      static const std::string home =
          std::filesystem::temp_directory_path() / ("vt-com-test-" + std::to_string(::getpid()));
      ::setenv("VELLUMTRACE_HOME", home.c_str(), 1);
    }
    registry::DeleteKey(registry::HKEY_CLASSES_ROOT, kKey);
    if (path) {
      registry::CreateKey(registry::HKEY_CLASSES_ROOT, kKey + "\\InprocServer32")
          .WriteString("", *path);
    }
  }
  ~Registration() { registry::DeleteKey(registry::HKEY_CLASSES_ROOT, kKey); }

 private:
  const std::string kKey = "CLSID\\" + ToString(kCounterClsid);
};

TEST(ActivationTest, FactoryRegisteredInTheProcessCreatesObjects) {
  ComPtr<ClassFactory<LocalCounter>> first = MakeCom<ClassFactory<LocalCounter>>(
      [] { return ComPtr<IUnknown>(MakeCom<LocalCounter>(10)->GetUnknown()); });
  ComPtr<ClassFactory<LocalCounter>> second = MakeCom<ClassFactory<LocalCounter>>(
      [] { return ComPtr<IUnknown>(MakeCom<LocalCounter>(100)->GetUnknown()); });
  DWORD firstCookie = 0, secondCookie = 0;
  ASSERT_EQ(CoRegisterClassObject(kLocalClsid, first.get(), CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &firstCookie),
            S_OK);

  // Each CreateInstance makes a new object.
  ComPtr<ICounter> a = CoCreate<ICounter>(kLocalClsid);
  ComPtr<ICounter> b = CoCreate<ICounter>(kLocalClsid);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(a->Increment(), 11);
  EXPECT_EQ(a->Increment(), 12);
  EXPECT_EQ(b->Increment(), 11);

  // A later registration shadows the earlier one until it is revoked.
  ASSERT_EQ(CoRegisterClassObject(kLocalClsid, second.get(), CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &secondCookie),
            S_OK);
  EXPECT_NE(firstCookie, secondCookie);
  EXPECT_EQ(CoCreate<ICounter>(kLocalClsid)->Increment(), 101);
  EXPECT_EQ(CoRevokeClassObject(secondCookie), S_OK);
  EXPECT_EQ(CoRevokeClassObject(secondCookie), CO_E_OBJNOTREG);
  EXPECT_EQ(CoCreate<ICounter>(kLocalClsid)->Increment(), 11);

  // Aggregation is refused; an interface the object lacks is E_NOINTERFACE.
  void* out = nullptr;
  ComPtr<IUnknown> outer(a.get());
  EXPECT_EQ(CoCreateInstance(kLocalClsid, outer.get(), CLSCTX_INPROC_SERVER, ICounter::kIid, &out),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(kLocalClsid, nullptr, CLSCTX_INPROC_SERVER, IClassFactory::kIid, &out),
            E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  // Only the class object itself answers IClassFactory.
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(CoGetClassObject(kLocalClsid, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, nullptr,
                             IClassFactory::kIid, factory.put_void()),
            S_OK);
  EXPECT_EQ(factory.get(), static_cast<IClassFactory*>(first.get()));

  EXPECT_EQ(CoRevokeClassObject(firstCookie), S_OK);
  EXPECT_EQ(CoGetClassObject(kLocalClsid, CLSCTX_LOCAL_SERVER, nullptr, IClassFactory::kIid,
                             factory.put_void()),
            REGDB_E_CLASSNOTREG);
}

TEST(ActivationTest, LockServerKeepsTheModuleLoaded) {
  ComPtr<ClassFactory<LocalCounter>> factory = MakeCom<ClassFactory<LocalCounter>>(
      [] { return ComPtr<IUnknown>(MakeCom<LocalCounter>(0)->GetUnknown()); });
  ASSERT_EQ(ModuleCanUnloadNow(), S_OK);  // factories themselves do not count
  factory->LockServer(TRUE);
  EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
}

TEST(ActivationTest, RegisteredLibraryIsLoadedAndAskedForItsClassObject) {
  Registration registration(std::string(VT_TEST_COM_SERVER));
  ComPtr<ICounter> counter;
  ASSERT_EQ(CoCreateInstance(kCounterClsid, nullptr, CLSCTX_INPROC_SERVER, ICounter::kIid,
                             counter.put_void()),
            S_OK)
      << CoLastErrorDetail();
  EXPECT_EQ(counter->Increment(), 1);
  EXPECT_EQ(counter->LibraryObjectCount(), 1);
  ComPtr<ICounter> other = CoCreate<ICounter>(kCounterClsid);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->Increment(), 1);
  EXPECT_EQ(counter->LibraryObjectCount(), 2);
  other = nullptr;
  EXPECT_EQ(counter->LibraryObjectCount(), 1);
}

TEST(ActivationTest, ActivationFailuresAreReportedWithTheirCause) {
  {
    Registration registration(std::nullopt);
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(kUnknownClsid, nullptr, CLSCTX_INPROC_SERVER, ICounter::kIid, &out),
              REGDB_E_CLASSNOTREG);
  }
  {
    Registration registration(std::string(VT_TEST_BINARY_DIR) + "/no-such-library.so");
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(kCounterClsid, nullptr, CLSCTX_INPROC_SERVER, ICounter::kIid, &out),
              CO_E_DLLNOTFOUND);
    EXPECT_NE(CoLastErrorDetail().find("no-such-library.so"), std::string::npos);
  }
  {
    Registration registration(std::string("libm.so.6"));  // loads, but is no COM server
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(kCounterClsid, nullptr, CLSCTX_INPROC_SERVER, ICounter::kIid, &out),
              CO_E_ERRORINDLL);
    EXPECT_EQ(out, nullptr);
  }
}

TEST(ActivationTest, InitializationSucceedsAndNests) {
  EXPECT_EQ(OleInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  OleUninitialize();
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

}  // namespace
}  // namespace vt::com
