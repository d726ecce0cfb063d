// The document parser: turns the shown document into the element table and the filter tree.
#include <string>

#include "core/myDOM.h"
#include "core/textutil.h"
#include "platform/dom/document.h"
#include "platform/msgloop/message_loop.h"
#include "platform/msgloop/unwind.h"
#include "platform/widgets/treelist.h"

namespace vt {
namespace {

constexpr int kMaxTables = 100;
constexpr int kMaxImages = 200;
constexpr int kMaxLinks = 200;

constexpr int kImageTables = 0;
constexpr int kImageImages = 1;
constexpr int kImageLinks = 2;
constexpr int kImageFrame = 3;

// Control flow out of a walk; none of them is a failure.
struct Superseded {};  // a newer parse started, or the session is being released
struct Cancelled {};   // CancelRequested was seen
struct EntryLimit {};  // an entry would have been created at position 2000

// The text after the last "/" of an address, or the whole address when it has none.
std::string FileNameOf(const std::string& src) {
  std::size_t slash = src.rfind('/');
  return slash == std::string::npos ? src : src.substr(slash + 1);
}

}  // namespace

// One walk of the frames and documents of a page.
class ParseRun {
 public:
  ParseRun(TmyDOM& session, std::uint64_t generation) : s_(session), generation_(generation) {}

  // Walks every frame; returns normally when the walk ended, at the entry limit or cancelled
  // (CancelRequested stays set for the caller). Throws Superseded.
  void WalkFrames();

 private:
  // Lets the message loop run, then stops when this walk is no longer the session's.
  void Yield();
  void StopIfCancelled() {
    if (s_.CancelRequested) throw Cancelled{};
  }
  void Status(const std::string& text) { s_.SetStatusText(text); }
  Tnode& CreateEntry(int frame);
  TreeNodeRef AddNode(TreeNodeRef parent, const std::string& text, int image);
  template <class Walk>
  void WalkGuarded(Walk walk);
  void WalkDocument(const dom::Document& document, int frame, TreeNodeRef parent);
  void WalkTables(const dom::Document& document, int frame, TreeNodeRef parent);
  void WalkImages(const dom::Document& document, int frame, TreeNodeRef parent);
  void WalkLinks(const dom::Document& document, int frame, TreeNodeRef parent);
  void RemoveNode(Tnode& group);

  TmyDOM& s_;
  std::uint64_t generation_;
  int counter_ = 0;
};

void ParseRun::Yield() {
  msgloop::ProcessMessages();
  if (s_.parse_generation_ != generation_ || s_.released_) throw Superseded{};
}

Tnode& ParseRun::CreateEntry(int frame) {
  if (counter_ + 1 > kMaxEntries) throw EntryLimit{};
  ++counter_;
  Tnode& entry = *s_.Entries[counter_];
  entry.Clear();
  entry.Frame = frame;
  return entry;
}

TreeNodeRef ParseRun::AddNode(TreeNodeRef parent, const std::string& text, int image) {
  Tnode& entry = *s_.Entries[counter_];
  if (!s_.FilterTree) return {};
  TreeNodeRef node = s_.FilterTree->AddChild(parent, text);
  node.SetImageIndex(image);
  node.SetSelectedIndex(image);
  node.SetValue(counter_ - 1);
  entry.Node = node;
  return node;
}

void ParseRun::RemoveNode(Tnode& group) {
  if (group.Node && s_.FilterTree) s_.FilterTree->Remove(group.Node);
  group.Node = {};
}

void ParseRun::WalkFrames() {
  const DocumentRef& top = s_.Document;
  try {
    const long frames = static_cast<long>(top->frames().size());
    if (top->tags("FRAMESET").length() == 0) {
      WalkGuarded([&] { WalkDocument(*top, 0, {}); });
      return;
    }
    for (long i = 0; i < frames; ++i) {
      const int frame = static_cast<int>(i) + 1;
      WalkGuarded([&] {
        DocumentRef document = TmyDOM::DocumentOfBrowser(TmyDOM::GetFrameBrowser(top, frame - 1));
        if (!document)
          throw std::runtime_error("Frame " + std::to_string(frame) + " has no document");
        const auto& window = document->parentWindow();
        std::string name = window ? window->name() : std::string();
        CreateEntry(frame);
        TreeNodeRef node =
            AddNode({}, "Frame " + std::to_string(frame) + " (" + name + ")", kImageFrame);
        WalkDocument(*document, frame, node);
      });
    }
  } catch (const EntryLimit&) {
    if (s_.FilterTree) s_.FilterTree->Refresh();
    s_.EntryCount = kMaxEntries;
    Status("Maximum page elements exceeded (" + std::to_string(kMaxEntries + 1) + ")");
  } catch (const Cancelled&) {
    // The caller reports the cancellation; EntryCount keeps its earlier value.
  }
}

template <class Walk>
void ParseRun::WalkGuarded(Walk walk) {
  try {
    walk();
  } catch (const std::exception& e) {
    s_.EntryCount = counter_;
    s_.CancelRequested = false;
    s_.Parsing = false;
    s_.LogError(e, "Get objects");
  }
}

void ParseRun::WalkDocument(const dom::Document& document, int frame, TreeNodeRef parent) {
  WalkTables(document, frame, parent);
  WalkImages(document, frame, parent);
  WalkLinks(document, frame, parent);
  if (s_.FilterTree) s_.FilterTree->Refresh();
  s_.EntryCount = counter_;
  Status("Parsing complete.");
  Yield();
}

void ParseRun::WalkTables(const dom::Document& document, int frame, TreeNodeRef parent) {
  dom::ElementCollection tables = document.tags("TABLE");
  Status("Parsing tables...");
  const long count = tables.length();
  if (count == 0) return;
  Tnode& group = CreateEntry(frame);
  group.Table = -1;
  TreeNodeRef group_node = AddNode(parent, "Tables", kImageTables);
  const int group_position = counter_;
  int loaded = 0;
  for (long j = 0; j < count; ++j) {
    if (j % 10 == 0) {
      Status("Parsing tables... (" + std::to_string(loaded) + ")");
      Yield();
    }
    StopIfCancelled();
    if (loaded == kMaxTables) {
      Status("Maximum tables loaded (" + std::to_string(kMaxTables) + ")");
      break;
    }
    dom::ElementPtr table = tables.item(j);
    ++loaded;
    Tnode& entry = CreateEntry(frame);
    entry.Table = static_cast<int>(j) + 1;
    entry.Text = std::string(FirstChars(CleanText(table->InnerTextPrefix(kCleanTextChars)), 50));
    TreeNodeRef table_node = AddNode(
        group_node, entry.Text.empty() ? "Table" : ShortenText(entry.Text, 30), kImageTables);
    entry.SourceIndex = table->sourceIndex();

    dom::ElementCollection rows = table->rows();
    const long row_count = rows.length();
    for (long k = 0; k < row_count; ++k) {
      Yield();
      StopIfCancelled();
      dom::ElementPtr row = rows.item(k);
      Tnode& row_entry = CreateEntry(frame);
      row_entry.Table = static_cast<int>(j) + 1;
      row_entry.Row = static_cast<int>(k) + 1;
      TreeNodeRef row_node = AddNode(table_node, "Row " + std::to_string(k + 1), kImageTables);
      row_entry.SourceIndex = row->sourceIndex();

      dom::ElementCollection cells = row->cells();
      const long cell_count = cells.length();
      for (long l = 0; l < cell_count; ++l) {
        if (l % 10 == 0) Yield();
        StopIfCancelled();
        dom::ElementPtr cell = cells.item(l);
        Tnode& cell_entry = CreateEntry(frame);
        cell_entry.Table = static_cast<int>(j) + 1;
        cell_entry.Row = static_cast<int>(k) + 1;
        cell_entry.Col = static_cast<int>(l) + 1;
        cell_entry.Text = ShortenText(CleanText(cell->InnerTextPrefix(kCleanTextChars)), 50);
        std::string text = "Col " + std::to_string(l + 1);
        if (!cell_entry.Text.empty()) text += " (" + ShortenText(cell_entry.Text, 20) + ")";
        AddNode(row_node, text, kImageTables);
        cell_entry.SourceIndex = cell->sourceIndex();
      }
    }
  }
  if (Tnode& g = *s_.Entries[group_position]; g.Node)
    g.Node.SetText("Tables (" + std::to_string(loaded) + ")");
  (void)group;
}

void ParseRun::WalkImages(const dom::Document& document, int frame, TreeNodeRef parent) {
  Status("Parsing images...");
  Yield();
  dom::ElementCollection images = document.images();
  const long count = images.length();
  if (count == 0) return;
  Tnode& group = CreateEntry(frame);
  group.Image = -1;
  const int group_position = counter_;
  TreeNodeRef group_node = AddNode(parent, "Images", kImageImages);
  int loaded = 0;
  for (long i = 0; i < count; ++i) {
    if (i % 10 == 0) {
      Status("Parsing images... (" + std::to_string(loaded) + ")");
      Yield();
    }
    StopIfCancelled();
    dom::ElementPtr image = images.item(i);
    std::string src = image->src();
    std::string name = FileNameOf(src);
    if (name.empty()) continue;
    if (loaded == kMaxImages) {
      Status("Maximum images loaded (" + std::to_string(kMaxImages) + ")");
      break;
    }
    ++loaded;
    Tnode& entry = CreateEntry(frame);
    entry.Image = static_cast<int>(i) + 1;
    entry.Text = name;
    image->setSrc(src);
    AddNode(group_node, name, kImageImages);
    entry.SourceIndex = image->sourceIndex();
  }
  Tnode& g = *s_.Entries[group_position];
  if (loaded == 0) {
    RemoveNode(g);
  } else if (g.Node) {
    g.Node.SetText("Images (" + std::to_string(loaded) + ")");
  }
  (void)group;
}

void ParseRun::WalkLinks(const dom::Document& document, int frame, TreeNodeRef parent) {
  Status("Parsing links...");
  Yield();
  dom::ElementCollection links = document.links();
  const long count = links.length();
  if (count == 0) return;
  Tnode& group = CreateEntry(frame);
  group.Link = -1;
  const int group_position = counter_;
  TreeNodeRef group_node = AddNode(parent, "Links", kImageLinks);
  int loaded = 0;
  for (long i = 0; i < count; ++i) {
    if (i % 10 == 0) {
      Status("Parsing links... (" + std::to_string(loaded) + ")");
      Yield();
    }
    StopIfCancelled();
    dom::ElementPtr link = links.item(i);
    std::string text = CleanText(link->InnerTextPrefix(kCleanTextChars));
    if (text.empty()) continue;
    if (loaded == kMaxLinks) {
      Status("Maximum links loaded (" + std::to_string(kMaxLinks) + ")");
      break;
    }
    ++loaded;
    Tnode& entry = CreateEntry(frame);
    entry.Link = static_cast<int>(i) + 1;
    entry.Text = text;
    AddNode(group_node, text, kImageLinks);
    entry.SourceIndex = link->sourceIndex();
  }
  Tnode& g = *s_.Entries[group_position];
  if (loaded == 0) {
    RemoveNode(g);
  } else if (g.Node) {
    g.Node.SetText("Links (" + std::to_string(loaded) + ")");
  }
  (void)group;
}

namespace {
SavedSelectionLookup g_saved_selection = nullptr;
}  // namespace

void SetSavedSelectionLookup(SavedSelectionLookup lookup) {
  g_saved_selection = lookup;
}

void TmyDOM::RestoreSelectedNode(std::int32_t saved) {
  SelectedIndex = saved;
  if (SelectedIndex < 0 || SelectedIndex >= EntryCount) return;
  const TreeNodeRef& node = Entries[SelectedIndex + 1]->Node;
  if (!node || !FilterTree) return;
  FilterTree->MakeVisible(node);
  FilterTree->SetFocusedNode(node);
  FilterTree->Select(node);
}

void TmyDOM::ClearParse() {
  ++parse_generation_;
  Parsing = false;
  if (FilterTree) FilterTree->Clear();
  for (auto& entry : Entries) {
    if (entry) entry->Clear();
  }
  EntryCount = 0;
  AllLinksPage.clear();  // the lists were made from the entries
  AllImagesPage.clear();
  AllTablesPage.clear();
}

void TmyDOM::ParseDocument() {
  if (!Document) {
    Status = kStatusNoData;
    return;
  }
  msgloop::LoopScope scope;  // the walk lets the loop run: a release meanwhile waits for it
  try {
    Status = kStatusParsing;
    AllLinksPage.clear();
    AllImagesPage.clear();
    AllTablesPage.clear();
    if (!Parsing) {
      Parsing = true;
      const std::uint64_t generation = ++parse_generation_;
      if (FilterTree) FilterTree->Clear();
      SelectedIndex = -1;
      SelectedSourceIndex = 0;
      HoverSourceIndex = 0;
      for (int p = 0; p < kEntrySlots - 1; ++p) Entries[p]->Clear();
      ParseRun run(*this, generation);
      run.WalkFrames();
      Parsing = false;
    }
    if (CancelRequested) {
      Status = kStatusNoData;
      CancelRequested = false;
      SetStatusText("Parsing cancelled");
      return;
    }
    if (g_saved_selection) {
      RestoreSelectedNode(
          g_saved_selection(*this, Browser ? Browser->LocationURL() : std::string()));
    }
    // Detached first, so the handlers are attached once however often the page is parsed.
    CreateDocumentSinks();
    AttachDocumentSinks(Document, "D");
    AttachDocumentSinks(Document, "A");
    Status = EntryCount < 1 ? kStatusNoData : kStatusReady;
  } catch (const Superseded&) {
    // A newer parse owns the tree and the entries now; leave them to it.
  } catch (const std::exception& e) {
    LogError(e, "DocComplete");
    Status = kStatusNoData;
  }
}

}  // namespace vt
