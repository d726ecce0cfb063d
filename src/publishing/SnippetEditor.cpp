#include "publishing/SnippetEditor.h"

#include "core/myDOM.h"
#include "platform/ado/table.h"
#include "platform/widgets/fonts.h"

namespace vt {

using widgets::Json;
using widgets::ToolButtonStyle;

namespace {

constexpr const char* kEmptyDocument = "<html></html>";

bool AsBool(const Json& v) {
  if (v.is_boolean()) return v.get<bool>();
  if (v.is_number()) return v.get<double>() != 0;
  if (v.is_string()) return v.get<std::string>() == "true";
  return false;
}

bool StatusEnabled(std::uint32_t status) {
  return (status & widgets::kCmdfEnabled) != 0;
}

bool EnabledAndLatched(std::uint32_t status) {
  return (status & (widgets::kCmdfEnabled | widgets::kCmdfLatched)) ==
         (widgets::kCmdfEnabled | widgets::kCmdfLatched);
}

}  // namespace

TfrmEditor::TfrmEditor(TmyDOM& session, std::int32_t snippet_id)
    : Form("frmEditor"),
      MainMenu1("MainMenu1", this),
      pnlControl("pnlControl", this),
      btnSave("btnSave", &pnlControl, "Save"),
      btnUndo("btnUndo", &pnlControl, "Undo"),
      btnRedo("btnRedo", &pnlControl, "Redo"),
      btnUnderline("btnUnderline", &pnlControl, "U", ToolButtonStyle::Check),
      btnItalic("btnItalic", &pnlControl, "I", ToolButtonStyle::Check),
      btnBold("btnBold", &pnlControl, "B", ToolButtonStyle::Check),
      btnColor("btnColor", &pnlControl, "Color"),
      btnNumList("btnNumList", &pnlControl, "1.", ToolButtonStyle::Check),
      btnBullet("btnBullet", &pnlControl, "•", ToolButtonStyle::Check),
      btnDecreaseIndent("btnDecreaseIndent", &pnlControl, "⇤"),
      btnIncreaseIndent("btnIncreaseIndent", &pnlControl, "⇥"),
      btnAlignLeft("btnAlignLeft", &pnlControl, "Left", ToolButtonStyle::Check),
      btnCenter("btnCenter", &pnlControl, "Center", ToolButtonStyle::Check),
      btnAlignRight("btnAlignRight", &pnlControl, "Right", ToolButtonStyle::Check),
      btnHR("btnHR", &pnlControl, "HR"),
      btnImage("btnImage", &pnlControl, "Image"),
      btnCut("btnCut", &pnlControl, "Cut"),
      btnCopy("btnCopy", &pnlControl, "Copy"),
      btnPaste("btnPaste", &pnlControl, "Paste"),
      cbFontStyle("cbFontStyle", &pnlControl, widgets::ComboStyle::DropDownList),
      cbFontSize("cbFontSize", &pnlControl, widgets::ComboStyle::DropDownList),
      cbFontName("cbFontName", &pnlControl, widgets::ComboStyle::DropDownList),
      DHTML("DHTML", this),
      session_(session),
      snippet_id_(snippet_id) {
  SetCaption("Vellumtrace Snippet Editor");
  SetBounds({0, 0, 780, 560});
  MainMenu1.SetAlign(widgets::Align::Top);
  MainMenu1.SetHeight(22);
  pnlControl.SetAlign(widgets::Align::Top);
  pnlControl.SetHeight(30);
  DHTML.SetAlign(widgets::Align::Client);
  BuildToolbar();
  BuildMenu();
  DHTML.SetShowBorders(true);
  DHTML.OnDocumentComplete = [this](widgets::Control&) { DocumentComplete(); };
  DHTML.OnSelectionChange = [this](widgets::Control&) { RefreshToolbar(); };
  DHTML.OnKeyDown = [this](widgets::Control&, widgets::KeyEvent& key) {
    if (key.key == widgets::Key::Escape) {
      key.key = widgets::Key::None;
      Close(widgets::ModalResult::Cancel);
    }
  };
  OnCloseQuery = [this](widgets::Form&, bool& can_close) { CloseQuery(can_close); };
}

TfrmEditor::~TfrmEditor() {
  DHTML.OnDocumentComplete = nullptr;
  DHTML.OnSelectionChange = nullptr;
  DHTML.OnKeyDown = nullptr;
}

void TfrmEditor::BuildToolbar() {
  const std::pair<widgets::ToolButton*, const char*> hints[] = {
      {&btnSave, "Save"},
      {&btnUndo, "Undo"},
      {&btnRedo, "Redo"},
      {&btnUnderline, "Underline"},
      {&btnItalic, "Italic"},
      {&btnBold, "Bold"},
      {&btnColor, "Text color"},
      {&btnNumList, "Numbered list"},
      {&btnBullet, "Bullet list"},
      {&btnDecreaseIndent, "Decrease indent"},
      {&btnIncreaseIndent, "Increase indent"},
      {&btnAlignLeft, "Align left"},
      {&btnCenter, "Center"},
      {&btnAlignRight, "Align right"},
      {&btnHR, "Horizontal line"},
      {&btnImage, "Insert image"},
      {&btnCut, "Cut"},
      {&btnCopy, "Copy"},
      {&btnPaste, "Paste"}};
  for (auto [button, hint] : hints) button->SetHint(hint);
  cbFontStyle.SetHint("Style");
  cbFontSize.SetHint("Font Size");
  cbFontName.SetHint("Font Name");

  cbFontSize.SetSorted(true);
  cbFontSize.SetItems({"1", "2", "3", "4", "5", "6", "7"});
  cbFontName.SetSorted(true);
  cbFontName.SetItems(widgets::InstalledFontFamilies());

  btnSave.OnClick = [this](widgets::Control&) { Save(); };
  btnUndo.OnClick = [this](widgets::Control&) { RunCommand(widgets::kIdmUndo, false, false); };
  btnRedo.OnClick = [this](widgets::Control&) { RunCommand(widgets::kIdmRedo, false, false); };
  btnBold.OnClick = [this](widgets::Control&) { SetValue("Bold", btnBold.Down()); };
  btnItalic.OnClick = [this](widgets::Control&) { SetValue("Italic", btnItalic.Down()); };
  btnUnderline.OnClick = [this](widgets::Control&) { SetValue("Underline", btnUnderline.Down()); };
  btnAlignLeft.OnClick = [this](widgets::Control&) { SetValue("JustifyLeft", true); };
  btnCenter.OnClick = [this](widgets::Control&) { SetValue("JustifyCenter", true); };
  btnAlignRight.OnClick = [this](widgets::Control&) { SetValue("JustifyRight", true); };
  btnColor.OnClick = [this](widgets::Control&) {
    if (ColorDialog1.Execute()) SetValue("ForeColor", ColorDialog1.Color());
  };
  btnNumList.OnClick = [this](widgets::Control&) {
    RunCommand(widgets::kIdmOrderList, false, true);
  };
  btnBullet.OnClick = [this](widgets::Control&) {
    RunCommand(widgets::kIdmUnorderList, false, true);
  };
  btnDecreaseIndent.OnClick = [this](widgets::Control&) {
    RunCommand(widgets::kIdmOutdent, false, false);
  };
  btnIncreaseIndent.OnClick = [this](widgets::Control&) {
    RunCommand(widgets::kIdmIndent, false, false);
  };
  btnHR.OnClick = [this](widgets::Control&) {
    RunCommand(widgets::kIdmHorizontalLine, true, false);
  };
  btnImage.OnClick = [this](widgets::Control&) { RunCommand(widgets::kIdmImage, true, false); };
  btnCut.OnClick = [this](widgets::Control&) { RunEditorCommand(widgets::kDecmdCut); };
  btnCopy.OnClick = [this](widgets::Control&) { RunEditorCommand(widgets::kDecmdCopy); };
  btnPaste.OnClick = [this](widgets::Control&) { RunEditorCommand(widgets::kDecmdPaste); };
  cbFontName.OnChange = [this](widgets::Control&) {
    SetValue("FontName", cbFontName.Text());
    DHTML.SetFocus();
  };
  cbFontSize.OnChange = [this](widgets::Control&) {
    SetValue("FontSize", std::atoi(cbFontSize.Text().c_str()));
    DHTML.SetFocus();
  };
  cbFontStyle.OnChange = [this](widgets::Control&) {
    if (cbFontStyle.ItemIndex() < 0) return;
    DHTML.DOM().Exec(widgets::kIdmBlockFmt, false, cbFontStyle.Text());
    RefreshToolbar();
  };
}

void TfrmEditor::BuildMenu() {
  widgets::MenuItem* file = MainMenu1.Add("File", 0, "File");
  file->Add("&Save Snippet", 0, "SaveSnippet")->OnClick = [this](widgets::Control&) { Save(); };
  file->Add("Exit", 0, "Exit")->OnClick = [this](widgets::Control&) {
    Close(widgets::ModalResult::Cancel);
  };
  widgets::MenuItem* edit = MainMenu1.Add("Edit", 0, "Edit");
  edit->Add("Cu&t", 0, "Cut")->OnClick = [this](widgets::Control&) {
    RunEditorCommand(widgets::kDecmdCut);
  };
  edit->Add("&Copy", 0, "Copy")->OnClick = [this](widgets::Control&) {
    RunEditorCommand(widgets::kDecmdCopy);
  };
  edit->Add("&Paste", 0, "Paste")->OnClick = [this](widgets::Control&) {
    RunEditorCommand(widgets::kDecmdPaste);
  };
}

widgets::ModalResult TfrmEditor::Execute(const std::string& html) {
  DHTML.SetDocumentHTML(html.empty() ? kEmptyDocument : html);
  widgets::ModalResult result = ShowModal();
  // The control goes before the form does.
  DHTML.Hide();
  DHTML.SetBounds({0, 0, 0, 0});
  return result;
}

void TfrmEditor::SetValue(const std::string& name, const Json& wanted) {
  if (!ready_) return;
  widgets::HtmlEditRange range = DHTML.DOM().SelectionRange();
  Json now = range.queryCommandValue(name);
  const bool same = wanted.is_boolean() ? AsBool(now) == wanted.get<bool>() : now == wanted;
  if (!same) range.execCommand(name, false, wanted);
  RefreshToolbar();
}

void TfrmEditor::RunCommand(int command, bool prompt, bool refresh) {
  DHTML.DOM().Exec(command, prompt);
  if (refresh) RefreshToolbar();
}

void TfrmEditor::RunEditorCommand(int command) {
  const std::uint32_t status = DHTML.QueryStatus(command);
  if ((status & 3u) == 3u) DHTML.ExecCommand(command, 0, "");
}

void TfrmEditor::RefreshToolbar() {
  if (!ready_) return;
  widgets::HtmlEditRange range = DHTML.DOM().SelectionRange();
  btnBold.SetDown(AsBool(range.queryCommandValue("Bold")));
  btnItalic.SetDown(AsBool(range.queryCommandValue("Italic")));
  btnUnderline.SetDown(AsBool(range.queryCommandValue("Underline")));
  btnNumList.SetDown(EnabledAndLatched(DHTML.DOM().QueryStatus(widgets::kIdmOrderList)));
  btnBullet.SetDown(EnabledAndLatched(DHTML.DOM().QueryStatus(widgets::kIdmUnorderList)));

  const bool right = AsBool(range.queryCommandValue("JustifyRight"));
  const bool center = !right && AsBool(range.queryCommandValue("JustifyCenter"));
  btnAlignRight.SetDown(right);
  btnCenter.SetDown(center);
  btnAlignLeft.SetDown(!right && !center);

  Json font = range.queryCommandValue("FontName");
  cbFontName.SetItemIndex(font.is_string() ? cbFontName.IndexOf(font.get<std::string>()) : -1);

  Json size = range.queryCommandValue("FontSize");
  int points = size.is_number()   ? size.get<int>()
               : size.is_string() ? std::atoi(size.get<std::string>().c_str())
                                  : 0;
  const std::string size_text = std::to_string(points);
  if (cbFontSize.IndexOf(size_text) < 0) cbFontSize.AddItem(size_text);
  cbFontSize.SetItemIndex(cbFontSize.IndexOf(size_text));

  if (StatusEnabled(DHTML.DOM().QueryStatus(widgets::kIdmBlockFmt))) {
    Json block = DHTML.ExecCommand(widgets::kDecmdGetBlockFmt);
    cbFontStyle.SetItemIndex(block.is_string() ? cbFontStyle.IndexOf(block.get<std::string>())
                                               : -1);
  }
  DHTML.SetFocus();
}

void TfrmEditor::DocumentComplete() {
  ready_ = true;
  if (block_formats_.empty()) {
    Json names = DHTML.DOM().Exec(widgets::kIdmGetBlockFmts, false);
    if (names.is_array()) {
      for (const Json& n : names) {
        if (n.is_string()) block_formats_.push_back(n.get<std::string>());
      }
    }
    cbFontStyle.SetItems(block_formats_);
  }
  RefreshToolbar();
}

bool TfrmEditor::Save() {
  const std::string html = DHTML.DocumentHTML();
  ado::Table* table = session_.SNIPPETS;
  if (!table || !table->Active() || snippet_id_ == 0) return false;
  if (!table->Locate("ID", ado::Variant(static_cast<std::int64_t>(snippet_id_)))) return false;
  table->Edit();
  try {
    table->FieldByName("Snippet").SetValue(ado::Variant(html));
    table->FieldByName("DateModified").SetValue(ado::Variant(ado::DateTime::Now()));
    table->Post();
  } catch (...) {
    table->Cancel();
    throw;
  }
  // What is stored is no longer a change to ask about when the window closes.
  DHTML.MarkClean();
  return true;
}

void TfrmEditor::CloseQuery(bool& can_close) {
  if (!DHTML.IsDirty()) return;
  switch (widgets::MessageBox("The document was modified. Save the changes ?", "Confirm",
                              widgets::MessageIcon::Warning,
                              widgets::MessageButtons::YesNoCancel)) {
    case widgets::ModalResult::Yes:
      Save();
      break;
    case widgets::ModalResult::No:
      break;
    default:
      can_close = false;
      break;
  }
}

widgets::ModalResult OpenSnippetEditor(TmyDOM& session, std::int32_t snippet_id) {
  std::string html;
  ado::Table* table = session.SNIPPETS;
  if (snippet_id != 0 && table && table->Active() &&
      table->Locate("ID", ado::Variant(static_cast<std::int64_t>(snippet_id)))) {
    html = table->FieldByName("Snippet").AsString();
  }
  widgets::ModalResult result;
  {
    TfrmEditor editor(session, snippet_id);
    result = editor.Execute(html);
  }
  if (session.SnippetTree && session.SnippetTree->CanFocus()) session.SnippetTree->SetFocus();
  return result;
}

}  // namespace vt
