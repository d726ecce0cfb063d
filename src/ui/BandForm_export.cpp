// The snippet tab's commands that send the focused snippet out of Vellumtrace: onto the clipboard
// as a page, or attached to a new message of the user's mail program.
#include "platform/ado/table.h"
#include "publishing/MailClipboard.h"
#include "storage/datamodule.h"
#include "ui/BandForm.h"

namespace vt {

std::optional<TBandForm::FocusedSnippetRow> TBandForm::FocusedSnippet() {
  ado::Table* snippets = session_.SNIPPETS;
  if (!DBTL1.FocusedNode() || !snippets || !snippets->Active()) return std::nullopt;
  const std::vector<ado::Variant> row = snippets->Lookup(
      "ID", {ado::Variant(static_cast<std::int64_t>(DBTL1.FocusedKey()))}, "Snippet;Name;URL_ID");
  if (row.size() < 3) return std::nullopt;  // the row is gone (deleted meanwhile)
  FocusedSnippetRow out;
  out.snippet = row[0].IsNull() ? std::string() : row[0].AsString();
  out.name = row[1].IsNull() ? std::string() : row[1].AsString();
  if (!row[2].IsNull()) out.url_id = row[2].AsInteger();
  return out;
}

void TBandForm::CopyFocusedSnippet() {
  if (auto row = FocusedSnippet()) {
    CopySnippetToClipboard(session_, row->snippet, row->name, row->url_id);
  }
}

void TBandForm::MailFocusedSnippet() {
  if (auto row = FocusedSnippet()) MailSnippet(row->snippet, row->name);
}

}  // namespace vt
