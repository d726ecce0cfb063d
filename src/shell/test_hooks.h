#pragma once
// What the diagnostics of the display tests keep (shell_debug.cpp).
#include <memory>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/com/dispatch.h"
#include "platform/dom/document.h"
#include "shell/shell.h"

namespace vt::shell {

struct Shell::TestHooks {
  // Each sink call: event, browser, si, tag, id, text, t (ms of a steady clock).
  std::shared_ptr<nlohmann::json> calls = std::make_shared<nlohmann::json>(nlohmann::json::array());
  std::vector<std::pair<std::weak_ptr<dom::Document>, com::ComPtr<com::IDispatch>>> sinks;
};

}  // namespace vt::shell
