#pragma once
// TfrmEditor: the snippet editor, a modal window in which the user edits one snippet's page as
// rich text and stores it back into the snippet's Snippet column. The tool bar and the menus
// drive the HTML edit control's commands; the tool bar follows the formatting at the caret; the
// window asks before it drops changes.
//
// UI thread only. The editor lives for one modal showing (OpenSnippetEditor); the page session
// it is given must outlive it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/widgets/commondialogs.h"
#include "platform/widgets/containers.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/htmledit.h"
#include "platform/widgets/menu.h"
#include "platform/widgets/standard.h"

namespace vt {

class TmyDOM;

class TfrmEditor : public widgets::Form {
 public:
  TfrmEditor(TmyDOM& session, std::int32_t snippet_id);
  ~TfrmEditor() override;

  // Loads the snippet's page (the empty text becomes "<html></html>") and shows the editor
  // modally. Answers how it closed.
  widgets::ModalResult Execute(const std::string& html);

  // Stores the document into the snippet's row, with DateModified now; nothing when the row is
  // gone. Answers whether a row was written.
  bool Save();
  void RefreshToolbar();
  bool Ready() const { return ready_; }
  const std::vector<std::string>& BlockFormats() const { return block_formats_; }

  widgets::MainMenu MainMenu1;
  widgets::ToolBar pnlControl;
  widgets::ToolButton btnSave, btnUndo, btnRedo, btnUnderline, btnItalic, btnBold, btnColor,
      btnNumList, btnBullet, btnDecreaseIndent, btnIncreaseIndent, btnAlignLeft, btnCenter,
      btnAlignRight, btnHR, btnImage, btnCut, btnCopy, btnPaste;
  widgets::ComboBox cbFontStyle, cbFontSize, cbFontName;
  widgets::HtmlEdit DHTML;
  widgets::ColorDialog ColorDialog1;

 private:
  void BuildToolbar();
  void BuildMenu();
  // Sets a formatting value on the selection when it differs, then refreshes the tool bar.
  void SetValue(const std::string& name, const widgets::Json& wanted);
  void RunCommand(int command, bool prompt, bool refresh);
  void RunEditorCommand(int command);
  void DocumentComplete();
  void CloseQuery(bool& can_close);

  TmyDOM& session_;
  std::int32_t snippet_id_;
  bool ready_ = false;
  std::vector<std::string> block_formats_;
};

// Opens the editor on the snippet with that ID (0: no snippet focused, which edits an empty page
// that cannot be stored), modally; answers how it closed.
widgets::ModalResult OpenSnippetEditor(TmyDOM& session, std::int32_t snippet_id);

}  // namespace vt
