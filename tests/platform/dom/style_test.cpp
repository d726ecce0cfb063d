// Inline border styles as the page marks use them.
#include <gtest/gtest.h>

#include "platform/dom/document.h"
#include "platform/dom/style.h"

namespace vt::dom {
namespace {

class StyleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_ = Document::Create();
    doc_->Load("<body><div id=d>y</div></body>", "http://example.com/");
    cell_ = doc_->getElementById("d");
  }
  std::shared_ptr<Document> doc_;
  ElementPtr cell_;
};

TEST_F(StyleTest, ShorthandReadsBackAsItsParts) {
  auto s = cell_->style();
  s.setBorder("solid red 2px");
  EXPECT_EQ(s.borderWidth(), "2px");
  EXPECT_EQ(s.borderStyle(), "solid");
  EXPECT_EQ(s.borderColor(), "red");
  EXPECT_EQ(s.border(), "2px solid red");
  EXPECT_EQ(cell_->getAttribute("style"), "border: 2px solid red;");
}

TEST_F(StyleTest, PartsAreWrittenInPlaceKeepingOtherDeclarations) {
  auto p = cell_;
  p->setAttribute("style", "color: blue;BORDER-WIDTH:3px;font-weight:bold");
  auto s = p->style();
  EXPECT_EQ(s.borderWidth(), "3px");
  s.setBorderWidth("1px");
  s.setBorderColor("#606060");
  s.setBorderStyle("Solid");
  EXPECT_EQ(p->getAttribute("style"), "color: blue; border: 1px solid #606060; font-weight: bold;");
  s.setBorderWidth("0");  // a bare number is in pixels
  EXPECT_EQ(s.borderWidth(), "0px");
  EXPECT_EQ(s.getPropertyValue("COLOR"), "blue");
}

TEST_F(StyleTest, ClearingTheBorderRemovesEveryBorderDeclaration) {
  cell_->setAttribute("style", "border-top: 1px dotted; border: solid red 2px; margin: 0");
  auto s = cell_->style();
  s.setBorder("");
  EXPECT_EQ(cell_->getAttribute("style"), "margin: 0;");
  EXPECT_EQ(s.border(), "");
  s.setBorderWidth("0");
  EXPECT_EQ(cell_->getAttribute("style"), "margin: 0; border-width: 0px;");
}

TEST_F(StyleTest, BorderChangesAreReportedAsStyleChanges) {
  std::vector<Change> seen;
  doc_->AddObserver([&](const Change& c) { seen.push_back(c); });
  cell_->style().setBorder("solid red 2px");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].kind, Change::Kind::kAttribute);
  EXPECT_EQ(seen[0].name, "style");
  EXPECT_EQ(seen[0].element, cell_.get());
  // Writing the same value again changes nothing.
  cell_->style().setBorder("solid red 2px");
  EXPECT_EQ(seen.size(), 1u);
}

}  // namespace
}  // namespace vt::dom
