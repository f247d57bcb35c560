#include "plughost/ui_script.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/resources.h"

namespace plughost {
namespace {

bool ParseNumber(const std::string& s, int32_t& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno || *end || v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool IsTextless(int32_t kind) {
  // Bitmaps and icons show no text a user reads.
  return kind == static_cast<int32_t>(qm::res::ItemKind::Icon) || kind == static_cast<int32_t>(qm::res::ItemKind::Bitmap);
}

const QmHeadlessItem* FindItem(const QmHeadlessDialog& d, int32_t id) {
  for (int32_t i = 0; i < d.itemCount; ++i)
    if (d.items[i].id == id) return &d.items[i];
  return nullptr;
}

}  // namespace

bool ParseUiLine(const std::string& raw, std::optional<UiAction>& action, std::string& why) {
  action.reset();
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos || line[first] == '#') return true;
  line = line.substr(first);

  UiAction a;
  auto word = [&line]() {
    const size_t end = line.find_first_of(" \t");
    std::string w = line.substr(0, end);
    line = end == std::string::npos ? std::string() : line.substr(end);
    const size_t next = line.find_first_not_of(" \t");
    line = next == std::string::npos ? std::string() : line.substr(next);
    return w;
  };
  std::string verb = word();
  if (verb == "busy") {
    a.busy = true;
    verb = word();
  }
  auto number = [&](const char* what, int32_t& out) {
    const std::string w = word();
    if (ParseNumber(w, out)) return true;
    why = verb + " needs " + what + (w.empty() ? "" : ", not \"" + w + "\"");
    return false;
  };
  using K = UiAction::Kind;
  if (verb == "press" || verb == "read" || verb == "list" || verb == "place" || verb == "tip") {
    a.kind = verb == "press" ? K::Press : verb == "read" ? K::Read : verb == "list" ? K::List
           : verb == "tip" ? K::Tip : K::Place;
    if (!number("a control id", a.id)) return false;
  } else if (verb == "set") {
    a.kind = K::Set;
    // The text is the rest of the line after one separator, kept as typed.
    const size_t end = line.find_first_of(" \t");
    if (!ParseNumber(line.substr(0, end), a.id)) {
      why = "set needs a control id";
      return false;
    }
    a.text = end == std::string::npos ? std::string() : line.substr(end + 1);
    line.clear();
  } else if (verb == "pick") {
    a.kind = K::Pick;
    if (!number("a control id", a.id) || !number("an entry number", a.value)) return false;
    if (a.value < 0) {
      why = "pick numbers entries from 0";
      return false;
    }
  } else if (verb == "mouse") {
    a.kind = K::Mouse;
    if (!number("a control id", a.id)) return false;
    const std::string e = word();
    if (e == "down") a.value = QM_MOUSE_DOWN;
    else if (e == "move") a.value = QM_MOUSE_MOVE;
    else if (e == "up") a.value = QM_MOUSE_UP;
    else {
      why = "mouse takes down, move or up";
      return false;
    }
    if (!number("x", a.x) || !number("y", a.y)) return false;
    while (!line.empty()) {
      const std::string k = word();
      if (k == "ctrl") a.keys |= QM_KEY_CTRL;
      else if (k == "shift") a.keys |= QM_KEY_SHIFT;
      else {
        why = "mouse keys are ctrl and shift, not \"" + k + "\"";
        return false;
      }
    }
  } else if (verb == "size") {
    a.kind = K::Size;
    if (!number("a width", a.x) || !number("a height", a.y)) return false;
    if (a.x <= 0 || a.y <= 0) {
      why = "size takes a positive width and height";
      return false;
    }
  } else if (verb == "move") {
    a.kind = K::Move;
    if (!number("a window id", a.id) || !number("x", a.x) || !number("y", a.y)) return false;
  } else if (verb == "shot") {
    a.kind = K::Shot;
    a.text = line;
    line.clear();
    if (a.text.empty()) {
      why = "shot needs a file name";
      return false;
    }
  } else if (verb == "key") {
    a.kind = K::Key;
    const std::string k = word();
    a.value = k == "tab" ? kUiKeyTab : k == "escape" ? kUiKeyEscape : k == "enter" ? kUiKeyEnter : 0;
    if (a.value == 0) {
      why = "key takes tab, escape or enter";
      return false;
    }
  } else if (verb == "focus") {
    a.kind = K::Focus;
  } else if (verb == "close" || verb == "default") {
    a.kind = verb == "close" ? K::Close : K::Default;
  } else {
    why = "unknown action \"" + verb + "\"";
    return false;
  }
  if (!line.empty()) {
    why = "unexpected \"" + line + "\" after " + verb;
    return false;
  }
  if (a.busy && (a.kind == K::Read || a.kind == K::List || a.kind == K::Place || a.kind == K::Shot ||
                 a.kind == K::Tip || a.kind == K::Focus)) {
    why = "reads wait until the dialog is idle; drop \"busy\"";
    return false;
  }
  action = a;
  return true;
}

std::vector<UiAction> ReadUiScript(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open the dialog script");
  std::vector<UiAction> actions;
  std::string line, why;
  for (int n = 1; std::getline(in, line); ++n) {
    std::optional<UiAction> a;
    if (!ParseUiLine(line, a, why)) throw std::runtime_error(path + ":" + std::to_string(n) + ": " + why);
    if (a) {
      a->line = n;
      actions.push_back(*a);
    }
  }
  return actions;
}

UiScript::UiScript(std::vector<std::string> answers, std::FILE* report)
    : report_(report), host_{sizeof(QmHeadlessHost), this, &UiScript::Act, &UiScript::NextFor, &UiScript::SaveFileName} {
  for (const std::string& s : answers) {
    UiAction a;
    if (s == "close") a.kind = UiAction::Kind::Close;
    else if (s == "default") a.kind = UiAction::Kind::Default;
    else {
      a.kind = UiAction::Kind::Press;
      a.id = static_cast<int32_t>(std::strtol(s.c_str(), nullptr, 10));
    }
    actions_.push_back(a);
  }
}

UiScript::UiScript(std::vector<UiAction> actions, std::FILE* report)
    : actions_(std::move(actions)),
      report_(report),
      host_{sizeof(QmHeadlessHost), this, &UiScript::Act, &UiScript::NextFor, &UiScript::SaveFileName} {}

int32_t UiScript::Next() {
  while (next_ < actions_.size() || ReadTyped()) {
    const UiAction& a = actions_[next_++];
    switch (a.kind) {
      case UiAction::Kind::Press: return a.id;
      case UiAction::Kind::Close: return QM_ACTION_CLOSE;
      case UiAction::Kind::Default: return QM_ACTION_DEFAULT;
      default:  // a plain answer has nothing to set, read or drag
        if (input_ && report_) std::fprintf(report_, "plughost: ui: this dialog takes only press ID, default or close\n");
        break;
    }
  }
  return input_ ? QM_ACTION_CLOSE : QM_ACTION_DEFAULT;
}

std::optional<UiAction> UiScript::NextAction(const QmHeadlessDialog* shown, bool busy) {
  // A person types while the dialog is idle: reading now would stall the plug-in's work.
  while (next_ < actions_.size() || (!busy && ReadTyped())) {
    const UiAction& a = actions_[next_];
    if (busy && !a.busy) return std::nullopt;
    ++next_;
    if (a.kind == UiAction::Kind::Read || a.kind == UiAction::Kind::List || a.kind == UiAction::Kind::Place) {
      if (shown) ReadBack(a, *shown);
      continue;
    }
    if (a.kind == UiAction::Kind::Shot) {
      const bool taken = shooter_ && shooter_(a.text);
      if (report_)
        std::fprintf(report_, "plughost: ui shot %s: %s\n", a.text.c_str(),
                     taken ? "saved" : shooter_ ? "could not be saved" : "a headless dialog has no pixels");
      continue;
    }
    if (a.kind == UiAction::Kind::Tip) {
      if (report_) {
        const std::optional<std::string> tip = tipReader_ ? tipReader_(a.id) : std::nullopt;
        std::fprintf(report_, "plughost: ui tip %d: %s\n", a.id,
                     tip ? tip->c_str() : tipReader_ ? "(none)" : "a headless dialog has no tooltips");
      }
      continue;
    }
    if (a.kind == UiAction::Kind::Focus) {
      if (report_) {
        const std::optional<int32_t> id = focusReader_ ? focusReader_() : std::nullopt;
        if (id) std::fprintf(report_, "plughost: ui focus: %d\n", *id);
        else std::fprintf(report_, "plughost: ui focus: %s\n", focusReader_ ? "(none)" : "a headless dialog has no focus");
      }
      continue;
    }
    if (a.kind == UiAction::Kind::Key && !focusReader_) {
      // Without a keyboard focus the keys are what the dialog does with them.
      if (a.value == kUiKeyTab) {
        if (report_) std::fprintf(report_, "plughost: ui key tab: a headless dialog has no focus\n");
        continue;
      }
      UiAction as = a;
      as.kind = a.value == kUiKeyEscape ? UiAction::Kind::Close : UiAction::Kind::Default;
      return as;
    }
    return a;
  }
  if (busy) return std::nullopt;
  UiAction end;
  end.kind = input_ ? UiAction::Kind::Close : UiAction::Kind::Default;
  return end;
}

bool UiScript::ReadTyped() {
  if (!input_ || inputEnded_) return false;
  if (!hinted_ && report_) {
    std::fprintf(report_, "plughost: type the actions, one a line as in a --ui script; end of input cancels\n");
    hinted_ = true;
  }
  if (report_) std::fflush(report_);
  std::string line, why;
  while (true) {
    line.clear();
    int c;
    while ((c = std::fgetc(input_)) != EOF && c != '\n') line += static_cast<char>(c);
    if (c == EOF && line.empty()) break;
    std::optional<UiAction> a;
    if (!ParseUiLine(line, a, why)) {
      if (report_) std::fprintf(report_, "plughost: ui: %s; type it again\n", why.c_str());
      continue;
    }
    if (!a) {
      if (c == EOF) break;
      continue;
    }
    actions_.push_back(*a);
    return true;
  }
  inputEnded_ = true;
  if (report_) std::fprintf(report_, "plughost: end of input: cancel\n");
  return false;
}

std::optional<std::string> UiScript::ReadTypedName() {
  if (!input_ || inputEnded_) return std::nullopt;
  if (report_) {
    std::fprintf(report_, "plughost: type the file name (an empty line or the end of input cancels)\n");
    std::fflush(report_);
  }
  std::string line;
  int c;
  while ((c = std::fgetc(input_)) != EOF && c != '\n') line += static_cast<char>(c);
  if (c == EOF && line.empty()) inputEnded_ = true;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  if (line.empty()) return std::nullopt;
  return line;
}

void UiScript::Report(bool isMessageBox, const std::string& caption, const std::vector<std::string>& texts) {
  if (!report_) return;
  std::string line = std::string(isMessageBox ? "message" : "dialog") + " \"" + caption + "\"";
  bool first = true;
  for (const auto& t : texts) {
    if (t.empty()) continue;
    line += first ? ": " : " | ";
    line += t;
    first = false;
  }
  std::fprintf(report_, "plughost: %s\n", line.c_str());
}

void UiScript::ReadBack(const UiAction& a, const QmHeadlessDialog& shown) {
  if (!report_) return;
  const QmHeadlessItem* it = a.id == 0 ? nullptr : FindItem(shown, a.id);
  const std::string caption = shown.caption ? shown.caption : "";
  if (a.kind == UiAction::Kind::Place && a.id == 0) {
    // The dialog's client size: the bounding box of what it holds is all a headless host knows.
    int32_t w = 0, h = 0;
    for (int32_t i = 0; i < shown.itemCount; ++i) {
      w = std::max(w, shown.items[i].left + shown.items[i].width);
      h = std::max(h, shown.items[i].top + shown.items[i].height);
    }
    std::fprintf(report_, "plughost: ui place 0 (\"%s\"): items within %d x %d\n", caption.c_str(), w, h);
    return;
  }
  if (!it) {
    std::fprintf(report_, "plughost: ui %s %d: no such control in \"%s\"\n",
                 a.kind == UiAction::Kind::Read ? "read" : a.kind == UiAction::Kind::List ? "list" : "place", a.id,
                 caption.c_str());
    return;
  }
  switch (a.kind) {
    case UiAction::Kind::Read: {
      std::string state;
      const auto kind = static_cast<qm::res::ItemKind>(it->kind);
      if (kind == qm::res::ItemKind::Checkbox || kind == qm::res::ItemKind::Radio)
        state += it->checked ? " [checked]" : " [unchecked]";
      if (kind == qm::res::ItemKind::Combobox || kind == qm::res::ItemKind::Listbox)
        state += " [entry " + std::to_string(it->selected) + " of " + std::to_string(it->entryCount) + "]";
      if (!it->enabled) state += " [disabled]";
      std::fprintf(report_, "plughost: ui read %d: %s%s\n", a.id, it->text ? it->text : "", state.c_str());
      break;
    }
    case UiAction::Kind::List: {
      std::string line;
      for (int32_t i = 0; i < it->entryCount; ++i) line += (i ? " | " : "") + std::string(it->entries[i]);
      std::fprintf(report_, "plughost: ui list %d: %s\n", a.id, line.c_str());
      break;
    }
    default:
      std::fprintf(report_, "plughost: ui place %d: %d %d %d %d\n", a.id, it->left, it->top, it->width, it->height);
      break;
  }
}

void UiScript::ReportShown(const QmHeadlessDialog& d) {
  std::vector<std::string> texts;
  for (int32_t i = 0; i < d.itemCount; ++i) {
    if (IsTextless(d.items[i].kind)) continue;
    texts.emplace_back(d.items[i].text ? d.items[i].text : "");
  }
  Report(d.isMessageBox != 0, d.caption ? d.caption : "", texts);
}

int32_t UiScript::Act(void* context, const QmHeadlessDialog* d) {
  auto* self = static_cast<UiScript*>(context);
  self->ReportShown(*d);
  return self->Next();
}

void UiScript::NextFor(void* context, const QmHeadlessDialog* shown, int32_t busy, QmHeadlessAction* out) {
  auto* self = static_cast<UiScript*>(context);
  if (shown->fresh) self->ReportShown(*shown);
  *out = QmHeadlessAction{};
  std::optional<UiAction> a = self->NextAction(shown, busy != 0);
  if (!a) return;
  using K = UiAction::Kind;
  switch (a->kind) {
    case K::Press: out->kind = QM_DO_PRESS; break;
    case K::Set: out->kind = QM_DO_SET; break;
    case K::Pick: out->kind = QM_DO_PICK; break;
    case K::Mouse: out->kind = QM_DO_MOUSE; break;
    case K::Size: out->kind = QM_DO_SIZE; break;
    case K::Move: out->kind = QM_DO_MOVE; break;
    case K::Close: out->kind = QM_DO_CLOSE; break;
    default: out->kind = QM_DO_DEFAULT; break;
  }
  self->heldText_ = a->text;
  out->id = a->id;
  out->value = a->value;
  out->x = a->x;
  out->y = a->y;
  out->flags = a->keys;
  out->text = self->heldText_.c_str();
}

void UiScript::ReportSaveDialog(const std::string& filter, const std::optional<std::string>& answer) {
  if (!report_) return;
  std::fprintf(report_, "plughost: save dialog \"%s\": %s\n", filter.c_str(), answer ? answer->c_str() : "cancelled");
}

int32_t UiScript::SaveFileName(void* context, const char*, const char* filter, char* path, uint32_t capacity) {
  auto* self = static_cast<UiScript*>(context);
  if (self->input_ && !self->saveAs_) {
    if (self->report_) std::fprintf(self->report_, "plughost: save dialog \"%s\"\n", filter ? filter : "");
    const std::optional<std::string> typed = self->ReadTypedName();
    if (self->report_) std::fprintf(self->report_, "plughost: save dialog: %s\n", typed ? typed->c_str() : "cancelled");
    if (!typed || capacity == 0) return 0;
    std::strncpy(path, typed->c_str(), capacity - 1);
    path[capacity - 1] = '\0';
    return 1;
  }
  self->ReportSaveDialog(filter ? filter : "", self->saveAs_);
  if (!self->saveAs_ || capacity == 0) return 0;
  // A name longer than the dialog's field is cut as the field would cut it.
  std::strncpy(path, self->saveAs_->c_str(), capacity - 1);
  path[capacity - 1] = '\0';
  return 1;
}

const char kInteractiveHelp[] =
    "  --interactive           a person answers the dialogs: the Windows plughost leaves its\n"
    "                          real dialogs, message boxes and file dialogs on the screen;\n"
    "                          natively each dialog is described on stderr and its actions\n"
    "                          are typed on standard input, one a line as in --ui (the save\n"
    "                          dialog takes a typed path); the end of the input is Cancel.\n"
    "                          Not with --ui, --answer or --save-as (exit status 2)\n";

UiCommandLine::Arg UiCommandLine::Take(int argc, char** argv, int& i, std::string& error, unsigned takes) {
  const std::string a = argv[i];
  const bool ours = a == "--interactive" || (a == "--answer" && (takes & kAnswer)) ||
                    (a == "--ui" && (takes & kScript)) || (a == "--save-as" && (takes & kSaveAs));
  if (!ours) return Arg::NotOurs;
  if (a == "--interactive") {
    interactive = true;
    return Arg::Taken;
  }
  if (i + 1 >= argc) {
    error = a + (a == "--answer" ? " needs an answer" : a == "--ui" ? " needs a dialog script" : " needs a file name");
    return Arg::Bad;
  }
  const char* v = argv[++i];
  if (scripted.empty()) scripted = a;
  if (a == "--answer") {
    UiScript one(std::vector<std::string>{v});
    actions.push_back(*one.NextAction(nullptr, false));
  } else if (a == "--ui") {
    try {
      const std::vector<UiAction> more = ReadUiScript(v);
      actions.insert(actions.end(), more.begin(), more.end());
    } catch (const std::exception& e) {
      error = e.what();
      return Arg::BadFile;
    }
  } else {
    saveAs = v;
  }
  return Arg::Taken;
}

std::string UiCommandLine::Conflict() const {
  if (!interactive || scripted.empty()) return {};
  return "--interactive leaves the dialogs to the person at the screen; it cannot be combined with " + scripted;
}

void UiCommandLine::Configure(UiScript& script, std::FILE* in) const {
  script.SetSaveAs(saveAs);
  if (interactive) script.SetInteractive(in);
}

}  // namespace plughost

#ifndef _WIN32
namespace plughost {
// Native plug-ins take their answers through the headless interface; nothing to watch.
UiScript::Win32Hook::Win32Hook(UiScript&) {}
UiScript::Win32Hook::~Win32Hook() = default;
}  // namespace plughost
#endif
