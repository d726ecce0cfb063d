// `vellumtrace register` and the module's registration as `vellumtrace run` finds it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/clsids.h"
#include "host/registration.h"
#include "platform/registry/registry.h"

namespace vt {
namespace {

using registry::HKEY_CLASSES_ROOT;
using registry::HKEY_CURRENT_USER;
using registry::HKEY_LOCAL_MACHINE;

struct Result {
  int exit_code;
  std::string out;
};

Result RunExe(const std::string& args) {
  std::string cmd = std::string(VT_EXE) + " " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string Module() {
  return std::filesystem::canonical(std::filesystem::path(VT_EXE).parent_path() /
                                    "libvellumtrace.so")
      .string();
}

std::string Clsid(const com::GUID& g) {
  return "CLSID\\" + com::ToString(g);
}

// The default (or named) string value of a key; "<no key>" / "<no value>" when absent.
std::string Value(registry::Hive hive, const std::string& key, const std::string& name = "") {
  auto k = registry::OpenKey(hive, key);
  if (!k) return "<no key>";
  return k->TryReadString(name).value_or("<no value>");
}

class RegisterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto hive : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      for (const char* top : {"CLSID", "Software", "libvellumtrace.OurNSHandler"})
        registry::DeleteKey(hive, top);
    }
  }
};

TEST_F(RegisterTest, RegisterWritesTheKeysOfTheBandTheHandlersAndTheirProgIds) {
  const std::string cache = std::string(kBarCacheKey) + kCatidVerticalBars + "\\Enum";
  registry::CreateKey(HKEY_CURRENT_USER, cache).WriteString("x", "cached");
  const Result r = RunExe("register");
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out.rfind("Registered " + Module() + "\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("the browser helper object: not registered"), std::string::npos);

  const std::string band = Clsid(CLSID_ExplorerBand);
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, band), "&Vellumtrace");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, band + "\\InprocServer32"), Module());
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, band + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_TRUE(registry::KeyExists(HKEY_CLASSES_ROOT,
                                  band + "\\Implemented Categories\\" + kCatidVerticalBars));
  EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, band + "\\ProgID"));
  EXPECT_FALSE(registry::KeyExists(HKEY_CURRENT_USER, cache));

  const std::string ns = Clsid(CLSID_NSHandler);
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ns), "OurNSHandler");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ns + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ns + "\\ProgID"), "libvellumtrace.OurNSHandler");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "libvellumtrace.OurNSHandler"), "OurNSHandler");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "libvellumtrace.OurNSHandler\\Clsid"),
            com::ToString(CLSID_NSHandler));

  const std::string doc = Clsid(CLSID_DocHostUIHandler);
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, doc), "Implements DocHostUIHandler");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, doc + "\\InprocServer32"), Module());
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, doc + "\\InprocServer32", "ThreadingModel"), "<no value>");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, doc + "\\ProgID"), "libvellumtrace.DocHostUIHandler");

  // The helper object's class exists only once a band form was made.
  EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, Clsid(CLSID_IEBrowserHelper)));
}

TEST_F(RegisterTest, UnregisterInAFreshProcessLeavesTheBrowserHelperObject) {
  ASSERT_EQ(RunExe("register").exit_code, 0);
  // As a band form of an earlier run left them.
  registry::CreateKey(HKEY_CLASSES_ROOT, Clsid(CLSID_IEBrowserHelper) + "\\InprocServer32")
      .WriteString("", Module());
  const std::string bho_key = std::string(
                                  "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\"
                                  "Browser Helper Objects\\") +
                              com::ToString(CLSID_IEBrowserHelper);
  registry::CreateKey(HKEY_LOCAL_MACHINE, bho_key);

  const Result r = RunExe("register --unregister");
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out.rfind("Unregistered " + Module() + "\n", 0), 0u) << r.out;
  for (const com::GUID& gone : {CLSID_ExplorerBand, CLSID_NSHandler, CLSID_DocHostUIHandler})
    EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, Clsid(gone))) << com::ToString(gone);
  EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, "libvellumtrace.OurNSHandler"));
  EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, "libvellumtrace.DocHostUIHandler"));
  EXPECT_TRUE(registry::KeyExists(HKEY_CLASSES_ROOT, Clsid(CLSID_IEBrowserHelper)));
  EXPECT_TRUE(registry::KeyExists(HKEY_LOCAL_MACHINE, bho_key));
}

TEST_F(RegisterTest, AModuleThatDoesNotLoadIsReportedWithWhatToDo) {
  const Result missing = RunExe("register /nonexistent/libvellumtrace.so");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.out.find("vellumtrace register: the module '/nonexistent/libvellumtrace.so' "
                             "could not be loaded"),
            std::string::npos)
      << missing.out;

  // A registration that names a file that is no module: `run` says how to mend it.
  const std::string junk = ::testing::TempDir() + "vt-not-a-module.so";
  std::ofstream(junk) << "not a library";
  registry::CreateKey(HKEY_CLASSES_ROOT, Clsid(CLSID_ExplorerBand) + "\\InprocServer32")
      .WriteString("", junk);
  const Result run = RunExe("run --no-open");
  EXPECT_EQ(run.exit_code, 1) << run.out;
  EXPECT_NE(
      run.out.find("vellumtrace run: the band module registered as '" + junk + "' does not load"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("run 'vellumtrace register' to register the module beside the program"),
            std::string::npos);
  std::filesystem::remove(junk);
}

// `vellumtrace filter` answers from the private host of the band module it loads through the
// registration, as `run` does, and registers the module first on a fresh home.
TEST_F(RegisterTest, FilterServesItsViewFromTheRegisteredModuleOrSaysWhatToDo) {
  const std::string page = ::testing::TempDir() + "vt-filter-page.html";
  std::ofstream(page) << "<html><body><table><tr><td>Cell one</td></tr></table></body></html>";
  const Result fresh = RunExe("filter " + page + " 2");
  ASSERT_EQ(fresh.exit_code, 0) << fresh.out;
  EXPECT_NE(fresh.out.find("vellumtrace filter: registered the band module " + Module() + "\n"),
            std::string::npos)
      << fresh.out;
  EXPECT_NE(fresh.out.find("<HTML>"), std::string::npos) << fresh.out;
  EXPECT_NE(fresh.out.find("Cell one"), std::string::npos) << fresh.out;
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, Clsid(CLSID_ExplorerBand) + "\\InprocServer32"), Module());

  // Registered already: nothing is registered again.
  const Result again = RunExe("filter " + page + " 2");
  ASSERT_EQ(again.exit_code, 0) << again.out;
  EXPECT_EQ(again.out.find("registered the band module"), std::string::npos) << again.out;

  const std::string junk = ::testing::TempDir() + "vt-filter-not-a-module.so";
  std::ofstream(junk) << "not a library";
  registry::CreateKey(HKEY_CLASSES_ROOT, Clsid(CLSID_ExplorerBand) + "\\InprocServer32")
      .WriteString("", junk);
  const Result broken = RunExe("filter " + page + " 2");
  EXPECT_EQ(broken.exit_code, 1) << broken.out;
  EXPECT_NE(broken.out.find("vellumtrace filter: the band module registered as '" + junk +
                            "' does not load"),
            std::string::npos)
      << broken.out;
  EXPECT_EQ(broken.out.find("<HTML>"), std::string::npos) << broken.out;
  std::filesystem::remove(junk);
  std::filesystem::remove(page);
}

}  // namespace
}  // namespace vt
