#include "platform/widgets/commondialogs.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vt::widgets {

std::string ColorToHex(ColorRef color) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                (color >> 16) & 0xFF);
  return buf;
}

bool ColorFromHex(const std::string& text, ColorRef& color) {
  if (text.size() != 7 || text[0] != '#') return false;
  unsigned value = 0;
  for (size_t i = 1; i < 7; ++i) {
    char c = text[i];
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * 16 + d;
  }
  // value is 0xRRGGBB; a colour value keeps red in the low byte.
  color = ((value >> 16) & 0xFF) | (value & 0xFF00) | ((value & 0xFF) << 16);
  return true;
}

namespace {
// "close" input of a common dialog: true when it confirmed (then `take` reads the values).
template <class Take>
bool CloseWith(Form& form, const Json& input, Take take) {
  ModalResult result = ModalResultFromName(JsonString(input, "result", "cancel"));
  if (result == ModalResult::Ok && !take()) return false;  // malformed values: stays open
  form.Close(result == ModalResult::Ok ? ModalResult::Ok : ModalResult::Cancel);
  return true;
}
}  // namespace

// ---- FontDialog ----

FontDialog::FontDialog(std::string name) : Form("fontdialog", std::move(name), nullptr) {
  SetCaption("Font");
  SetBounds({0, 0, 360, 230});
}

void FontDialog::SetFamily(const std::string& family) {
  family_ = family;
  Changed();
}

void FontDialog::SetSize(int points) {
  size_ = points;
  Changed();
}

void FontDialog::SetColor(ColorRef color) {
  color_ = color & 0xFFFFFF;
  Changed();
}

void FontDialog::DescribeState(Json& out) const {
  Form::DescribeState(out);
  out["family"] = family_;
  out["size"] = size_;
  out["color"] = ColorToHex(color_);
}

bool FontDialog::HandleOwnInput(const std::string& type, const Json& input) {
  if (type != "close") return Form::HandleOwnInput(type, input);
  return CloseWith(*this, input, [&] {
    std::string family = JsonString(input, "family", family_);
    int size = JsonInt(input, "size", size_);
    ColorRef color = color_;
    if (input.contains("color") && !ColorFromHex(JsonString(input, "color"), color)) return false;
    if (family.empty() || size < 1 || size > 1638) return false;
    family_ = family;
    size_ = size;
    color_ = color;
    return true;
  });
}

// ---- ColorDialog ----

ColorDialog::ColorDialog(std::string name) : Form("colordialog", std::move(name), nullptr) {}

void ColorDialog::SetColor(ColorRef color) {
  color_ = color & 0xFFFFFF;
  Changed();
}

void ColorDialog::DescribeState(Json& out) const {
  Form::DescribeState(out);
  out["color"] = ColorToHex(color_);
}

bool ColorDialog::HandleOwnInput(const std::string& type, const Json& input) {
  if (type != "close") return Form::HandleOwnInput(type, input);
  return CloseWith(*this, input, [&] {
    ColorRef color = color_;
    if (input.contains("color") && !ColorFromHex(JsonString(input, "color"), color)) return false;
    color_ = color;
    return true;
  });
}

// ---- FolderDialog ----

FolderDialog::FolderDialog(std::string name) : Form("folderdialog", std::move(name), nullptr) {
  SetBounds({0, 0, 420, 360});
}

void FolderDialog::SetFolder(const std::string& folder) {
  folder_ = folder;
  Changed();
}

namespace {
bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}
}  // namespace

void FolderDialog::DescribeState(Json& out) const {
  namespace fs = std::filesystem;
  Form::DescribeState(out);
  out["folder"] = folder_;
  Json subfolders = Json::array();
  std::string parent;
  if (IsFolder(folder_)) {
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code type_ec;
      std::string name = it->path().filename().string();
      if (name.empty() || name[0] == '.' || !it->is_directory(type_ec)) continue;
      names.push_back(name);
      if (names.size() >= 500) break;
    }
    std::sort(names.begin(), names.end());
    for (auto& n : names) subfolders.push_back(n);
    fs::path p = fs::path(folder_);
    if (p.has_relative_path() && p.filename().empty()) p = p.parent_path();
    if (p != p.root_path()) parent = p.parent_path().string();
  }
  out["subfolders"] = std::move(subfolders);
  out["parentFolder"] = parent;
}

bool FolderDialog::HandleOwnInput(const std::string& type, const Json& input) {
  if (type == "browse") {
    std::string folder = JsonString(input, "folder");
    if (!IsFolder(folder)) return false;
    SetFolder(folder);
    return true;
  }
  if (type != "close") return Form::HandleOwnInput(type, input);
  return CloseWith(*this, input, [&] {
    std::string folder = JsonString(input, "folder", folder_);
    if (!IsFolder(folder)) return false;
    folder_ = folder;
    return true;
  });
}

}  // namespace vt::widgets
