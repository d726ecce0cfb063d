#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "ado_test_db.h"

namespace vt::ado {
namespace {

using testing::TempDatabase;

TEST(ConnectionStringTest, ReadsTheDataSourceAmongQuotedItems) {
  const std::string s =
      "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=/home/u/v t/vellumtrace.mdb;"
      "Mode=ReadWrite;Extended Properties=\"\";Jet OLEDB:System database=\"\";Jet OLEDB:Database "
      "Password=\"a;b\"\"c\";Jet OLEDB:SFP=False";
  EXPECT_EQ(ConnectionStringValue(s, "data source"), "/home/u/v t/vellumtrace.mdb");
  EXPECT_EQ(ConnectionStringValue(s, "Jet OLEDB:Database Password"), "a;b\"c");
  EXPECT_EQ(ConnectionStringValue(s, "Extended Properties"), "");
  EXPECT_EQ(ConnectionStringValue(s, "Jet OLEDB:SFP"), "False");
  EXPECT_EQ(ConnectionStringValue(s, "Missing"), "");
}

TEST(ConnectionTest, AMissingFileIsNotCreated) {
  Connection c;
  c.SetConnectionString("Data Source=/tmp/vt-no-such-folder/vellumtrace.mdb;");
  try {
    c.Open();
    FAIL();
  } catch (const AdoError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::NotFound);
    EXPECT_STREQ(e.what(),
                 "Cannot open the database file '/tmp/vt-no-such-folder/vellumtrace.mdb'.");
  }
  EXPECT_FALSE(c.Connected());
  EXPECT_FALSE(std::filesystem::exists("/tmp/vt-no-such-folder"));
}

TEST(ConnectionTest, ADamagedFileGivesAClearError) {
  TempDatabase db("CREATE TABLE T (ID INTEGER PRIMARY KEY, V TEXT)");
  db.conn.Close();
  const std::string junk = db.dir() + "/junk.mdb";
  std::ofstream(junk) << std::string(8192, 'x');
  Connection c;
  c.SetConnectionString("Data Source=" + junk);
  try {
    c.Open();
    FAIL();
  } catch (const AdoError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::Damaged);
    EXPECT_EQ(std::string(e.what()),
              "The database file '" + junk + "' is damaged or is not a database.");
  }
  EXPECT_FALSE(c.Connected());
}

// Another process opens the file and holds an exclusive lock until it is killed.
pid_t HoldExclusiveLock(const std::string& path) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                 "UPDATE T SET V = V; ",
                 nullptr, nullptr, nullptr);
    (void)!write(ready[1], "x", 1);
    pause();
    _exit(0);
  }
  char c;
  (void)!read(ready[0], &c, 1);
  close(ready[0]);
  close(ready[1]);
  return pid;
}

TEST(ConnectionTest, AFileLockedByAnotherProcessGivesAClearError) {
  TempDatabase db(
      "CREATE TABLE T (ID INTEGER PRIMARY KEY, V TEXT); INSERT INTO T (V) VALUES ('a')");
  db.conn.Close();
  pid_t holder = HoldExclusiveLock(db.path());
  ASSERT_GT(holder, 0);
  Connection c;
  c.SetBusyTimeout(100);
  c.SetConnectionString("Data Source=" + db.path());
  try {
    c.Open();
    c.Execute("UPDATE T SET V = 'b'");
    FAIL();
  } catch (const AdoError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::Locked);
    EXPECT_EQ(std::string(e.what()), "The database file '" + db.path() +
                                         "' is locked by another process; try again later.");
  }
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  c.Close();
  c.Open();
  EXPECT_EQ(c.Execute("UPDATE T SET V = 'b'"), 1);
}

TEST(ConnectionTest, ClosingClosesItsDataSetsAndReopenWorks) {
  TempDatabase db("CREATE TABLE T (ID INTEGER PRIMARY KEY AUTOINCREMENT, V TEXT)");
  Table t("T", &db.conn);
  Query q(&db.conn);
  t.Open();
  q.SetCommandText("SELECT * FROM T");
  q.Open();
  db.conn.Close();
  EXPECT_FALSE(t.Active());
  EXPECT_FALSE(q.Active());
  EXPECT_THROW(db.conn.Execute("SELECT 1"), AdoError);
  db.conn.Open();
  t.Open();
  EXPECT_TRUE(t.IsEmpty());
}

}  // namespace
}  // namespace vt::ado
