#include "platform/widgets/dialogs.h"

#include <gtest/gtest.h>

#include "platform/widgets/menu.h"

namespace vt::widgets {
namespace {

TEST(MessageBoxTest, WithoutADisplayTheDefaultButtonAnswers) {
  ClearMessageLog();
  EXPECT_EQ(MessageBox("Delete?", "Confirm", MessageIcon::Warning, MessageButtons::YesNo),
            ModalResult::Yes);
  EXPECT_EQ(MessageBox("Sure?", "Confirm", MessageIcon::Question, MessageButtons::YesNoCancel,
                       ModalResult::Cancel),
            ModalResult::Cancel);
  // A default that is not one of the buttons falls back to the first button.
  EXPECT_EQ(MessageBox("x", "c", MessageIcon::None, MessageButtons::OkCancel, ModalResult::Yes),
            ModalResult::Ok);
  ASSERT_EQ(MessageLog().size(), 3u);
  EXPECT_EQ(MessageLog()[1].answer, ModalResult::Cancel);
}

TEST(MessageBoxTest, ScriptedAnswersPlayInTurnThenTheDefault) {
  ScriptedAnswers answers({ModalResult::No, ModalResult::Cancel});
  EXPECT_EQ(MessageBox("Delete selected snippets and all snippets below it?", "Confirm",
                       MessageIcon::Warning, MessageButtons::YesNo),
            ModalResult::No);
  // Cancel is not a button of a Yes/No box: the box stays unanswered and closes as Cancel.
  EXPECT_EQ(MessageBox("again?", "Confirm", MessageIcon::Warning, MessageButtons::YesNo),
            ModalResult::Cancel);
  EXPECT_EQ(MessageBox("third", "Confirm", MessageIcon::Warning, MessageButtons::YesNo),
            ModalResult::Yes);
  ASSERT_EQ(answers.Shown().size(), 3u);
  EXPECT_EQ(answers.Shown()[0].text, "Delete selected snippets and all snippets below it?");
  EXPECT_EQ(answers.Shown()[0].caption, "Confirm");
}

TEST(MessageBoxTest, DisplayAnswersThroughInputInsideTheNestedLoop) {
  UseDisplayForModals(true);
  int loops = 0;
  // A stand-in loop: the "display" answers on the second turn.
  SetModalLoop([&](const std::function<bool()>& done) {
    while (!done()) {
      ++loops;
      if (loops == 2) {
        for (Control* c : TopLevelControls()) {
          if (c->Kind() != "messagebox" || !c->Visible()) continue;
          Json d = c->Describe();
          EXPECT_EQ(d["text"], "The document was modified. Save the changes ?");
          EXPECT_EQ(d["buttons"], Json::array({"yes", "no", "cancel"}));
          EXPECT_FALSE(c->HandleInput({{"type", "answer"}, {"button", "ok"}}));
          EXPECT_TRUE(c->HandleInput({{"type", "answer"}, {"button", "no"}}));
        }
      }
    }
  });
  ModalResult r = MessageBox("The document was modified. Save the changes ?", "Confirm",
                             MessageIcon::Warning, MessageButtons::YesNoCancel);
  UseDisplayForModals(false);
  SetModalLoop(nullptr);
  EXPECT_EQ(r, ModalResult::No);
  EXPECT_EQ(loops, 2);
}

TEST(FormTest, CloseQueryCanKeepAModalFormOpen) {
  Form editor("TfrmEditor");
  editor.SetCaption("Vellumtrace Snippet Editor");
  int asked = 0;
  editor.OnCloseQuery = [&](Form&, bool& can_close) { can_close = ++asked > 1; };
  std::vector<std::string> events;
  editor.OnShow = [&](Control&) { events.push_back("show"); };
  editor.OnClose = [&](Control&) { events.push_back("close"); };
  ScopedModalScript script([&](Form& f) {
    EXPECT_TRUE(f.Visible());
    EXPECT_FALSE(f.Close(ModalResult::Ok));  // refused
    EXPECT_TRUE(f.HandleInput({{"type", "close"}, {"result", "ok"}}));
  });
  EXPECT_EQ(editor.ShowModal(), ModalResult::Ok);
  EXPECT_FALSE(editor.Visible());
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(events, (std::vector<std::string>{"show", "close"}));
}

TEST(FormTest, WhileAModalFormShowsOtherWindowsIgnoreInput) {
  Control band("button", "Rescan");
  PopupMenu popup("Popup_IE_Filter");
  Form dialog("TfrmSettings");
  Control inside("button", "OK", &dialog);
  int band_clicks = 0, inside_clicks = 0;
  band.OnClick = [&](Control&) { ++band_clicks; };
  inside.OnClick = [&](Control&) { ++inside_clicks; };
  ScopedModalScript script([&](Form& f) {
    EXPECT_EQ(ActiveModalForm(), &f);
    EXPECT_FALSE(band.HandleInput({{"type", "click"}}));
    EXPECT_TRUE(inside.HandleInput({{"type", "click"}}));
    EXPECT_TRUE(popup.HandleInput({{"type", "dismiss"}}));
    f.Close(ModalResult::Ok);
  });
  dialog.ShowModal();
  EXPECT_EQ(band_clicks, 0);
  EXPECT_EQ(inside_clicks, 1);
  EXPECT_EQ(ActiveModalForm(), nullptr);
  EXPECT_TRUE(band.HandleInput({{"type", "click"}}));
}

TEST(FormTest, AFormNobodyAnswersClosesAsCancel) {
  Form about("TAboutBox");
  EXPECT_EQ(about.ShowModal(), ModalResult::Cancel);
  ScopedModalScript script([](Form&) {});
  EXPECT_EQ(about.ShowModal(), ModalResult::Cancel);
}

}  // namespace
}  // namespace vt::widgets
