// The snippet tree at the size of years of use: 10,000 snippets of about 20 KB each in 20 trees
// up to 6 levels deep. Prints, for each step a user takes, the time from the command to the state
// the display draws (the tree's description): opening the tab onto the tree, focusing a deep
// node, saving a page as a child, deleting a subtree of 1,000 snippets and the "Content" filter
// over every row.
//
//   bench_snippets [--rows N] [--runs R]
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/myDOM.h"
#include "platform/ado/table.h"
#include "platform/dom/document.h"
#include "platform/widgets/dbtreelist.h"
#include "platform/widgets/indicators.h"
#include "storage/SnippetStore.h"
#include "storage/datamodule.h"
#include "storage/install.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

struct Shape {
  std::vector<int> parent;  // 0 for a root; rows are numbered from 1
  int big_root = 1;         // the root whose subtree holds exactly 1,000 rows
  int deep_node = 1;        // a node on the sixth level
};

// 20 roots; the first has 1,000 rows in its subtree, the others share the rest. Each row hangs
// below a random earlier row of its tree that is less than 6 levels deep.
Shape MakeShape(int rows, std::mt19937& rng) {
  Shape s;
  s.parent.assign(static_cast<size_t>(rows) + 1, 0);
  std::vector<int> level(static_cast<size_t>(rows) + 1, 0);
  const int roots = 20;
  const int big = std::min(1000, rows / 2);
  std::vector<std::vector<int>> members(roots);
  for (int r = 0; r < roots; ++r) members[r].push_back(r + 1);  // rows 1..20 are the roots
  int id = roots;
  auto add = [&](int tree) {
    ++id;
    auto& m = members[tree];
    int p = 0;
    do {
      p = m[std::uniform_int_distribution<size_t>(0, m.size() - 1)(rng)];
    } while (level[p] >= 5);
    s.parent[id] = p;
    level[id] = level[p] + 1;
    m.push_back(id);
    if (level[id] == 5 && tree != 0) s.deep_node = id;
  };
  for (int i = 1; i < big && id < rows; ++i) add(0);
  while (id < rows) add(1 + (id % (roots - 1)));
  return s;
}

std::string Content(int id, std::mt19937& rng) {
  static const char* kWords[] = {"market", "revenue", "quarter", "office", "region", "growth",
                                 "report", "staff",   "budget",  "plan",   "north",  "figure"};
  std::string out = "<html><body><h1>Snippet " + std::to_string(id) + "</h1><p>";
  while (out.size() < 20 * 1024) {
    out += kWords[rng() % 12];
    out += (rng() % 9 == 0) ? ".</p><p>" : " ";
  }
  return out + "</p></body></html>";
}

void Fill(const std::string& db_path, const Shape& shape, std::mt19937& rng) {
  sqlite3* db = nullptr;
  sqlite3_open(db_path.c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO SNIPPETS (ID, Parent_ID, Name, Snippet, Domain, Title) "
                     "VALUES (?, ?, ?, ?, 'example.org', ?)",
                     -1, &st, nullptr);
  for (size_t id = 1; id < shape.parent.size(); ++id) {
    sqlite3_bind_int(st, 1, static_cast<int>(id));
    if (shape.parent[id])
      sqlite3_bind_int(st, 2, shape.parent[id]);
    else
      sqlite3_bind_null(st, 2);
    const std::string name = "Snippet " + std::to_string(id);
    const std::string content = Content(static_cast<int>(id), rng);
    sqlite3_bind_text(st, 3, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 4, content.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 5, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  // One snippet holds the word the content filter looks for: the last, which lies outside the
  // subtree the benchmark deletes.
  const std::string mark = "UPDATE SNIPPETS SET Snippet = Snippet || 'zeppelin' WHERE ID = " +
                           std::to_string(shape.parent.size() - 1);
  sqlite3_exec(db, mark.c_str(), nullptr, nullptr, nullptr);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

struct Figures {
  std::vector<double> open, focus, save, remove, filter;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 10000, runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--rows") rows = std::max(100, std::atoi(argv[i + 1]));
    if (a == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
  }
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/vt-bench-snippets-XXXXXX";
  const std::string home = ::mkdtemp(tmpl);
  const std::string app = home + "/app/";
  vt::storage::InstallProgramFolder(app, home + "/cache/");
  const std::string db_path = app + "vellumtrace.mdb";

  std::mt19937 rng(20261209);
  const Shape shape = MakeShape(rows, rng);
  auto fill_start = Clock::now();
  Fill(db_path, shape, rng);
  const std::string pristine = home + "/pristine.mdb";
  fs::copy_file(db_path, pristine);
  std::printf(
      "snippet tree benchmark: %d snippets of ~20 KB (%.0f MB database, built in %.0f ms)\n", rows,
      static_cast<double>(fs::file_size(db_path)) / (1024 * 1024), Ms(fill_start));

  auto page = vt::dom::Document::Create("http://example.org/page.html");
  page->Load("<html><head><title>Saved page</title></head><body><p>" +
                 Content(0, rng).substr(0, 20000) + "</p></body></html>",
             "http://example.org/page.html");

  Figures f;
  for (int run = 0; run < runs; ++run) {
    fs::copy_file(pristine, db_path, fs::copy_options::overwrite_existing);
    fs::remove(db_path + "-wal");
    fs::remove(db_path + "-shm");
    vt::widgets::StatusBar status("sb1");
    vt::TmyDOM session;
    session.StatusBar = &status;
    vt::TDataModule1 module;
    vt::AttachDataModule(session, module);
    vt::widgets::DBTreeList tree("DBTL1");
    tree.SetMultiSelect(true);
    session.SnippetTree = &tree;
    session.Document = session.WorkDocument = page;

    // 1. The tab opens onto the tree: the database, the tree's nodes, the state for the display.
    auto t = Clock::now();
    vt::OpenDatabase(session, app);
    tree.SetDataSource(&module.DS_Snippets);
    size_t described = tree.Describe().dump().size();
    f.open.push_back(Ms(t));
    if (static_cast<int>(tree.NodeCount()) != rows) {
      std::fprintf(stderr, "the tree shows %zu nodes, not %d\n", tree.NodeCount(), rows);
      return 1;
    }

    // 2. Focusing a node six levels down (the table follows it).
    t = Clock::now();
    tree.SetFocusedNode(tree.FindNodeByKey(shape.deep_node));
    described += tree.Describe().dump().size();
    f.focus.push_back(Ms(t));
    if (module.SNIPPETS.FieldByName("ID").AsInteger() != shape.deep_node) {
      std::fprintf(stderr, "the table stands on row %d, not on the focused %d\n",
                   module.SNIPPETS.FieldByName("ID").AsInteger(), shape.deep_node);
      return 1;
    }

    // 3. Saving the shown page as a child of the focused snippet.
    t = Clock::now();
    vt::SavePageAsSnippet(session);
    described += tree.Describe().dump().size();
    f.save.push_back(Ms(t));
    if (static_cast<int>(tree.NodeCount()) != rows + 1) {
      std::fprintf(stderr, "after the save the tree shows %zu nodes, not %d\n", tree.NodeCount(),
                   rows + 1);
      return 1;
    }

    // 4. Deleting a subtree of 1,000 snippets.
    tree.ClearSelection();
    tree.Select(tree.FindNodeByKey(shape.big_root));
    t = Clock::now();
    const int deleted = tree.DeleteSelection();
    described += tree.Describe().dump().size();
    f.remove.push_back(Ms(t));
    if (deleted != 1000) {
      std::fprintf(stderr, "deleted %d rows, not 1000\n", deleted);
      return 1;
    }

    // 5. The "Content" filter over every row.
    t = Clock::now();
    module.SNIPPETS.SetFilter("Snippet like '%zeppelin%' ");
    tree.FullRefresh();
    described += tree.Describe().dump().size();
    f.filter.push_back(Ms(t));
    if (tree.NodeCount() != 1) {
      std::fprintf(stderr, "the filter shows %zu nodes, not 1\n", tree.NodeCount());
      return 1;
    }
    std::printf("run %d: described %zu bytes\n", run + 1, described);
    session.SnippetTree = nullptr;
  }
  auto line = [](const char* what, const std::vector<double>& v, double aim) {
    std::printf("  %-34s median %8.1f ms  (min %.1f, max %.1f; aim < %.0f ms)%s\n", what, Median(v),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), aim,
                Median(v) < aim ? "" : "  MISSED");
  };
  line("open tab to drawn tree", f.open, 500);
  line("focus a node", f.focus, 50);
  line("save page as child", f.save, 500);
  line("delete subtree of 1,000", f.remove, 500);
  line("\"Content\" filter over all rows", f.filter, 500);
  fs::remove_all(home);
  return 0;
}
