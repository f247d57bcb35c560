// Dialog session scripts (`--ui FILE`) and the lines a person types in an interactive session
// are user text: the line reader may refuse them with a reason but never crash, and an action
// it accepts, written back in the script's own words, must read back as the same action.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "plughost/ui_script.h"

namespace {

using plughost::UiAction;

std::string Format(const UiAction& a) {
  using K = UiAction::Kind;
  std::string s = a.busy ? "busy " : "";
  const std::string id = std::to_string(a.id);
  switch (a.kind) {
    case K::Press: return s + "press " + id;
    case K::Read: return s + "read " + id;
    case K::List: return s + "list " + id;
    case K::Place: return s + "place " + id;
    case K::Tip: return s + "tip " + id;
    case K::Set: return s + "set " + id + " " + a.text;
    case K::Pick: return s + "pick " + id + " " + std::to_string(a.value);
    case K::Mouse: {
      s += "mouse " + id + (a.value == QM_MOUSE_DOWN ? " down " : a.value == QM_MOUSE_MOVE ? " move " : " up ");
      s += std::to_string(a.x) + " " + std::to_string(a.y);
      if (a.keys & QM_KEY_CTRL) s += " ctrl";
      if (a.keys & QM_KEY_SHIFT) s += " shift";
      return s;
    }
    case K::Size: return s + "size " + std::to_string(a.x) + " " + std::to_string(a.y);
    case K::Move: return s + "move " + id + " " + std::to_string(a.x) + " " + std::to_string(a.y);
    case K::Shot: return s + "shot " + a.text;
    case K::Key: return s + "key " + (a.value == plughost::kUiKeyTab ? "tab" : a.value == plughost::kUiKeyEscape ? "escape" : "enter");
    case K::Focus: return s + "focus";
    case K::Close: return s + "close";
    case K::Default: return s + "default";
  }
  __builtin_trap();
}

bool Same(const UiAction& a, const UiAction& b) {
  return a.kind == b.kind && a.id == b.id && a.value == b.value && a.x == b.x && a.y == b.y && a.keys == b.keys &&
         a.text == b.text && a.busy == b.busy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    std::optional<UiAction> a;
    std::string why;
    if (!plughost::ParseUiLine(line, a, why)) {
      if (why.empty()) __builtin_trap();  // every refusal says why
      continue;
    }
    if (!a) continue;
    std::optional<UiAction> back;
    if (!plughost::ParseUiLine(Format(*a), back, why) || !back || !Same(*a, *back)) __builtin_trap();
  }
  return 0;
}
