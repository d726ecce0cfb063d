#include "storage/CompactDB.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "platform/ado/jet_engine.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/dbtreelist.h"
#include "storage/datamodule.h"
#include "storage/schema.h"

namespace vt {

namespace {
constexpr const char* kJetConnection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";

std::string WithThousands(long long value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}
}  // namespace

std::string FormatDatabaseSize(std::int64_t bytes) {
  const long long kb = std::llround(static_cast<double>(bytes) / 1024.0);
  return " " + (kb == 0 ? std::string() : WithThousands(kb)) + " KB";
}

std::string FormatSizeReduction(std::int64_t before, std::int64_t after) {
  // An empty file has nothing to reduce.
  const double percent =
      before == 0 ? 0.0 : static_cast<double>(before - after) / static_cast<double>(before) * 100;
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", percent);
  return std::string(" ") + text + " %";
}

std::int64_t FileSizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return st.st_size;
}

std::string CompactCopyPath(const std::string& path) {
  return std::filesystem::path(path).replace_extension(".$$$").string();
}

void CompactDatabaseFile(const std::string& path) {
  const std::string temp = CompactCopyPath(path);
  ::unlink(temp.c_str());  // a copy left by an earlier attempt; its absence is fine
  ado::JetEngine::CompactDatabase(kJetConnection + path, kJetConnection + temp);
  // One rename replaces the file: there is no moment without a whole database under its name.
  ado::ReplaceDatabaseFile(temp, path);
}

TCompactDB::TCompactDB(TmyDOM& session, TmyRegistry& registry)
    : widgets::Form("CompactDB"), session_(session), registry_(registry) {
  SetCaption("Compact Database");
  SetBounds({0, 0, 330, 190});
  Label1.SetBounds({16, 16, 140, 20});
  txt_CurrentSize.SetBounds({170, 14, 140, 22});
  Label2.SetBounds({16, 46, 140, 20});
  txt_NewSize.SetBounds({170, 44, 140, 22});
  Label3.SetBounds({16, 76, 140, 20});
  txt_Reduction.SetBounds({170, 74, 140, 22});
  for (widgets::Edit* box : {&txt_CurrentSize, &txt_NewSize, &txt_Reduction})
    box->SetReadOnly(true);
  Label4.SetBounds({16, 108, 294, 20});
  Label4.SetBold(true);
  Button2.SetBounds({150, 140, 76, 26});
  Button2.SetDefault(true);
  Button2.OnClick = [this](widgets::Control&) { Button2Click(); };
  Button1.SetBounds({234, 140, 76, 26});
  Button1.SetCancel(true);
  Button1.SetModalResult(widgets::ModalResult::Cancel);
  OnActivate = [this](widgets::Control&) { FormActivate(); };
}

std::int64_t TCompactDB::FileSizeOfDatabase() const {
  const std::string path = AppDir() + storage::kDatabaseFileName;
  return FileSizeOf(path) + FileSizeOf(path + "-wal");
}

void TCompactDB::FormActivate() {
  size_before_ = FileSizeOfDatabase();
  txt_CurrentSize.SetText(FormatDatabaseSize(size_before_));
}

void TCompactDB::Button2Click() {
  try {
    Button2.SetEnabled(false);
    size_before_ = FileSizeOfDatabase();
    txt_CurrentSize.SetText(FormatDatabaseSize(size_before_));
    txt_NewSize.SetText("");
    txt_Reduction.SetText("");
    Label4.SetCaption("Compacting database...");
    msgloop::ProcessMessages();
    if (!session_.Connection)
      throw ado::AdoError(ado::ErrorKind::Closed, "No database connection is attached.");
    session_.Connection->Close();
    CompactDatabaseFile(AppDir() + storage::kDatabaseFileName);
    session_.Connection->Open();
    OpenDatabase(session_);
    size_after_ = FileSizeOfDatabase();
    txt_NewSize.SetText(FormatDatabaseSize(size_after_));
    txt_Reduction.SetText(FormatSizeReduction(size_before_, size_after_));
    Label4.SetCaption("Database compaction successful.");
    Button2.SetEnabled(true);
    FocusSelectedSnippet();
  } catch (const std::exception& e) {
    Button2.SetEnabled(true);
    Label4.SetCaption("Compact Error");
    widgets::MessageBox(e.what(), kErrorCaption, widgets::MessageIcon::Warning,
                        widgets::MessageButtons::Ok);
  }
}

void TCompactDB::FocusSelectedSnippet() {
  const int id = registry_.ReadIntegerDefault(settings::SNIPPET_selected, 0);
  auto* tree = dynamic_cast<widgets::DBTreeList*>(session_.SnippetTree);
  if (!tree || id <= 0) return;
  if (widgets::TreeNode node = tree->FindNodeByKey(id)) tree->SetFocusedNode(node);
}

void ShowCompactDatabase(TmyDOM& session, TmyRegistry& registry) {
  TCompactDB dialog(session, registry);
  dialog.ShowModal();
}

}  // namespace vt
