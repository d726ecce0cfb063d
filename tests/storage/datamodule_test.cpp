#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <fstream>

#include "storage/urlRecords.h"
#include "storage_fixture.h"

namespace vt {
namespace {

using testing::StorageTest;

std::vector<bool> Opened(TDataModule1& m) {
  return {m.SNIPPETS.Active(), m.URL.Active(),        m.WORDS.Active(), m.DICTIONARY.Active(),
          m.KEYWORDS.Active(), m.HIGHLIGHTS.Active(), m.FILTER.Active()};
}

TEST_F(StorageTest, OpeningTwiceLeavesTheFiveTablesOpenAndTheConnectionConnected) {
  TmyDOM& s = Open();
  OpenDatabase(s, app);
  EXPECT_TRUE(module->ADOConnection.Connected());
  EXPECT_EQ(Opened(*module), (std::vector<bool>{true, true, true, true, true, false, false}));
  EXPECT_EQ(s.SnippetSource, &module->DS_Snippets);
  EXPECT_EQ(module->DS_Snippets.GetDataSet(), &module->SNIPPETS);
  EXPECT_EQ(module->ADOConnection.DatabasePath(), app + "vellumtrace.mdb");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Status(), "");
}

TEST_F(StorageTest, AMissingFileIsToldOnceAndLeavesEverythingClosed) {
  std::filesystem::remove(app + "vellumtrace.mdb");
  TmyDOM& s = Open();
  EXPECT_EQ(boxes, (std::vector<std::string>{
                       "Vellumtrace Error: Database file not found. Please select correct "
                       "program folder in the settings window."}));
  EXPECT_FALSE(module->ADOConnection.Connected());
  EXPECT_EQ(Opened(*module), std::vector<bool>(7, false));
  UpdateVisit(s, "http://example.com/", "Example");
  EXPECT_EQ(RecordUrl(s, "http://example.com/"), 0);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(LookupUrl(s, "http://example.com/"));
  EXPECT_EQ(GetSelectedNode(s, "http://example.com/"), -1);
}

TEST_F(StorageTest, AFolderWithoutItsFinalSlashDoesNotFindTheFile) {
  Open(home + "/app");
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(module->ADOConnection.Connected());
}

TEST_F(StorageTest, AFailingStatementAnswersZeroAndShowsItself) {
  TmyDOM& s = Open();
  const std::string sql = "Update NOWHERE Set Name = 'x' WHERE ID = 1";
  EXPECT_EQ(ExecuteSQL(s, sql), 0);
  EXPECT_EQ(Status(), "ExecuteSQL sql=" + sql + " ERROR : No such table: NOWHERE.");
  Exec("INSERT INTO SNIPPETS (Name) VALUES ('a'), ('b')");
  EXPECT_EQ(
      ExecuteSQL(s, "Update SNIPPETS Set Name = " + QuotedSql("Bob's 'best'") + " WHERE ID = 2"),
      1);
  EXPECT_EQ(Sql("SELECT Name FROM SNIPPETS ORDER BY ID"), "a\nBob's 'best'\n");
  // A long name is cut to the column's 50 characters, not refused.
  EXPECT_EQ(ExecuteSQL(s, "Update SNIPPETS Set Name = '" + std::string(60, 'n') + "'"), 2);
  EXPECT_EQ(Sql("SELECT DISTINCT length(Name) FROM SNIPPETS"), "50\n");
}

TEST_F(StorageTest, ADamagedFileIsReportedWithItsTag) {
  std::ofstream(app + "vellumtrace.mdb", std::ios::trunc) << std::string(5000, '#');
  Open();
  EXPECT_EQ(Status(), "OpenDatabase ERROR : The database file '" + app +
                          "vellumtrace.mdb' is damaged or is not a database.");
  EXPECT_EQ(Opened(*module), std::vector<bool>(7, false));
}

TEST_F(StorageTest, AFileLockedByAnotherProcessIsReportedWithItsTag) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const std::string path = app + "vellumtrace.mdb";
  pid_t holder = fork();
  if (holder == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM WORDS;", nullptr,
                 nullptr, nullptr);
    (void)!write(ready[1], "x", 1);
    pause();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  session = std::make_unique<TmyDOM>();
  session->StatusBar = &status_bar;
  module = std::make_unique<TDataModule1>();
  module->ADOConnection.SetBusyTimeout(50);
  AttachDataModule(*session, *module);
  OpenDatabase(*session, app);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_EQ(Status(), "OpenDatabase ERROR : The database file '" + path +
                          "' is locked by another process; try again later.");
  EXPECT_EQ(RecordUrl(*session, "http://example.com/"), 0);
  OpenDatabase(*session, app);  // the lock is gone
  EXPECT_EQ(Opened(*module), (std::vector<bool>{true, true, true, true, true, false, false}));
}

// A process killed in the middle of a burst of visits keeps every visit it had committed.
TEST_F(StorageTest, VisitsCommittedBeforeAKillSurviveIt) {
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  pid_t child = fork();
  if (child == 0) {
    close(pipefd[0]);
    TmyDOM s;
    TDataModule1 m;
    AttachDataModule(s, m);
    SetStorageMessageBox([](const std::string&, const std::string&) {});
    OpenDatabase(s, app);
    for (int i = 0;; ++i) {
      UpdateVisit(s, "http://site.example/page" + std::to_string(i), "Page " + std::to_string(i));
      if (write(pipefd[1], &i, sizeof i) != sizeof i) _exit(1);
    }
  }
  close(pipefd[1]);
  int last = -1, got = 0;
  while (got < 150 && read(pipefd[0], &last, sizeof last) == sizeof last) ++got;
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(pipefd[0]);
  ASSERT_EQ(got, 150);
  EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok\n");
  EXPECT_EQ(Sql("SELECT count(*) FROM URL WHERE Hits = 1 AND ID <= " + std::to_string(last + 1)),
            std::to_string(last + 1) + "\n");
  EXPECT_EQ(
      Sql("SELECT URL, Title, Hits FROM URL WHERE ID = " + std::to_string(last + 1)),
      "http://site.example/page" + std::to_string(last) + "|Page " + std::to_string(last) + "|1\n");
}

}  // namespace
}  // namespace vt
