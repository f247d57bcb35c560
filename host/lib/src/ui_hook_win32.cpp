// Windows: lets the real dialogs appear, reads what they show, and answers them from the
// script, all on the host's own thread (the dialog's modal loop runs the timer).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <list>

#include "platform/resources.h"
#include "platform/ui.h"
#include "plughost/image.h"
#include "plughost/ui_script.h"

namespace plughost {
namespace {

UiScript* g_script = nullptr;
HWND g_shotDialog = nullptr;  // the dialog whose actions are being taken
// This thread's dialogs, latest last: only the latest is the user's to answer (a prompt the
// plug-in opens without an owner leaves the dialog below it enabled).
std::vector<HWND> g_open;
HHOOK g_hook = nullptr;
constexpr UINT_PTR kAnswerTimer = 0x51A7;
// Set on a dialog once it has been reported (and, on a file dialog, answered).
const char kAnsweredProp[] = "qm.plughost.answered";

// The windows a dialog keeps beside it (its parts, owned by it and marked as such): their
// controls are the dialog's to the script, and they show in its screenshots.
struct PartSearch {
  HWND dlg;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectPart(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<PartSearch*>(lp);
  if (GetWindow(w, GW_OWNER) == s->dlg && GetPropA(w, qm::platform::kDialogPartProperty)) s->found.push_back(w);
  return TRUE;
}

std::vector<HWND> PartsOf(HWND dlg) {
  PartSearch search{dlg, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectPart, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND PartOf(HWND dlg, int number) {
  for (HWND part : PartsOf(dlg))
    if (reinterpret_cast<intptr_t>(GetPropA(part, qm::platform::kDialogPartProperty)) == number) return part;
  return nullptr;
}

// The dialog or the part of it that holds window `w`, if any.
HWND HolderOf(HWND dlg, HWND w) {
  if (!dlg || !w) return nullptr;
  if (w == dlg || IsChild(dlg, w)) return dlg;
  for (HWND part : PartsOf(dlg))
    if (w == part || IsChild(part, w)) return part;
  return nullptr;
}

HWND ItemOf(HWND dlg, int id) {
  if (HWND item = GetDlgItem(dlg, id)) return item;
  for (HWND part : PartsOf(dlg))
    if (HWND item = GetDlgItem(part, id)) return item;
  return nullptr;
}

struct ChildText {
  int id;
  std::string text;
};

BOOL CALLBACK CollectText(HWND child, LPARAM lp) {
  auto* texts = reinterpret_cast<std::vector<ChildText>*>(lp);
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  // Message boxes keep their unused buttons as hidden children.
  if (!IsWindowVisible(child)) return TRUE;
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  // Icons and bitmaps carry no text a user reads.
  if (lstrcmpiA(cls, "Static") == 0 && ((style & SS_TYPEMASK) == SS_ICON || (style & SS_TYPEMASK) == SS_BITMAP))
    return TRUE;
  char text[1024] = {};
  GetWindowTextA(child, text, sizeof text);
  texts->push_back({GetDlgCtrlID(child), text});
  return TRUE;
}

// The system's file dialog: its file-name field (cmb13 in Explorer-style dialogs, edt1 in
// older ones) takes --save-as, and OK; without it the user cancels. A dialog that is still
// open on a later tick refused the name (a folder that does not exist, say, after its message
// box was answered): it is cancelled then, so nothing is left waiting for a user.
bool AnswerFileDialog(HWND dlg) {
  HWND name = GetDlgItem(dlg, 1148);
  if (!name) name = GetDlgItem(dlg, 1152);
  if (!name || !GetDlgItem(dlg, IDOK) || !GetDlgItem(dlg, 1136)) return false;
  const auto tries = reinterpret_cast<intptr_t>(GetPropA(dlg, kAnsweredProp));
  SetPropA(dlg, kAnsweredProp, reinterpret_cast<HANDLE>(tries + 1));
  if (tries == 0) {
    char filter[256] = {};
    GetDlgItemTextA(dlg, 1136, filter, sizeof filter);
    g_script->ReportSaveDialog(filter, g_script->SaveAs());
  }
  if (tries == 0 && g_script->SaveAs()) {
    SetWindowTextA(name, g_script->SaveAs()->c_str());
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
  } else {
    if (tries > 0) g_script->ReportSaveDialog("refused the name", std::nullopt);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  return true;
}

// Message boxes and other dialogs with nothing to set: a button id, Enter or the close box.
void AnswerPlainly(HWND dlg) {
  int32_t action = g_script->Next();
  if (action == QM_ACTION_DEFAULT) {
    LRESULT def = SendMessageA(dlg, DM_GETDEFID, 0, 0);
    action = HIWORD(def) == DC_HASDEFID ? static_cast<int32_t>(LOWORD(def)) : int32_t{QM_ACTION_CLOSE};
  }
  if (action == QM_ACTION_CLOSE)
    PostMessageA(dlg, WM_CLOSE, 0, 0);
  else
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(action, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, action)));
}

int32_t KindOf(HWND item) {
  using qm::res::ItemKind;
  char cls[32] = {};
  GetClassNameA(item, cls, sizeof cls);
  const LONG style = GetWindowLongA(item, GWL_STYLE);
  ItemKind k = ItemKind::Ltext;
  if (lstrcmpiA(cls, "Button") == 0) {
    switch (style & BS_TYPEMASK) {
      case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE: k = ItemKind::Checkbox; break;
      case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: k = ItemKind::Radio; break;
      case BS_GROUPBOX: k = ItemKind::Groupbox; break;
      case BS_DEFPUSHBUTTON: k = ItemKind::Defpushbutton; break;
      default: k = ItemKind::Pushbutton; break;
    }
  } else if (lstrcmpiA(cls, "Edit") == 0) {
    k = ItemKind::Edit;
  } else if (lstrcmpiA(cls, "ComboBox") == 0) {
    k = ItemKind::Combobox;
  } else if (lstrcmpiA(cls, "ListBox") == 0) {
    k = ItemKind::Listbox;
  } else if (lstrcmpiA(cls, "Static") == 0) {
    const LONG t = style & SS_TYPEMASK;
    k = t == SS_ICON ? ItemKind::Icon : t == SS_BITMAP ? ItemKind::Bitmap : t == SS_CENTER ? ItemKind::Ctext
        : t == SS_RIGHT ? ItemKind::Rtext : t == SS_ETCHEDFRAME ? ItemKind::Custom : ItemKind::Ltext;
  }
  return static_cast<int32_t>(k);
}

// The live dialog as the script's reads see it.
struct Snapshot {
  struct Held {
    std::string text;
    std::vector<std::string> entries;
    std::vector<const char*> entryPointers;
  };
  explicit Snapshot(HWND dlg) {
    char caption[512] = {};
    GetWindowTextA(dlg, caption, sizeof caption);
    captionText = caption;
    std::vector<HWND> children;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (GetParent(c) == dlg) children.push_back(c);
    const std::vector<HWND> parts = PartsOf(dlg);
    for (HWND part : parts)
      for (HWND c = GetWindow(part, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetParent(c) == part) children.push_back(c);
    for (HWND c : children) {
      held.emplace_back();
      Held& h = held.back();
      const int n = GetWindowTextLengthA(c);
      h.text.assign(static_cast<size_t>(n) + 1, '\0');
      GetWindowTextA(c, h.text.data(), n + 1);
      h.text.resize(static_cast<size_t>(n));
      // Multi-line edits hold "\r\n"; scripts read lines ended by "\n", as headlessly.
      for (size_t at; (at = h.text.find("\r\n")) != std::string::npos;) h.text.erase(at, 1);
      QmHeadlessItem it{};
      it.id = GetDlgCtrlID(c);
      it.kind = KindOf(c);
      it.enabled = IsWindowEnabled(c) ? 1 : 0;
      it.checked = SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
      it.selected = -1;
      if (it.kind == static_cast<int32_t>(qm::res::ItemKind::Combobox)) {
        it.selected = static_cast<int32_t>(SendMessageA(c, CB_GETCURSEL, 0, 0));
        const auto count = static_cast<int>(SendMessageA(c, CB_GETCOUNT, 0, 0));
        for (int e = 0; e < count; ++e) {
          const auto len = static_cast<size_t>(SendMessageA(c, CB_GETLBTEXTLEN, static_cast<WPARAM>(e), 0));
          std::string t(len + 1, '\0');
          SendMessageA(c, CB_GETLBTEXT, static_cast<WPARAM>(e), reinterpret_cast<LPARAM>(t.data()));
          t.resize(std::strlen(t.c_str()));
          h.entries.push_back(t);
        }
      } else {
        it.checked = it.kind == static_cast<int32_t>(qm::res::ItemKind::Checkbox) ||
                             it.kind == static_cast<int32_t>(qm::res::ItemKind::Radio)
                         ? it.checked
                         : 0;
      }
      RECT r{};
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, GetParent(c), reinterpret_cast<POINT*>(&r), 2);
      it.left = r.left;
      it.top = r.top;
      it.width = r.right - r.left;
      it.height = r.bottom - r.top;
      items.push_back(it);
    }
    // Each part as a control of its number, as the headless dialogs list them: its caption,
    // whether it shows, its place on the screen.
    for (HWND part : parts) {
      held.emplace_back();
      char text[512] = {};
      GetWindowTextA(part, text, sizeof text);
      const bool shown = IsWindowVisible(part) != FALSE;
      held.back().text = std::string(text) + (shown ? "" : " [hidden]");
      RECT r{};
      GetWindowRect(part, &r);
      QmHeadlessItem it{};
      it.id = static_cast<int32_t>(reinterpret_cast<intptr_t>(GetPropA(part, qm::platform::kDialogPartProperty)));
      it.kind = static_cast<int32_t>(qm::res::ItemKind::Custom);
      it.enabled = 1;
      it.checked = shown ? 1 : 0;
      it.selected = -1;
      it.left = r.left;
      it.top = r.top;
      it.width = r.right - r.left;
      it.height = r.bottom - r.top;
      items.push_back(it);
    }
    // Texts and entries point into `held`, complete now.
    for (size_t i = 0; i < items.size(); ++i) {
      Held& h = held[i];
      for (const std::string& e : h.entries) h.entryPointers.push_back(e.c_str());
      items[i].text = h.text.c_str();
      items[i].entryCount = static_cast<int32_t>(h.entries.size());
      items[i].entries = h.entryPointers.data();
    }
    dialog = QmHeadlessDialog{};
    dialog.name = "";
    dialog.caption = captionText.c_str();
    dialog.itemCount = static_cast<int32_t>(items.size());
    dialog.items = items.data();
  }
  std::string captionText;
  std::vector<Held> held;
  std::vector<QmHeadlessItem> items;
  QmHeadlessDialog dialog{};
};

// What the script asks, done to the real controls as a user's hand would.
void Perform(HWND dlg, const UiAction& a) {
  using K = UiAction::Kind;
  HWND item = a.id ? ItemOf(dlg, a.id) : nullptr;
  // A part's number stands for its close box.
  if (item == nullptr && a.kind == UiAction::Kind::Press)
    if (HWND part = PartOf(dlg, a.id)) {
      PostMessageA(part, WM_CLOSE, 0, 0);
      return;
    }
  switch (a.kind) {
    case K::Press: {
      char cls[32] = {};
      if (item) GetClassNameA(item, cls, sizeof cls);
      // A click changes a check box's state before the dialog hears of it.
      if (item && lstrcmpiA(cls, "Button") == 0) PostMessageA(item, BM_CLICK, 0, 0);
      else PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(a.id, BN_CLICKED), reinterpret_cast<LPARAM>(item));
      break;
    }
    case K::Set:
      // The field tells the dialog of the change itself (EN_CHANGE).
      if (item) SetWindowTextA(item, a.text.c_str());
      break;
    case K::Pick:
      if (item) {
        SendMessageA(item, CB_SETCURSEL, static_cast<WPARAM>(a.value), 0);
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(a.id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(item));
      }
      break;
    case K::Mouse:
      if (item) {
        WPARAM keys = (a.keys & QM_KEY_CTRL ? MK_CONTROL : 0) | (a.keys & QM_KEY_SHIFT ? MK_SHIFT : 0);
        UINT msg = WM_MOUSEMOVE;
        if (a.value == QM_MOUSE_DOWN) msg = WM_LBUTTONDOWN, keys |= MK_LBUTTON;
        else if (a.value == QM_MOUSE_UP) msg = WM_LBUTTONUP;
        else keys |= MK_LBUTTON;
        SendMessageA(item, msg, keys, MAKELPARAM(a.x, a.y));
      }
      break;
    case K::Size: {
      RECT w{0, 0, a.x, a.y};
      AdjustWindowRectEx(&w, static_cast<DWORD>(GetWindowLongA(dlg, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongA(dlg, GWL_EXSTYLE)));
      SetWindowPos(dlg, nullptr, 0, 0, w.right - w.left, w.bottom - w.top, SWP_NOMOVE | SWP_NOZORDER);
      break;
    }
    case K::Move:
      // What the window sees of a drag by its caption: the size-move loop's start, the move
      // itself, the loop's end.
      if (HWND w = a.id == 0 ? dlg : PartOf(dlg, a.id)) {
        SendMessageA(w, WM_ENTERSIZEMOVE, 0, 0);
        SetWindowPos(w, nullptr, a.x, a.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(w, WM_EXITSIZEMOVE, 0, 0);
      }
      break;
    case K::Close: PostMessageA(dlg, WM_CLOSE, 0, 0); break;
    case K::Key: {
      // To the control with the focus, through the dialog's own loop (which moves the focus
      // on Tab, cancels on Escape and presses the default button on Enter).
      const WPARAM vk = a.value == kUiKeyTab ? VK_TAB : a.value == kUiKeyEscape ? VK_ESCAPE : VK_RETURN;
      HWND focus = GetFocus();
      HWND target = HolderOf(dlg, focus) ? focus : dlg;
      const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(vk), 0)) << 16;
      PostMessageA(target, WM_KEYDOWN, vk, scan | 1);
      PostMessageA(target, WM_KEYUP, vk, scan | 1 | (LPARAM{3} << 30));
      break;
    }
    default: {
      const LRESULT def = SendMessageA(dlg, DM_GETDEFID, 0, 0);
      if (HIWORD(def) == DC_HASDEFID)
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(LOWORD(def), BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, LOWORD(def))));
      else
        PostMessageA(dlg, WM_CLOSE, 0, 0);
      break;
    }
  }
}

// The dialog as it is on screen, with the parts it shows beside it, saved as PNG.
bool SaveShot(HWND dlg, const std::string& path) {
  RECT r{};
  if (!dlg || !GetWindowRect(dlg, &r)) return false;
  for (HWND part : PartsOf(dlg)) {
    RECT p{};
    if (!IsWindowVisible(part) || !GetWindowRect(part, &p)) continue;
    UnionRect(&r, &r, &p);
    RedrawWindow(part, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib && bits) {
    HGDIOBJ old = SelectObject(mem, dib);
    ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
    SelectObject(mem, old);
    GdiFlush();
    Image img;
    img.width = w;
    img.height = h;
    img.hasAlpha = false;
    img.rgba.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    const auto* p = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < img.rgba.size(); i += 4) {
      img.rgba[i] = p[i + 2];
      img.rgba[i + 1] = p[i + 1];
      img.rgba[i + 2] = p[i];
      img.rgba[i + 3] = 255;
    }
    try {
      if (ok) WritePng(path, img);
    } catch (const std::exception&) {
      ok = false;
    }
  }
  if (dib) DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

struct TipSearch {
  HWND dlg;
  std::vector<HWND> tips;
};

BOOL CALLBACK CollectTips(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<TipSearch*>(lp);
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0 && GetWindow(w, GW_OWNER) == s->dlg) s->tips.push_back(w);
  return TRUE;
}

// The tooltip a user would see over control `id`: from the tooltip windows the dialog owns,
// the tool of that control's window, or of its rectangle in the dialog.
std::optional<std::string> ReadTip(HWND dlg, int32_t id) {
  HWND control = dlg ? GetDlgItem(dlg, id) : nullptr;
  if (!control) return std::nullopt;
  TipSearch search{dlg, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectTips, reinterpret_cast<LPARAM>(&search));
  std::optional<std::string> byRect;
  for (HWND tip : search.tips) {
    const auto count = static_cast<int>(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[1024] = {};
      TOOLINFOA ti{};
      // The size every comctl32 takes, also without the newer controls' manifest.
      ti.cbSize = TTTOOLINFOA_V2_SIZE;
      ti.lpszText = text;
      if (!SendMessageA(tip, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ti))) continue;
      if ((ti.uFlags & TTF_IDISHWND) && reinterpret_cast<HWND>(ti.uId) == control) return std::string(text);
      if (!(ti.uFlags & TTF_IDISHWND) && ti.hwnd == dlg && ti.uId == static_cast<UINT_PTR>(id)) byRect = text;
    }
  }
  return byRect;
}

void CALLBACK Answer(HWND dlg, UINT, UINT_PTR, DWORD) {
  if (!g_script) return;
  // A dialog with a modal window of its own up (a prompt, a message box) waits for it: the
  // script's next actions belong to that window, whose loop runs this timer too.
  if (!IsWindowEnabled(dlg) || !IsWindowVisible(dlg)) return;
  if (!g_open.empty() && g_open.back() != dlg) return;
  if (AnswerFileDialog(dlg)) return;
  if (!GetPropA(dlg, kAnsweredProp)) {
    SetPropA(dlg, kAnsweredProp, reinterpret_cast<HANDLE>(1));
    char caption[512] = {};
    GetWindowTextA(dlg, caption, sizeof caption);
    std::vector<ChildText> children;
    EnumChildWindows(dlg, CollectText, reinterpret_cast<LPARAM>(&children));
    // Message boxes are dialogs the system makes itself (no module, or user32's); their text
    // is the static 0xFFFF, reported first as the headless layer does.
    const auto owner = reinterpret_cast<HMODULE>(GetWindowLongPtrA(dlg, GWLP_HINSTANCE));
    const bool messageBox = !owner || owner == GetModuleHandleA("user32.dll");
    std::vector<std::string> texts;
    for (const ChildText& c : children)
      if (messageBox && c.id == 0xFFFF) texts.insert(texts.begin(), c.text);
      else texts.push_back(c.text);
    g_script->Report(messageBox, caption, texts);
  }
  const auto owner = reinterpret_cast<HMODULE>(GetWindowLongPtrA(dlg, GWLP_HINSTANCE));
  if (!owner || owner == GetModuleHandleA("user32.dll")) {
    AnswerPlainly(dlg);
    return;
  }
  // The plug-in's own dialog: the whole script, against its live controls.
  const bool busy = GetPropA(dlg, qm::platform::kDialogBusyProperty) != nullptr;
  // Reading every control costs more than a step of the dialog's work: skip it while nothing is due.
  if (busy && g_script->WaitsForIdle()) return;
  Snapshot shot(dlg);
  g_shotDialog = dlg;
  std::optional<UiAction> a = g_script->NextAction(&shot.dialog, busy);
  g_shotDialog = nullptr;
  if (a) Perform(dlg, *a);
}

// How long a dialog shows before its answer: 300 ms, or QM_ANSWER_DELAY_MS (1 to 600000)
// when a test wants to look at the window or press its buttons itself first.
UINT AnswerDelay() {
  char text[16] = {};
  const DWORD n = GetEnvironmentVariableA("QM_ANSWER_DELAY_MS", text, sizeof text);
  if (n == 0 || n >= sizeof text) return 300;
  char* end = nullptr;
  const unsigned long ms = std::strtoul(text, &end, 10);
  return (*end == 0 && ms >= 1 && ms <= 600000) ? static_cast<UINT>(ms) : 300;
}

LRESULT CALLBACK AfterMessage(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lp);
    // Answer once the dialog has been initialised and had a moment on screen.
    // A dialog inside another (a file dialog's hook page) is answered with its parent.
    // A dialog's parts are answered with the dialog.
    if (m->message == WM_INITDIALOG && !(GetWindowLongA(m->hwnd, GWL_STYLE) & WS_CHILD) &&
        !GetPropA(m->hwnd, qm::platform::kDialogPartProperty)) {
      g_open.push_back(m->hwnd);
      SetTimer(m->hwnd, kAnswerTimer, AnswerDelay(), Answer);
    }
    if (m->message == WM_DESTROY) {
      if (GetPropA(m->hwnd, kAnsweredProp)) RemovePropA(m->hwnd, kAnsweredProp);
      g_open.erase(std::remove(g_open.begin(), g_open.end(), m->hwnd), g_open.end());
    }
  }
  return CallNextHookEx(g_hook, code, wp, lp);
}

}  // namespace

UiScript::Win32Hook::Win32Hook(UiScript& script) {
  // A person at the screen answers every window: no hook, no timer, nothing cancelled.
  if (script.Interactive()) return;
  g_script = &script;
  script.SetShooter([](const std::string& path) { return SaveShot(g_shotDialog, path); });
  script.SetTipReader([](int32_t id) { return ReadTip(g_shotDialog, id); });
  script.SetFocusReader([]() -> std::optional<int32_t> {
    HWND focus = GetFocus();
    // The dialog's controls and those of its parts alike.
    HWND holder = HolderOf(g_shotDialog, focus);
    if (!holder || focus == holder) return std::nullopt;
    // An edit inside a drop list stands for the list.
    while (GetParent(focus) != holder) focus = GetParent(focus);
    return GetDlgCtrlID(focus);
  });
  g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());
}

UiScript::Win32Hook::~Win32Hook() {
  if (g_script) {
    g_script->SetShooter(nullptr);
    g_script->SetTipReader(nullptr);
    g_script->SetFocusReader(nullptr);
  }
  if (g_hook) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
  g_script = nullptr;
  g_open.clear();
}

}  // namespace plughost

