// Selections set by the display and the text ranges read from them.
#include <gtest/gtest.h>

#include "platform/dom/document.h"

namespace vt::dom {
namespace {

class SelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_ = Document::Create();
    doc_->Load(
        "<body><p id=a>Hello <b>bold</b> world</p><p id=b>Second caf\xC3\xA9 line</p></body>",
        "http://example.com/");
    a_ = doc_->getElementById("a")->sourceIndex();
    b_ = doc_->getElementById("b")->sourceIndex();
  }
  std::shared_ptr<Document> doc_;
  int a_ = 0, b_ = 0;
};

TEST_F(SelectionTest, NothingSelectedIsNoneWithACollapsedRange) {
  EXPECT_EQ(doc_->selection().type(), "None");
  EXPECT_FALSE(doc_->queryCommandEnabled("Copy"));
  auto range = doc_->selection().createRange();
  EXPECT_EQ(range->text(), "");
  EXPECT_EQ(range->htmlText(), "");
}

TEST_F(SelectionTest, TextSelectionAcrossElementsGivesTextAndEnclosingMarkup) {
  // From "lo" in the first paragraph to after "Sec" in the second, given focus-first.
  ASSERT_TRUE(doc_->selection().SetText({b_, 3}, {a_, 3}));
  EXPECT_EQ(doc_->selection().type(), "Text");
  EXPECT_TRUE(doc_->queryCommandEnabled("copy"));
  auto range = doc_->selection().createRange();
  EXPECT_EQ(range->text(), "lo bold world\r\n\r\nSec");
  EXPECT_EQ(range->htmlText(), "<p id=\"a\">lo <b>bold</b> world</p><p id=\"b\">Sec</p>");
  EXPECT_FALSE(doc_->selection().SetText({999, 0}, {a_, 1}));
}

TEST_F(SelectionTest, OffsetsCountCharactersNotBytes) {
  ASSERT_TRUE(doc_->selection().SetText({b_, 10}, {b_, 13}));
  EXPECT_EQ(doc_->selection().createRange()->text(), "\xC3\xA9 l");
}

TEST_F(SelectionTest, ControlSelectionCoversTheElement) {
  auto bold = doc_->tags("b").item(0);
  doc_->selection().SetControl(bold);
  EXPECT_EQ(doc_->selection().type(), "Control");
  EXPECT_EQ(doc_->selection().createRange()->htmlText(), "<b>bold</b>");
  doc_->selection().clear();  // deletes the selected element
  EXPECT_EQ(doc_->selection().type(), "None");
  EXPECT_EQ(doc_->getElementById("a")->innerHTML(), "Hello  world");
}

TEST_F(SelectionTest, ASelectionWhoseNodesLeftTheDocumentIsNone) {
  ASSERT_TRUE(doc_->selection().SetText({a_, 0}, {a_, 5}));
  doc_->body()->setInnerHTML("<p>other</p>");
  EXPECT_EQ(doc_->selection().type(), "None");
  doc_->LoadSource("<body>x</body>");
  EXPECT_EQ(doc_->selection().type(), "None");
}

TEST_F(SelectionTest, FindTextMovesTheRangeToTheMatch) {
  auto range = doc_->CreateBodyRange();
  EXPECT_EQ(range->text(), "Hello bold world\r\n\r\nSecond caf\xC3\xA9 line");
  ASSERT_TRUE(range->findText("BOLD WORLD"));
  EXPECT_EQ(range->text(), "bold world");
  EXPECT_EQ(range->htmlText(), "<b>bold</b> world");
  auto fresh = doc_->CreateBodyRange();
  EXPECT_FALSE(fresh->findText("BOLD", 0, 4));  // match case
  EXPECT_TRUE(fresh->findText("caf\xC3\xA9"));
  EXPECT_EQ(fresh->text(), "caf\xC3\xA9");
  auto words = doc_->CreateBodyRange();
  EXPECT_FALSE(words->findText("Sec", 0, 2));                 // whole words only
  EXPECT_EQ(words->text(), doc_->CreateBodyRange()->text());  // unchanged on failure
}

TEST_F(SelectionTest, PasteHtmlReplacesTheRangeContent) {
  auto range = doc_->CreateBodyRange();
  ASSERT_TRUE(range->findText("bold world"));
  range->pasteHTML("<i>new</i> text");
  // The new mark-up goes where the range started, inside the B element.
  EXPECT_EQ(doc_->getElementById("a")->innerHTML(), "Hello <b><i>new</i> text</b>");
  EXPECT_TRUE(range->collapsed());
  range->pasteHTML("!");
  EXPECT_EQ(doc_->getElementById("a")->innerText(), "Hello new text!");
  EXPECT_EQ(doc_->getElementById("b")->sourceIndex(), b_ + 1);  // the new I element counts
}

}  // namespace
}  // namespace vt::dom
