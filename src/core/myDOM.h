#pragma once
// TmyDOM, the page session: one per band window. It holds the browser that shows the band, the
// shown document and the working document, the element table the parser builds from the document,
// the marks drawn on the page, the band's modes and status, and references to the band's controls
// and to the database objects that the storage code uses.
//
// Threading: the UI thread only. The parser lets the message loop run while it works, so timer
// ticks and page events can call into the session in the middle of a parse.
// Ownership: the session holds references (not ownership) to the band's controls and the data
// module; it owns its element descriptors, the Query data set and the URL cache. Create it with
// new; ReleaseSession deletes it, once every call that lets the message loop run has unwound
// (platform/msgloop/unwind.h).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/pagerefs.h"

namespace vt::widgets {
class MenuItem;
}

namespace vt {

class TDataModule1;
class TIECache;

// Element descriptor: names one element of a document by position (1-based; 0 = not of that kind;
// -1 = the group entry of all tables, images or links of a document).
struct Tnode {
  std::int32_t Frame = 0;
  std::int32_t Table = 0;
  std::int32_t Row = 0;
  std::int32_t Col = 0;
  std::int32_t Image = 0;
  std::int32_t Link = 0;
  std::int32_t SourceIndex = 0;
  std::string Text;
  TreeNodeRef Node;  // the filter-tree node that shows the entry (empty when none)

  void Clear() { *this = Tnode{}; }
  // Whether the entry stands for one element of the page (a table, row, cell, image or link).
  // Frame entries, group entries and empty positions do not, and carry source index 0.
  bool NamesElement() const { return Table > 0 || Image > 0 || Link > 0; }
};

// Band status values.
inline constexpr std::uint8_t kStatusReady = 0;
inline constexpr std::uint8_t kStatusWaiting = 1;
inline constexpr std::uint8_t kStatusParsing = 2;
inline constexpr std::uint8_t kStatusNoData = 3;

// Size of the element table: positions 0 to 2000; 1 to 1999 can be filled by a parse.
inline constexpr int kEntrySlots = 2001;
inline constexpr int kMaxEntries = 1999;

class TmyDOM {
 public:
  explicit TmyDOM(BrowserRef browser = nullptr);
  ~TmyDOM();
  TmyDOM(const TmyDOM&) = delete;
  TmyDOM& operator=(const TmyDOM&) = delete;

  // ---- life cycle
  // Stores the controls, sets SelectedIndex -1, creates the descriptors of positions 0 to 1999,
  // the border strings, Status 3, and the Query data set when a connection is given.
  void InitSession(PopupMenuRef popup_menu, ConnectionRef connection, StatusBarRef status_bar,
                   BusyLedRef busy_led);
  // Cancels a running parse and deletes the session; while a call that lets the message loop
  // run is on the stack (a suspended parse, the band's tick), the deletion waits until the
  // outermost one has unwound. A suspended parse stops at its next yield.
  void ReleaseSession();
  // Whether ReleaseSession was called (the session is then only waiting to be deleted).
  bool Released() const { return released_; }
  // Forgets every band control reference and the form's hook (the form calls this before it
  // frees its controls).
  void DetachControls();

  // ---- documents and windows
  void RefreshDocuments();
  // The browser of frame Index of Document (container order), or for -1 (or no such frame) the
  // browser that hosts Document. Empty when there is none.
  static BrowserRef GetFrameBrowser(const DocumentRef& document, int index);
  // Document itself for FrameNumber <= 0, else the document of frame FrameNumber - 1; empty when
  // that frame does not exist.
  static DocumentRef GetFrameDocument(const DocumentRef& document, int frame_number);
  // Opens a new, visible browser window (BeforeNewWindow runs first); empty when it fails, which
  // the status bar reports.
  BrowserRef NewBrowserWindow();
  void OpenInNewWindow(const std::string& url);
  void WriteHtmlToDocument(const DocumentRef& document, const std::string& html);
  static std::string GetDocumentSource(const DocumentRef& document);

  // ---- status bar
  void SetStatusText(const std::string& text);  // never fails
  void LogError(const std::exception& error, const std::string& where);
  void LogError(const std::string& message, const std::string& where);

  // ---- parser
  void ParseDocument();
  // Empties the filter tree and the element table; EntryCount becomes 0. A parse suspended in
  // the message loop ends as a superseded one does and adds nothing more.
  void ClearParse();
  // Selects the saved tree position `saved` (an element index) when it names an entry of the
  // current parse that has a node; otherwise nothing is selected. SelectedIndex becomes `saved`.
  void RestoreSelectedNode(std::int32_t saved);

  // ---- element tree and marks
  std::int32_t MarkObject(const DocumentRef& document, const std::string& border,
                          const Tnode* descriptor);
  ElementRef MarkSelected(const DocumentRef& document, const Tnode* descriptor);
  ElementRef SelectElement(const DocumentRef& document, int index);
  void SelectElementFromPage(const DocumentRef& document, TreeListRef tree,
                             const ElementRef& element);
  void UnmarkBySourceIndex(const DocumentRef& document, std::int32_t source_index);
  void ClearMarks(const DocumentRef& document);
  std::string GetPageBodyHtml();
  static std::string GetLinkHref(const ElementRef& element);

  // The document a browser shows; empty without a browser or a document.
  static DocumentRef DocumentOfBrowser(const BrowserRef& browser);
  // Runs `command` of the browser's command group on the document; 2 shows its source in a new
  // browser window. Failures are ignored.
  void ViewSource(const DocumentRef& document, int command);

  // The entry at `position` (0 to 2000); position 2000 and out-of-range positions give nullptr.
  Tnode* Entry(int position);

  // ---- document event sinks, spy mode and the page's context menu
  // Mode "A" attaches ClickSink to "onclick" and MouseMoveSink to "onmousemove" of the document
  // (of every frame of a frameset page); any other mode detaches them. Nothing without sinks.
  void AttachDocumentSinks(const DocumentRef& document, const std::string& mode);
  // Creates ClickSink and MouseMoveSink, bound to the two handlers below, once.
  void CreateDocumentSinks();
  // The handlers the sinks call for a click and a mouse move on the page.
  void OnDocumentClick();
  void OnDocumentMouseMove();
  // Enables the items of PopupMenu for the element under the mouse and opens it at (x, y).
  void ShowPageContextMenu(int x, int y);
  // The first item of PopupMenu with `tag`: for each top-level item its direct children first,
  // then the item itself. nullptr when no item has the tag.
  widgets::MenuItem* FindMenuItemByTag(int tag);

  // ---- filter views
  // The mark-up of the element `descriptor` names in `document`; "" when there is none.
  std::string GetObjectHTML(const DocumentRef& document, const Tnode* descriptor);
  // Title and body of the filter view of an entry of the current page.
  struct ElementPage {
    std::string title;
    std::string html;
  };
  ElementPage BuildElementPage(const Tnode& descriptor);
  // The mark-up of every image, link or table entry of frame `frame_number`, taken from
  // `document` (the parsed document or a copy of its source). Cached until the next parse;
  // "" when cancelled.
  std::string ListAllImages(const DocumentRef& document, int frame_number);
  std::string ListAllLinks(const DocumentRef& document, int frame_number);
  std::string ListAllTables(const DocumentRef& document, int frame_number);
  void FilterItemInNewWindow();
  // Shows the filter view of the tree's focused node in FilterPreview (and marks the element).
  void PreviewFilterNode(TreeListRef tree);
  void FilterSelectionInNewWindow(const std::string& html);

  // ---- images of cut-out mark-up
  // Points every image of `document` at a copy of its cached picture in CacheDir, or at the
  // placeholder AppDir + "_blank.gif" when it is not cached; images that name an existing local
  // file are left alone.
  void FixImageLinks(const DocumentRef& document);
  // Points images of a stored snippet that live in a cache folder at CacheDir, and placeholders
  // at AppDir's placeholder.
  void GrabImage(const DocumentRef& document);
  // UrlCache, created on first use.
  TIECache& Cache();

  // ---- page
  BrowserRef Browser;
  DocumentRef Document;
  DocumentRef WorkDocument;
  std::int32_t EventFrame = 0;
  ElementRef CurrentElement;
  ElementRef MouseElement;
  ElementRef HoverElement;
  ElementRef OutlinedElement;

  // ---- element table (positions 0 to 2000; 0 and 2000 are never filled)
  std::array<std::unique_ptr<Tnode>, kEntrySlots> Entries;
  std::int32_t EntryCount = 0;
  std::int32_t SelectedIndex = -1;
  std::int32_t SelectedSourceIndex = 0;
  std::int32_t HoverSourceIndex = 0;
  Tnode* LastSelectedEntry = nullptr;
  ElementRef LastSelectedElement;

  // ---- modes and status
  std::uint8_t Status = kStatusNoData;
  bool FilterMode = false;
  bool SpyMode = false;
  bool MouseBorders = false;
  bool Parsing = false;
  bool CancelRequested = false;
  bool DocumentCompleted = false;
  bool NavigationStarted = false;
  bool SnippetSelectionChanged = false;
  bool FilterNodeChanged = false;
  bool SuppressTreeEvents = false;
  std::int32_t WindowNumber = -1;

  // ---- cached pages of all images, links and tables of a frame
  std::string AllImagesPage;
  std::string AllLinksPage;
  std::string AllTablesPage;

  // ---- border strings
  std::string NeutralBorderWidth;
  std::string NeutralBorderColor;
  std::string NeutralBorderStyle;
  std::string MouseBorderWidth;
  std::string MouseBorderColor;
  std::string MouseBorderStyle;
  std::string SelectedBorder;

  // ---- band controls (not owned)
  PopupMenuRef PopupMenu = nullptr;
  StatusBarRef StatusBar = nullptr;
  BusyLedRef BusyLed = nullptr;
  TreeListRef FilterTree = nullptr;
  ControlRef SnippetTree = nullptr;
  BrowserRef FilterPreview;
  BrowserRef SnippetPreview;
  // Run before a new browser window is opened (the form saves its state there, so that the band
  // of the new window starts from it). Cleared by DetachControls.
  std::function<void()> BeforeNewWindow;
  DispatchRef ClickSink;
  DispatchRef MouseMoveSink;
  std::shared_ptr<TIECache> UrlCache;

  // ---- database objects and storage state (used by the storage code)
  TDataModule1* DataModule = nullptr;
  ConnectionRef Connection = nullptr;
  TableRef SNIPPETS = nullptr;
  TableRef URL = nullptr;
  TableRef WORDS = nullptr;
  TableRef DICTIONARY = nullptr;
  TableRef KEYWORDS = nullptr;
  DataSourceRef SnippetSource = nullptr;
  std::shared_ptr<QueryType> Query;  // bound to Connection, command type text
  bool WordsChanged = false;
  std::string LastUrl;                    // last address resolved to an ID
  std::int32_t LastUrlID = 0;             // its URL ID
  std::optional<std::int32_t> ParentKey;  // where the next snippet goes; empty = root
  bool BlankSnippet = false;              // next save makes an empty "New Snippet" child
  std::int32_t LastSnippetID = 0;         // ID of the row last saved

 private:
  friend class ParseRun;
  // Parse bookkeeping: a new parse raises the generation, so a parse suspended in the message
  // loop sees that it was superseded and stops without touching the new parse's state.
  std::uint64_t parse_generation_ = 0;
  bool released_ = false;
};

// Process-wide page sessions by window number. Positions are never reused; the list always ends
// with one empty position.
class SessionList {
 public:
  // Stores the session at the next position, sets its WindowNumber and returns the position.
  static int Add(TmyDOM* session);
  // Empties the position (the session itself is not freed).
  static void Remove(int window_number);
  static TmyDOM* At(int window_number);  // nullptr for an empty or unknown position
  static int Count();                    // number of positions, the empty last one included
  static void ResetForTests();
};

// The lookup of the filter-tree position saved for an address (the storage code provides it; the
// band registers it at start-up). Answers -1 when none is saved; may throw on database errors.
using SavedSelectionLookup = std::int32_t (*)(TmyDOM& session, const std::string& address);
void SetSavedSelectionLookup(SavedSelectionLookup lookup);

// The address of the filter view of entry position `id` of the page session at `window`.
std::string FilterAddress(int window, int id);

// The process-wide switch of the band objects and browser helpers; the band module installs it
// (without one, nothing is switched). FilterSelectionInNewWindow lowers it while it opens its
// window, so that window gets no band.
using BandActiveSwitch = void (*)(bool active);
void SetBandActiveSwitch(BandActiveSwitch set_active);

// The source index of the element that last received the mouse outline, shared by all sessions.
std::int32_t& LastHoverSourceIndex();

// The most recently created page session of the process (the browser helper binds to it).
TmyDOM* CurrentSession();
void SetCurrentSession(TmyDOM* session);

}  // namespace vt
