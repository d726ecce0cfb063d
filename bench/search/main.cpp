// Times the Search tab's questions against a browsing history of years, through the band's own
// code (the WORDS table object, the page session's Query, the result data sets and the grid), and
// the same questions put to an SQLite FTS5 index of the same pages and words, in the same run.
//
//   bench_search [--pages N] [--words N] [--pairs N] [--rounds N] [--keep DIR] [--wall]
//
// Defaults: 100,000 pages, 1,000,000 words, 10,000,000 page-word pairs, the frequent word on
// every 10th page. Building the two databases takes most of the run.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/myDOM.h"
#include "corpus.h"
#include "platform/ado/ado.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/indicators.h"
#include "search/SearchQueries.h"
#include "storage/datamodule.h"
#include "storage/install.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using vt::ado::Variant;

namespace {

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Processor time of this thread. On a machine shared with other work the wall clock mostly
// measures the wait for a free core; --wall measures the wall clock instead.
bool g_wall = false;
double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Figures {
  double median = 0, p99 = 0, max = 0;
  size_t rows = 0;  // rows of the last answer
};

// Runs `question` once per text and summarises the times.
Figures Time(const std::vector<std::string>& texts,
             const std::function<size_t(const std::string&)>& question) {
  std::vector<double> ms;
  Figures f;
  for (const std::string& t : texts) {
    const double t0 = g_wall ? Ms(Clock::now().time_since_epoch()) : ThreadCpuMs();
    f.rows = question(t);
    ms.push_back((g_wall ? Ms(Clock::now().time_since_epoch()) : ThreadCpuMs()) - t0);
  }
  std::sort(ms.begin(), ms.end());
  f.median = ms[ms.size() / 2];
  f.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
  f.max = ms.back();
  return f;
}

void Row(const char* question, const Figures& ours, const Figures& peer, double aim_ms) {
  std::printf("%-34s %9.3f %9.3f %7zu | %9.3f %9.3f %7zu | %7.2f  %s\n", question, ours.median,
              ours.p99, ours.rows, peer.median, peer.p99, peer.rows,
              peer.median > 0 ? ours.median / peer.median : 0.0,
              aim_ms <= 0 ? "" : (ours.p99 < aim_ms ? "within aim" : "OVER aim"));
}

size_t Rows(vt::ado::Statement& st, const std::vector<Variant>& params) {
  for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
  size_t n = 0;
  while (st.Step()) ++n;
  st.Reset();
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  vt::bench::CorpusSize size;
  int rounds = 50;
  std::string keep;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--wall") g_wall = true;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--pages") size.pages = std::atoll(argv[i + 1]);
    if (arg == "--words") size.words = std::atoll(argv[i + 1]);
    if (arg == "--pairs") size.pairs = std::atoll(argv[i + 1]);
    if (arg == "--rounds") rounds = std::atoi(argv[i + 1]);
    if (arg == "--keep") keep = argv[i + 1];
  }
  const fs::path folder =
      keep.empty() ? fs::temp_directory_path() / ("vt-bench-search-" + std::to_string(::getpid()))
                   : fs::path(keep);
  const bool reuse = !keep.empty() && fs::exists(folder / "peer.db");
  if (!reuse) fs::remove_all(folder);
  fs::create_directories(folder);

  auto t0 = Clock::now();
  const vt::storage::InstallResult installed =
      vt::storage::InstallProgramFolder((folder / "app/").string(), (folder / "cache/").string());
  const std::string peer_path = (folder / "peer.db").string();
  if (!reuse) {
    std::ofstream(peer_path).close();  // an empty file is an empty database
    vt::ado::Connection product, peer;
    product.SetConnectionString(vt::DatabaseConnectionString(installed.app_dir));
    product.Open();
    peer.SetConnectionString("Data Source=" + peer_path + ";");
    peer.Open();
    vt::bench::FillCorpus(product, peer, size);
    std::printf(
        "build: %lld pages, %lld words, %lld pairs in %.1f s (database %.0f MB, FTS5 %.0f MB)\n",
        static_cast<long long>(size.pages), static_cast<long long>(size.words),
        static_cast<long long>(size.pairs), Ms(Clock::now() - t0) / 1000,
        fs::file_size(installed.app_dir + "vellumtrace.mdb") / 1e6, fs::file_size(peer_path) / 1e6);
  }

  // The band's objects, as start-up makes them.
  vt::TDataModule1 data_module;
  vt::widgets::StatusBar status_bar("sb1");
  auto* session = new vt::TmyDOM();
  vt::AttachDataModule(*session, data_module);
  session->StatusBar = &status_bar;
  vt::OpenDatabase(*session, installed.app_dir);
  vt::ado::Connection peer;
  peer.SetConnectionString("Data Source=" + peer_path + ";");
  peer.Open();

  // Texts: two-letter prefixes for the word list, three-letter parts for the like lists (FTS5's
  // trigram index answers like '%t%' from three letters on), words found on about ten pages.
  std::vector<std::string> prefixes, parts, words;
  for (int i = 0; i < rounds; ++i) {
    const std::string w = vt::bench::Word(i * 7 + 3);
    prefixes.push_back(w.substr(0, 2));
    parts.push_back(w.substr(1, 3));
    words.push_back(vt::bench::Word(1 + (i * 104729) % (size.words - 1)));
  }
  const std::vector<std::string> frequent(std::max(3, rounds / 10), vt::bench::FrequentWord());

  std::printf("\ntimes: %s\n",
              g_wall ? "wall clock" : "processor time of the thread (--wall: wall clock)");
  std::printf("\n%-34s %9s %9s %7s | %9s %9s %7s | %7s\n", "question (ms)", "median", "p99", "rows",
              "FTS5 med", "FTS5 p99", "rows", "ratio");

  // Word candidate list: a prefix locate in Word order, then the next nine words.
  vt::ado::Table& table = *session->WORDS;
  auto ours_list = Time(prefixes, [&](const std::string& t) {
    size_t n = 0;
    vt::ReadWordCandidates(table, t, vt::kWordCandidateCount, nullptr,
                           [&](const std::string&) { ++n; });
    return n;
  });
  vt::ado::Statement& vocab =
      peer.Prepare("SELECT term FROM vocab WHERE term >= ? ORDER BY term LIMIT 10");
  auto peer_list = Time(prefixes, [&](const std::string& t) { return Rows(vocab, {Variant(t)}); });
  Row("word candidate list", ours_list, peer_list, 5);

  // A word's pages: the result data set as the grid gets it.
  vt::TmySearchResults results;
  vt::ado::Statement& match =
      peer.Prepare("SELECT rowid, url, title FROM pages WHERE pages MATCH ?");
  auto word_results = [&](const std::string& w) {
    results.Open(*session, vt::SearchField::Indexer, w);
    return static_cast<size_t>(results.DataSet()->RecordCount());
  };
  auto peer_results = [&](const std::string& w) { return Rows(match, {Variant("\"" + w + "\"")}); };
  Row("results of a frequent word", Time(frequent, word_results), Time(frequent, peer_results), 50);
  Row("results of an ordinary word", Time(words, word_results), Time(words, peer_results), 50);
  // Where the time goes: the engine stepping through the same statement, without the data set.
  auto statement_alone = Time(frequent, [&](const std::string& w) {
    const std::int32_t id = vt::FindWordId(table, w);
    return Rows(session->Connection->Prepare(vt::WordResultSql(id)), {});
  });
  std::printf("%-34s %9.3f %9.3f %7zu   (the engine alone, no data set)\n",
              "  frequent word: statement only", statement_alone.median, statement_alone.p99,
              statement_alone.rows);

  // The frequent word's pages shown in the grid (title, hidden UrlID, preview line).
  results.Open(*session, vt::SearchField::Indexer, vt::bench::FrequentWord());
  vt::widgets::DBGrid grid("dxDBGrid3");
  grid.SetColumns({{"Title", "Title", true, 0}, {"UrlID", "UrlID", false, 0}});
  grid.SetKeyField("UrlID");
  grid.SetPreviewField("URL");
  auto bind = Time(frequent, [&](const std::string&) {
    grid.SetDataSource(nullptr);
    grid.SetDataSource(results.Source());
    return grid.RowCount();
  });
  std::printf("%-34s %9.3f %9.3f %7zu   (the grid reading the frequent word's data set)\n",
              "grid bound to those results", bind.median, bind.p99, bind.rows);
  auto describe = Time(frequent, [&](const std::string&) { return grid.Describe().dump().size(); });
  std::printf("%-34s %9.3f %9.3f %7zu   (bytes of the grid's description for the display)\n",
              "grid described for the display", describe.median, describe.p99, describe.rows);
  grid.SetDataSource(nullptr);
  results.Clear();

  // The like lists of keywords, domains and titles.
  vt::ado::Statement& labels =
      peer.Prepare("SELECT DISTINCT value FROM labels WHERE value LIKE ? AND kind = ?");
  const struct {
    const char* name;
    vt::SearchField field;
    const char* kind;
  } likes[] = {{"keyword list (like '%t%')", vt::SearchField::Keywords, "keyword"},
               {"domain list (like '%t%')", vt::SearchField::Url, "domain"},
               {"title list (like '%t%')", vt::SearchField::Title, "title"}};
  for (const auto& like : likes) {
    auto ours = Time(parts, [&](const std::string& t) {
      size_t n = 0;
      vt::ReadQueryCandidates(*session->Query, vt::CandidateSql(like.field, t),
                              [&](const std::string&) { ++n; });
      return n;
    });
    auto theirs = Time(parts, [&](const std::string& t) {
      return Rows(labels, {Variant("%" + t + "%"), Variant(like.kind)});
    });
    Row(like.name, ours, theirs, 200);
    auto alone = Time(parts, [&](const std::string& t) {
      return Rows(session->Connection->Prepare(vt::CandidateSql(like.field, t)), {});
    });
    std::printf("%-34s %9.3f %9.3f %7zu   (the engine alone)\n", "  statement only", alone.median,
                alone.p99, alone.rows);
  }

  std::printf(
      "\nratio = Vellumtrace median / FTS5 median. Aims: word list 5 ms, results 50 ms, like lists "
      "200 ms (p99).\n");
  session->ReleaseSession();
  data_module.ADOConnection.Close();
  if (keep.empty()) fs::remove_all(folder);
  return 0;
}
