#pragma once
// The common dialogs: font, colour and folder choosers. Each is a modal form; Execute shows it
// and answers true when the user confirmed, and then the chosen values are in the dialog.
// The display closes them with input "close {result: "ok"|"cancel", ...values}" where the values
// are those of Describe ("family", "size", "color", "folder"). Without a display they cancel.

#include <cstdint>
#include <string>

#include "platform/widgets/dialogs.h"

namespace vt::widgets {

// Colours are 0x00BBGGRR: red in the low byte.
using ColorRef = std::uint32_t;

class FontDialog : public Form {
 public:
  explicit FontDialog(std::string name = "FontDialog1");
  bool Execute() { return ShowModal() == ModalResult::Ok; }
  const std::string& Family() const { return family_; }
  void SetFamily(const std::string& family);
  int Size() const { return size_; }  // points
  void SetSize(int points);
  ColorRef Color() const { return color_; }
  void SetColor(ColorRef color);

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;

 private:
  std::string family_ = "Arial";
  int size_ = 12;
  ColorRef color_ = 0;
};

class ColorDialog : public Form {
 public:
  explicit ColorDialog(std::string name = "ColorDialog1");
  bool Execute() { return ShowModal() == ModalResult::Ok; }
  ColorRef Color() const { return color_; }
  void SetColor(ColorRef color);

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;

 private:
  ColorRef color_ = 0;
};

// The display has no access to the file system, so the dialog lists the sub-folders of the
// selected folder for it (at most 500, hidden ones left out) and follows "browse {folder}".
class FolderDialog : public Form {
 public:
  explicit FolderDialog(std::string name = "FolderDialog1");
  bool Execute() { return ShowModal() == ModalResult::Ok; }
  // The folder shown selected when the dialog opens, and the chosen one after.
  const std::string& Folder() const { return folder_; }
  void SetFolder(const std::string& folder);
  const std::string& Title() const { return Caption(); }
  void SetTitle(const std::string& title) { SetCaption(title); }

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;

 private:
  std::string folder_;
};

// "#RRGGBB" for a colour value, and back (nullopt-like: false when the text is not a colour).
std::string ColorToHex(ColorRef color);
bool ColorFromHex(const std::string& text, ColorRef& color);

}  // namespace vt::widgets
