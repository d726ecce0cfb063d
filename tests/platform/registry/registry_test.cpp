#include "platform/registry/registry.h"

#include "scoped_env.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

namespace vt::registry {
namespace {

namespace fs = std::filesystem;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vt-registry-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  static std::string ReadFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path folder_;
};

TEST_F(RegistryTest, NamesIgnoreLetterCaseAndKeepTheirOwn) {
  Store store(folder_);
  Key settings = store.CreateKey(HKEY_CURRENT_USER, "\\SOFTWARE\\Vellumtrace\\Settings");
  EXPECT_EQ(settings.FullName(), "HKEY_CURRENT_USER\\SOFTWARE\\Vellumtrace\\Settings");
  settings.WriteDword("SplitRatio1", 40);
  settings.WriteDword("SPLITRATIO1", 60);  // the same value
  settings.WriteString("Ärger", "x");
  settings.WriteString("ärger", "y");
  EXPECT_EQ(settings.ValueNames(), (std::vector<std::string>{"SplitRatio1", "Ärger"}));
  EXPECT_EQ(settings.ReadDword("splitratio1"), 60u);
  EXPECT_EQ(settings.ReadString("ÄRGER"), "y");

  auto same = store.OpenKey(HKEY_CURRENT_USER, "software\\VELLUMTRACE\\settings\\");
  ASSERT_TRUE(same);
  EXPECT_EQ(same->ReadDword("SplitRatio1"), 60u);
  EXPECT_EQ(store.OpenKey(HKEY_CURRENT_USER, "Software")->SubKeyNames(),
            std::vector<std::string>{"Vellumtrace"});
  store.CreateKey(HKEY_CURRENT_USER, "SOFTWARE\\vellumtrace\\History1");
  EXPECT_EQ(store.OpenKey(HKEY_CURRENT_USER, "Software\\Vellumtrace")->SubKeyNames(),
            (std::vector<std::string>{"History1", "Settings"}));

  // Hives are separate.
  EXPECT_FALSE(store.KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vellumtrace"));
}

TEST_F(RegistryTest, TypesAreKeptAndCheckedOnRead) {
  Store store(folder_);
  Key key = store.CreateKey(HKEY_CURRENT_USER, "Types");
  key.WriteString("", "default value");
  key.WriteDword("Dword", 0xFFFFFFFFu);
  key.WriteQword("Qword", 0x1122334455667788ull);
  key.WriteBinary("BarSize", std::string("\x3c\0\0\0\0\0\0\0", 8));
  key.WriteString("Latin1", std::string("caf\xe9"));  // not UTF-8: kept byte for byte

  Store reread(folder_);
  Key again = *reread.OpenKey(HKEY_CURRENT_USER, "types");
  EXPECT_EQ(again.ReadString(""), "default value");
  EXPECT_EQ(again.ReadDword("dword"), 0xFFFFFFFFu);
  EXPECT_EQ(again.ReadQword("QWORD"), 0x1122334455667788ull);
  EXPECT_EQ(again.ReadBinary("BarSize"), std::string("\x3c\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(again.ReadString("Latin1"), std::string("caf\xe9"));
  EXPECT_EQ(again.TypeOf("BarSize"), REG_BINARY);

  EXPECT_EQ(again.TryReadString("missing"), std::nullopt);
  try {
    again.ReadDword("");
    FAIL() << "a string read as a DWORD";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Value (default) of HKEY_CURRENT_USER\\Types is REG_SZ, not REG_DWORD");
  }
  try {
    again.TryReadString("Dword");
    FAIL() << "a DWORD read as a string";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Value \"Dword\" of HKEY_CURRENT_USER\\Types is REG_DWORD, not REG_SZ");
  }
  EXPECT_THROW(again.ReadString("missing"), RegistryError);
}

TEST_F(RegistryTest, KeysAndValuesAreDeleted) {
  Store store(folder_);
  Key root = store.CreateKey(HKEY_CLASSES_ROOT, "CLSID\\{X}");
  root.CreateSubKey("InprocServer32").WriteString("", "/lib/x.so");
  root.CreateSubKey("Implemented Categories\\{Y}");
  root.WriteString("A", "1");
  EXPECT_FALSE(store.OpenKey(HKEY_CLASSES_ROOT, "CLSID\\{X}\\nothing"));
  EXPECT_TRUE(root.DeleteValue("a"));
  EXPECT_FALSE(root.DeleteValue("a"));
  EXPECT_TRUE(root.ValueNames().empty());

  EXPECT_TRUE(store.DeleteKey(HKEY_CLASSES_ROOT, "clsid\\{x}"));  // with everything below it
  EXPECT_FALSE(store.DeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{X}"));
  EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32"));
  EXPECT_TRUE(store.KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
  EXPECT_THROW(root.WriteString("A", "1"), RegistryError);  // the key is gone
  EXPECT_THROW(store.DeleteKey(HKEY_CLASSES_ROOT, ""), RegistryError);

  Store reread(folder_);
  EXPECT_FALSE(reread.KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{X}"));
}

TEST_F(RegistryTest, AnotherProcessesChangesAreSeenAndNotLost) {
  // Two stores on one folder behave as two processes do.
  Store first(folder_);
  Store second(folder_);
  Key a = first.CreateKey(HKEY_CURRENT_USER, "Shared");
  a.WriteString("FromFirst", "1");
  Key b = *second.OpenKey(HKEY_CURRENT_USER, "Shared");
  EXPECT_EQ(b.ReadString("FromFirst"), "1");
  b.WriteString("FromSecond", "2");
  a.WriteString("FromFirst", "3");  // written on top of the second store's change
  EXPECT_EQ(b.ReadString("FromFirst"), "3");
  EXPECT_EQ(a.ReadString("FromSecond"), "2");
  second.DeleteKey(HKEY_CURRENT_USER, "Shared");
  EXPECT_FALSE(a.Exists());
}

TEST_F(RegistryTest, ConcurrentWritersInTwoProcessesLoseNothing) {
  Store(folder_).CreateKey(HKEY_CURRENT_USER, "Shared");
  std::vector<pid_t> children;
  for (const char* prefix : {"a", "b"}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int code = 0;
      try {
        Store writer(folder_);
        Key key = *writer.OpenKey(HKEY_CURRENT_USER, "Shared");
        for (int i = 0; i < 15; ++i) key.WriteDword(prefix + std::to_string(i), i);
      } catch (...) {
        code = 1;
      }
      ::_exit(code);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Store reader(folder_);
  EXPECT_EQ(reader.OpenKey(HKEY_CURRENT_USER, "Shared")->ValueNames().size(), 30u);
}

TEST_F(RegistryTest, KillDuringABurstOfWritesLeavesAConsistentFile) {
  Store store(folder_);
  store.CreateKey(HKEY_CURRENT_USER, "Burst");
  const fs::path file = store.HiveFile(HKEY_CURRENT_USER);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Each step adds Item<i>, then sets Seq to i: any state on disk is a prefix of the steps.
    try {
      Store writer(folder_);
      Key key = *writer.OpenKey(HKEY_CURRENT_USER, "Burst");
      for (std::uint32_t i = 1;; ++i) {
        key.WriteDword("Item" + std::to_string(i), i);
        key.WriteDword("Seq", i);
      }
    } catch (...) {
      ::_exit(1);
    }
  }
  struct Reaper {
    pid_t pid;
    ~Reaper() {
      if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
    }
  } reaper{child};
  // Let the child get well into its burst, then kill it mid-write.
  for (int i = 0; i < 400; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Store reader(folder_);
    auto key = reader.OpenKey(HKEY_CURRENT_USER, "Burst");
    if (key && key->TryReadDword("Seq").value_or(0) >= 20) break;
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  reaper.pid = 0;
  ASSERT_TRUE(WIFSIGNALED(status));

  Store after(folder_);
  Key key = *after.OpenKey(HKEY_CURRENT_USER, "Burst");  // parses: no damage reported
  const std::uint32_t seq = key.ReadDword("Seq");
  EXPECT_GE(seq, 20u);
  const std::size_t items = key.ValueNames().size() - 1;
  EXPECT_TRUE(items == seq || items == seq + 1) << "seq " << seq << ", items " << items;
  for (std::uint32_t i = 1; i <= seq; ++i) {
    ASSERT_EQ(key.TryReadDword("Item" + std::to_string(i)), i);
  }
  // The store writes on after the kill (the dead writer's lock and temporary file are no bar).
  key.WriteDword("Seq", 0);
  EXPECT_EQ(Store(folder_).OpenKey(HKEY_CURRENT_USER, "Burst")->ReadDword("Seq"), 0u);
  EXPECT_NE(ReadFile(file).find("\"Seq\""), std::string::npos);
}

TEST_F(RegistryTest, BatchWritesOnceAtCommitAndDropsWhatItDidNotCommit) {
  Store store(folder_);
  Store other(folder_);
  Key history = store.CreateKey(HKEY_CURRENT_USER, "Software\\Vellumtrace\\History1");
  {
    Batch batch(store);
    store.DeleteKey(HKEY_CURRENT_USER, "Software\\Vellumtrace\\History1");
    Key fresh = store.CreateKey(HKEY_CURRENT_USER, "Software\\Vellumtrace\\History1");
    for (int i = 0; i < 20; ++i) fresh.WriteString("entry " + std::to_string(i), "");
    {
      Batch inner(store);
      store.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Other").WriteDword("n", 1);
      inner.Commit();  // the outer batch writes
    }
    EXPECT_EQ(fresh.ValueNames().size(), 20u);  // this store sees its own changes
    EXPECT_TRUE(
        other.OpenKey(HKEY_CURRENT_USER, "Software\\Vellumtrace\\History1")->ValueNames().empty());
    EXPECT_FALSE(other.KeyExists(HKEY_LOCAL_MACHINE, "Software\\Other"));
    batch.Commit();
  }
  EXPECT_EQ(
      other.OpenKey(HKEY_CURRENT_USER, "Software\\Vellumtrace\\History1")->ValueNames().size(),
      20u);
  EXPECT_TRUE(other.KeyExists(HKEY_LOCAL_MACHINE, "Software\\Other"));

  // An exception inside a batch: nothing of it reaches the file or stays in memory.
  try {
    Batch batch(store);
    history.WriteString("entry 0", "changed");
    throw std::runtime_error("failure in the middle");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(history.ReadString("entry 0"), "");
  EXPECT_EQ(
      other.OpenKey(HKEY_CURRENT_USER, "Software\\Vellumtrace\\History1")->ReadString("entry 0"),
      "");

  // A dropped inner batch makes the outer commit fail instead of writing half the changes.
  Batch outer(store);
  history.WriteString("entry 1", "outer");
  {
    Batch inner(store);
    history.WriteString("entry 2", "inner");
  }
  EXPECT_THROW(outer.Commit(), RegistryError);
  EXPECT_EQ(history.ReadString("entry 1"), "");
}

TEST_F(RegistryTest, ObserversHearOfEveryWrittenChangeOnceAndMayReadTheStore) {
  Store store(folder_);
  std::vector<std::string> heard;
  const int id = store.AddChangeObserver([&](Hive hive) {
    // The store is unlocked: reading it here must not deadlock.
    auto key = store.OpenKey(HKEY_LOCAL_MACHINE, "Buttons");
    heard.push_back(HiveName(hive) + (key ? " " + key->TryReadString("Text").value_or("-") : ""));
  });
  Key buttons = store.CreateKey(HKEY_LOCAL_MACHINE, "Buttons");
  buttons.WriteString("Text", "one");
  buttons.WriteString("Text", "one");  // unchanged: nothing written, nothing told
  {
    Batch batch(store);
    buttons.WriteString("Text", "two");
    store.CreateKey(HKEY_CURRENT_USER, "Settings").WriteDword("A", 1);
    store.CreateKey(HKEY_CURRENT_USER, "Settings").WriteDword("B", 2);
    EXPECT_EQ(heard.size(), 2u);  // nothing before the commit
    batch.Commit();
  }
  {
    Batch dropped(store);
    buttons.WriteString("Text", "three");
  }
  EXPECT_EQ(heard, (std::vector<std::string>{"HKEY_LOCAL_MACHINE -", "HKEY_LOCAL_MACHINE one",
                                             "HKEY_CURRENT_USER two", "HKEY_LOCAL_MACHINE two"}));
  store.RemoveChangeObserver(id);
  buttons.DeleteValue("Text");
  EXPECT_EQ(heard.size(), 4u);
}

TEST_F(RegistryTest, DamagedFileIsReportedAndKeptAside) {
  fs::create_directories(folder_);
  const fs::path file = folder_ / "HKCU.json";
  {
    std::ofstream out(file);
    out << "{\"root\": {\"values\": [ {\"name\": \"AppDir\", \"type\": \"REG_SZ\", \"da";
  }
  Store store(folder_);
  std::string message;
  try {
    store.OpenKey(HKEY_CURRENT_USER, "SOFTWARE");
  } catch (const RegistryError& e) {
    message = e.what();
  }
  EXPECT_NE(message.find("The registry file " + file.string() + " is damaged"), std::string::npos)
      << message;
  EXPECT_NE(message.find("HKEY_CURRENT_USER starts empty"), std::string::npos) << message;

  // The damaged file is kept under a new name that the message gives, and not overwritten.
  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    if (entry.path().filename().string().rfind("HKCU.json.damaged-", 0) == 0) {
      aside.push_back(entry.path());
    }
  }
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_NE(message.find(aside[0].string()), std::string::npos);
  EXPECT_NE(ReadFile(aside[0]).find("AppDir"), std::string::npos);
  EXPECT_FALSE(fs::exists(file));

  // Work goes on with an empty hive; a new file is written beside the kept one.
  store.CreateKey(HKEY_CURRENT_USER, "SOFTWARE\\Vellumtrace").WriteString("AppDir", "/a/");
  EXPECT_EQ(
      Store(folder_).OpenKey(HKEY_CURRENT_USER, "software\\vellumtrace")->ReadString("appdir"),
      "/a/");
  EXPECT_NE(ReadFile(aside[0]).find("\"da"), std::string::npos);

  // A file whose JSON is valid but not a hive is damaged too.
  {
    std::ofstream out(folder_ / "HKLM.json");
    out << "[1, 2, 3]";
  }
  EXPECT_THROW(Store(folder_).KeyExists(HKEY_LOCAL_MACHINE, "X"), RegistryError);
}

using vt::testing::ScopedEnv;

TEST(RegistryFolderTest, FolderComesFromTheEnvironment) {
  {
    ScopedEnv env({{"VELLUMTRACE_HOME", "/tmp/vt-home"}, {"XDG_CONFIG_HOME", "/tmp/xdg"}});
    EXPECT_EQ(DefaultFolder(), fs::path("/tmp/vt-home"));
  }
  {
    ScopedEnv env({{"VELLUMTRACE_HOME", nullptr}, {"XDG_CONFIG_HOME", "/tmp/xdg"}});
    EXPECT_EQ(DefaultFolder(), fs::path("/tmp/xdg/vellumtrace"));
  }
  {
    ScopedEnv env({{"VELLUMTRACE_HOME", ""}, {"XDG_CONFIG_HOME", nullptr}, {"HOME", "/home/u"}});
    EXPECT_EQ(DefaultFolder(), fs::path("/home/u/.config/vellumtrace"));
  }
}

}  // namespace
}  // namespace vt::registry
