#include "publishing/SnippetEditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../search/test_program.h"
#include "platform/ado/table.h"

namespace vt {
namespace {

using widgets::Json;
using widgets::ModalResult;

// Plays the display's editing engine: the formatting at the caret is `caret`, commands are
// recorded, and a command may change the document.
struct FakeEngine {
  Json caret = {{"Bold", false},          {"Italic", false},        {"Underline", false},
                {"JustifyLeft", true},    {"JustifyCenter", false}, {"JustifyRight", false},
                {"FontName", "Serif"},    {"FontSize", 3},          {"status:2184", 3},
                {"status:2185", 7},       {"status:2234", 3},       {"blockFormat", "Paragraph"},
                {"editorStatus:5002", 3}, {"editorStatus:5003", 1}, {"editorStatus:5032", 3}};
  std::vector<std::string> calls;
  std::string html_after_command;

  widgets::HtmlEdit::ScopedResponder Install() {
    return widgets::HtmlEdit::ScopedResponder(
        [this](widgets::HtmlEdit& edit, const std::string& op, const Json& args) -> Json {
          calls.push_back(op + " " + args.dump());
          if (op == "exec" && args["command"] == widgets::kIdmGetBlockFmts)
            return Json::array({"Normal", "Paragraph", "Heading 1"});
          if (op == "exec" || op == "rangeExec" || op == "editorExec") {
            if (!html_after_command.empty()) edit.ReportDocument(html_after_command);
            return {{"value", true}, {"caret", caret}};
          }
          return nullptr;  // every other question is answered from the caret state
        });
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& c : calls) n += c.rfind(prefix, 0) == 0;
    return n;
  }
};

class SnippetEditorTest : public ::testing::Test {
 protected:
  int AddSnippet(const std::string& markup) {
    ado::Table& snippets = *program_.Session().SNIPPETS;
    snippets.Insert();
    snippets.FieldByName("Name").SetValue(std::string("Kept"));
    snippets.FieldByName("Snippet").SetValue(markup);
    snippets.FieldByName("DateCreated").SetValue(*ado::DateTime::Parse("2020-01-02 03:04:05"));
    snippets.Post();
    return static_cast<int>(snippets.FieldByName("ID").AsInteger());
  }
  std::string Column(int id, const std::string& column) {
    ado::Table& snippets = *program_.Session().SNIPPETS;
    EXPECT_TRUE(snippets.Locate("ID", ado::Variant(static_cast<std::int64_t>(id))));
    return snippets.FieldByName(column).AsString();
  }
  // Shows the editor on `id`; `user` plays the user once the document is loaded, and message
  // boxes are answered from `answers` in turn.
  ModalResult Edit(int id, const std::function<void(TfrmEditor&)>& user,
                   std::vector<ModalResult> answers = {}) {
    size_t next = 0;
    widgets::ScopedModalScript script([&](widgets::Form& form) {
      if (auto* box = dynamic_cast<widgets::MessageDialog*>(&form)) {
        questions_.push_back(box->Text());
        box->Answer(next < answers.size() ? answers[next++] : ModalResult::Cancel);
        return;
      }
      auto& editor = dynamic_cast<TfrmEditor&>(form);
      shown_html_ = editor.DHTML.DocumentHTML();
      editor.DHTML.HandleInput({{"type", "loaded"}, {"generation", 1}, {"caret", engine_.caret}});
      user(editor);
    });
    return OpenSnippetEditor(program_.Session(), id);
  }
  static void Click(widgets::Control& c) { c.HandleInput({{"type", "click"}}); }

  testing::TestProgram program_;
  FakeEngine engine_;
  std::vector<std::string> questions_;
  std::string shown_html_;
};

TEST_F(SnippetEditorTest, SaveStoresTheEditedPageAndDateModifiedButKeepsDateCreated) {
  auto responder = engine_.Install();
  const int id = AddSnippet("");
  Edit(id, [&](TfrmEditor& editor) {
    EXPECT_TRUE(editor.Ready());
    EXPECT_EQ(editor.cbFontStyle.Items(),
              (std::vector<std::string>{"Normal", "Paragraph", "Heading 1"}));
    EXPECT_EQ(editor.cbFontStyle.Text(), "Paragraph");
    editor.DHTML.HandleInput({{"type", "document"},
                              {"generation", 1},
                              {"html", "<html><head></head><body><b>word</b></body></html>"}});
    EXPECT_TRUE(editor.DHTML.IsDirty());
    Click(editor.btnSave);
    EXPECT_FALSE(editor.DHTML.IsDirty()) << "what is stored is not asked about again";
    editor.Close(ModalResult::Cancel);
  });
  EXPECT_EQ(shown_html_, "<html></html>") << "an empty snippet opens as the empty document";
  EXPECT_EQ(Column(id, "Snippet"), "<html><head></head><body><b>word</b></body></html>");
  EXPECT_FALSE(Column(id, "DateModified").empty());
  EXPECT_EQ(Column(id, "DateCreated"), "2020-01-02 03:04:05");
  EXPECT_TRUE(questions_.empty());
}

TEST_F(SnippetEditorTest, ClosingAfterAnEditAsksAndCancelKeepsTheWindowAndTheEdit) {
  auto responder = engine_.Install();
  const int id = AddSnippet("<p>old</p>");
  const std::string edited = "<html><head></head><body><p>new</p></body></html>";
  auto change = [&](TfrmEditor& editor) {
    editor.DHTML.HandleInput({{"type", "document"}, {"generation", 1}, {"html", edited}});
  };

  Edit(id,
       [&](TfrmEditor& editor) {
         change(editor);
         EXPECT_FALSE(editor.Close(ModalResult::Cancel)) << "Cancel keeps the editor open";
         EXPECT_TRUE(editor.DHTML.IsDirty());
         EXPECT_TRUE(editor.Close(ModalResult::Cancel)) << "No closes";
       },
       {ModalResult::Cancel, ModalResult::No});
  EXPECT_EQ(questions_,
            (std::vector<std::string>(2, "The document was modified. Save the changes ?")));
  EXPECT_EQ(Column(id, "Snippet"), "<p>old</p>") << "No closes without saving";

  Edit(id,
       [&](TfrmEditor& editor) {
         change(editor);
         EXPECT_TRUE(editor.Close(ModalResult::Cancel));
       },
       {ModalResult::Yes});
  EXPECT_EQ(Column(id, "Snippet"), edited) << "Yes saves";
}

TEST_F(SnippetEditorTest, FormattingIsSentOnlyWhenItDiffersFromTheCaret) {
  auto responder = engine_.Install();
  const int id = AddSnippet("<p>a <b>bold</b> word</p>");
  Edit(id, [&](TfrmEditor& editor) {
    EXPECT_FALSE(editor.btnBold.Down());
    Click(editor.btnBold);  // goes down: bold is off at the caret, so it is set
    EXPECT_EQ(engine_.Count("rangeExec {\"name\":\"Bold\""), 1);

    engine_.caret["Bold"] = true;
    editor.DHTML.HandleInput({{"type", "selectionchange"}, {"caret", engine_.caret}});
    EXPECT_TRUE(editor.btnBold.Down()) << "the button follows the caret";
    Click(editor.btnBold);  // released over bold text: bold is removed
    EXPECT_EQ(engine_.Count("rangeExec {\"name\":\"Bold\""), 2);
    EXPECT_EQ(engine_.calls.back().find("\"value\":false") != std::string::npos, true);

    // Italic is off and the button, clicked twice, ends up off again: nothing to change.
    editor.btnItalic.SetDown(true);
    Click(editor.btnItalic);
    EXPECT_EQ(engine_.Count("rangeExec {\"name\":\"Italic\""), 0);
    editor.Close(ModalResult::Cancel);
  });
}

TEST_F(SnippetEditorTest, ToolbarFollowsTheCaretAndMixedSizesAddZero) {
  auto responder = engine_.Install();
  const int id = AddSnippet("<p>x</p>");
  Edit(id, [&](TfrmEditor& editor) {
    EXPECT_FALSE(editor.btnNumList.Down()) << "enabled but not latched";
    EXPECT_TRUE(editor.btnBullet.Down());
    EXPECT_TRUE(editor.btnAlignLeft.Down());
    EXPECT_EQ(editor.cbFontSize.Text(), "3");

    engine_.caret["FontSize"] = nullptr;  // a selection of mixed sizes
    engine_.caret["JustifyCenter"] = true;
    engine_.caret["FontName"] = "No Such Font Family";
    editor.DHTML.HandleInput({{"type", "selectionchange"}, {"caret", engine_.caret}});
    EXPECT_EQ(editor.cbFontSize.Items(),
              (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(editor.cbFontSize.Text(), "0");
    EXPECT_TRUE(editor.btnCenter.Down());
    EXPECT_FALSE(editor.btnAlignLeft.Down());
    EXPECT_EQ(editor.cbFontName.ItemIndex(), -1);
    editor.Close(ModalResult::Cancel);
  });
}

TEST_F(SnippetEditorTest, ClipboardCommandsRunOnlyWhenEnabledAndSavingADeletedSnippetDoesNothing) {
  auto responder = engine_.Install();
  const int id = AddSnippet("<p>x</p>");
  Edit(id, [&](TfrmEditor& editor) {
    Click(editor.btnCopy);   // status 3: runs
    Click(editor.btnCut);    // status 1: supported, not enabled
    Click(editor.btnPaste);  // status 3: runs
    EXPECT_EQ(engine_.Count("editorExec {\"command\":5002"), 1);
    EXPECT_EQ(engine_.Count("editorExec {\"command\":5003"), 0);
    EXPECT_EQ(engine_.Count("editorExec {\"command\":5032"), 1);

    program_.Session().Connection->Execute("DELETE FROM SNIPPETS");
    program_.Session().SNIPPETS->Requery();
    editor.DHTML.HandleInput({{"type", "document"}, {"generation", 1}, {"html", "<p>y</p>"}});
    EXPECT_FALSE(editor.Save());
    EXPECT_TRUE(questions_.empty()) << "nothing is reported";
    editor.DHTML.MarkClean();
    editor.Close(ModalResult::Cancel);
  });
  EXPECT_EQ(program_.Count("SNIPPETS"), 0);
}

// The control's requests wait for the display in the nested loop and are answered by id; a
// display that never answers gives null once the reply time is over.
TEST(HtmlEditRequests, AreAnsweredThroughTheDisplayOrGiveUpAfterTheReplyTime) {
  widgets::HtmlEdit edit("DHTML");
  edit.SetDocumentHTML("<p>x</p>");
  widgets::UseDisplayForModals(true);
  int turns = 0;
  bool answer = true;
  widgets::SetModalLoop([&](const std::function<bool()>& done) {
    while (!done()) {
      ++turns;
      Json state = edit.Describe();
      ASSERT_EQ(state["requests"].size(), 1u);
      const Json request = state["requests"][0];
      EXPECT_EQ(request["op"], "rangeValue");
      if (!answer) continue;  // the display stays silent; the reply time runs out
      edit.HandleInput({{"type", "answer"}, {"request", request["id"]}, {"value", "Serif"}});
    }
  });
  EXPECT_EQ(edit.DOM().SelectionRange().queryCommandValue("FontName"), "Serif");
  EXPECT_EQ(turns, 1);
  EXPECT_TRUE(edit.Describe()["requests"].empty());

  answer = false;
  widgets::HtmlEdit::SetReplyTimeout(std::chrono::milliseconds(30));
  EXPECT_TRUE(edit.DOM().SelectionRange().queryCommandValue("FontName").is_null());
  EXPECT_FALSE(edit.HandleInput({{"type", "answer"}, {"request", 1}, {"value", "late"}}));
  widgets::HtmlEdit::SetReplyTimeout(std::chrono::milliseconds(5000));
  widgets::SetModalLoop(nullptr);
  widgets::UseDisplayForModals(false);
}

}  // namespace
}  // namespace vt
