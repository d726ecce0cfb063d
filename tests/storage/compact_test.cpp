// Compaction of the database file: the dialog's figures, the shrunk file with every row, the
// failures it reports, and a kill at any moment of it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "config/myRegistry.h"
#include "platform/ado/jet_engine.h"
#include "platform/widgets/dialogs.h"
#include "storage/CompactDB.h"
#include "storage_fixture.h"

namespace vt::testing {
namespace {

TEST(CompactFormatTest, SizesInKilobytesAndTheReductionInPercent) {
  EXPECT_EQ(FormatDatabaseSize(2048000), " 2,000 KB");
  EXPECT_EQ(FormatDatabaseSize(1024000), " 1,000 KB");
  EXPECT_EQ(FormatSizeReduction(2048000, 1024000), " 50.00 %");
  EXPECT_EQ(FormatDatabaseSize(1234567890), " 1,205,633 KB");
  EXPECT_EQ(FormatDatabaseSize(511), "  KB");  // below one half: no digits
  EXPECT_EQ(FormatDatabaseSize(512), " 1 KB");
  EXPECT_EQ(FormatDatabaseSize(3 * 1024LL * 1024 * 1024), " 3,145,728 KB");  // past 2 GB
  EXPECT_EQ(FormatSizeReduction(4096, 4096), " 0.00 %");
  EXPECT_EQ(FormatSizeReduction(3000, 1000), " 66.67 %");
  EXPECT_EQ(FormatSizeReduction(0, 0), " 0.00 %");
  EXPECT_EQ(CompactCopyPath("/a/b/vellumtrace.mdb"), "/a/b/vellumtrace.$$$");
}

class CompactTest : public StorageTest {
 protected:
  CompactTest() { SetAppDir(app); }
  ~CompactTest() override { SetAppDir(""); }

  std::string db() const { return app + "vellumtrace.mdb"; }
  void AddUrls(int count) {
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
         std::to_string(count) +
         ") INSERT INTO URL (URL, Title, Hits) SELECT 'http://site.example/' || i || '/' || "
         "hex(randomblob(60)), 'Page ' || i, 1 FROM n");
  }
};

TEST_F(CompactTest, DeletingHalfTheRowsThenCompactingShrinksTheFileAndKeepsTheRest) {
  AddUrls(4000);
  Exec("DELETE FROM URL WHERE ID % 2 = 0");
  TmyDOM& s = Open();
  TmyRegistry registry;
  TCompactDB dialog(s, registry);
  dialog.FormActivate();
  const std::int64_t before = FileSizeOf(db());
  EXPECT_EQ(dialog.txt_CurrentSize.Text(), FormatDatabaseSize(before));

  dialog.Button2Click();
  const std::int64_t after = FileSizeOf(db());
  EXPECT_LT(after, before * 3 / 4);
  EXPECT_EQ(dialog.Label4.Caption(), "Database compaction successful.");
  EXPECT_EQ(dialog.txt_NewSize.Text(), FormatDatabaseSize(after));
  EXPECT_EQ(dialog.txt_Reduction.Text(), FormatSizeReduction(before, after));
  EXPECT_TRUE(dialog.Button2.Enabled());
  EXPECT_FALSE(std::filesystem::exists(app + "vellumtrace.$$$"));
  EXPECT_TRUE(boxes.empty());
  // The shared connection and its tables are open again on the new file.
  EXPECT_TRUE(s.Connection->Connected());
  EXPECT_TRUE(s.URL->Active());
  EXPECT_EQ(Sql("SELECT count(*), min(ID), max(ID) FROM URL"), "2000|1|3999\n");
  EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok\n");
}

TEST_F(CompactTest, AFailureIsShownInAWarningBoxAndTheButtonComesBack) {
  TmyDOM& s = Open();
  TmyRegistry registry;
  TCompactDB dialog(s, registry);
  SetAppDir(home + "/nowhere/");
  widgets::ScriptedAnswers answers({});
  dialog.Button2Click();
  EXPECT_EQ(dialog.Label4.Caption(), "Compact Error");
  EXPECT_TRUE(dialog.Button2.Enabled());
  ASSERT_EQ(answers.Shown().size(), 1u);
  EXPECT_EQ(answers.Shown()[0].caption, "Vellumtrace Error");
  EXPECT_EQ(answers.Shown()[0].icon, widgets::MessageIcon::Warning);
  EXPECT_EQ(answers.Shown()[0].text,
            "Cannot open the database file '" + home + "/nowhere/vellumtrace.mdb'.");
}

TEST_F(CompactTest, AFileOpenElsewhereIsNotReplacedAndAnOldCopyIsRemovedFirst) {
  AddUrls(50);
  std::ofstream(app + "vellumtrace.$$$") << "left over by an earlier attempt";
  ado::Connection other;
  other.SetConnectionString("Data Source=" + db());
  other.Open();
  other.Execute("UPDATE URL SET Hits = 7 WHERE ID = 1");
  try {
    CompactDatabaseFile(db());
    FAIL() << "compacted a file another connection has open";
  } catch (const ado::AdoError& e) {
    EXPECT_EQ(e.Kind(), ado::ErrorKind::Locked);
    EXPECT_EQ(std::string(e.what()), "The database file '" + db() +
                                         "' is in use by another process; close it there and "
                                         "compact again.");
  }
  other.Close();
  EXPECT_EQ(Sql("SELECT count(*), sum(Hits) FROM URL"), "50|56\n");
  // The copy stays under its temporary name; the next compaction starts over.
  EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok\n");
  CompactDatabaseFile(db());
  EXPECT_FALSE(std::filesystem::exists(app + "vellumtrace.$$$"));
  EXPECT_EQ(Sql("SELECT count(*), sum(Hits) FROM URL"), "50|56\n");
}

// A writer that dies with committed rows in the log, then a compaction killed at a different
// moment each round: the file under the database's name is always a whole database with every
// committed row, and never the copy read through the old file's log.
TEST_F(CompactTest, AKillAtAnyMomentOfACompactionLeavesAWholeDatabase) {
  AddUrls(3000);
  Exec("DELETE FROM URL WHERE ID % 3 = 0");
  const std::string path = db();
  // The kills are spread over the time one compaction takes here (the quickest of three).
  long long one = 0;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    CompactDatabaseFile(path);
    const long long took = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
    one = i == 0 ? took : std::min(one, took);
  }
  // Rounds killed in the first compaction, and rounds killed after one or more had finished.
  int killed_before_replace = 0, killed_after_replace = 0;
  for (int round = 1; round <= 24; ++round) {
    pid_t writer = fork();
    if (writer == 0) {
      ado::Connection c;
      c.SetConnectionString("Data Source=" + path);
      c.Open();
      c.Execute("UPDATE URL SET Hits = " + std::to_string(round) + " WHERE ID = 1");
      _exit(0);  // no close: the update stays in the log
    }
    waitpid(writer, nullptr, 0);
    ASSERT_TRUE(std::filesystem::exists(path + "-wal"));
    int done[2];
    ASSERT_EQ(pipe(done), 0);
    pid_t compactor = fork();
    if (compactor == 0) {
      close(done[0]);
      try {
        for (;;) {
          CompactDatabaseFile(path);
          if (write(done[1], "x", 1) != 1) _exit(1);
        }
      } catch (const std::exception& e) {
        std::fprintf(stderr, "compaction failed: %s\n", e.what());
        _exit(3);
      }
    }
    close(done[1]);
    // Even rounds: a moment of the first compaction. Odd rounds: a moment of a later one.
    const auto moment = static_cast<useconds_t>(one * ((round * 7) % 12) / 12);
    if (round % 2 == 1) {
      char first;
      ASSERT_EQ(read(done[0], &first, 1), 1);
    }
    ::usleep(moment);
    kill(compactor, SIGKILL);
    int wstatus = 0;
    waitpid(compactor, &wstatus, 0);
    ASSERT_TRUE(WIFSIGNALED(wstatus)) << "the compaction ended by itself in round " << round;
    char mark;
    const bool replaced = round % 2 == 1 || read(done[0], &mark, 1) == 1;
    (replaced ? killed_after_replace : killed_before_replace) += 1;
    close(done[0]);

    ASSERT_EQ(Sql("PRAGMA integrity_check"), "ok\n") << "round " << round;
    ASSERT_EQ(Sql("SELECT count(*), max(ID) FROM URL"), "2000|2999\n") << "round " << round;
    ASSERT_EQ(Sql("SELECT Hits FROM URL WHERE ID = 1"), std::to_string(round) + "\n")
        << "round " << round;
  }
  // The kills fell before and after a replacement.
  EXPECT_GT(killed_before_replace, 0);
  EXPECT_GT(killed_after_replace, 0) << "one compaction takes " << one << " us";
}

}  // namespace
}  // namespace vt::testing
