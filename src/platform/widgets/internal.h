#pragma once
// Helpers shared by the widget implementations; not part of the library's interface.

namespace vt::widgets::detail {

// Raises a flag for the lifetime of the object and then restores the value it found.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = old_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace vt::widgets::detail
