// Windows builds: real dialogs from the module's templates. The dialog procedure only turns
// messages into controller calls; the controller holds the behaviour.
#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/placement.h"
#include "platform/ui.h"
#include "platform/window_place.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace qm::platform {
namespace {

void* g_module = nullptr;

struct Session;
INT_PTR CALLBACK PartProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
bool RoutePartKey(MSG& m);
void WatchPartKeys();

// What a part window carries: its session and its number.
struct PartInfo {
  Session* session;
  int part;
};

bool IsMultiLineEdit(HWND item) {
  char cls[8] = {};
  GetClassNameA(item, cls, sizeof cls);
  return lstrcmpiA(cls, "Edit") == 0 && (GetWindowLongA(item, GWL_STYLE) & ES_MULTILINE) != 0;
}

class Win32View final : public DialogView {
 public:
  Win32View(HWND hwnd, Session* session) : hwnd_(hwnd), session_(session) {}
  void SetItemText(int id, const std::string& text) override {
    HWND item = Item(id);
    if (!item) return;
    if (!IsMultiLineEdit(item)) {
      SetWindowTextA(item, text.c_str());
      return;
    }
    // A multi-line edit breaks lines only at "\r\n"; controllers write "\n".
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
      lines += text[i];
    }
    SetWindowTextA(item, lines.c_str());
  }
  void SetCaption(const std::string& text) override { SetWindowTextA(hwnd_, text.c_str()); }
  NativeWindow Window() const override { return hwnd_; }
  std::string ItemText(int id) const override {
    HWND item = Item(id);
    int n = item ? GetWindowTextLengthA(item) : 0;
    std::string s(static_cast<size_t>(n) + 1, '\0');
    if (n > 0) GetWindowTextA(item, s.data(), n + 1);
    s.resize(static_cast<size_t>(n));
    if (item && IsMultiLineEdit(item)) s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
  }
  void SetItemIcon(int id, SystemIcon icon) override {
    LPCSTR name = IDI_WARNING;
    switch (icon) {
      case SystemIcon::Error: name = IDI_ERROR; break;
      case SystemIcon::Information: name = IDI_INFORMATION; break;
      case SystemIcon::Question: name = IDI_QUESTION; break;
      case SystemIcon::Warning: break;
    }
    Send(id, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, name)), 0);
  }
  void EnableItem(int id, bool enabled) override {
    if (HWND item = Item(id)) EnableWindow(item, enabled);
  }
  void End(intptr_t result) override { EndDialog(hwnd_, result); }
  void ClearList(int id) override { Send(id, CB_RESETCONTENT, 0, 0); }
  void AddListEntry(int id, const std::string& text) override {
    Send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void SelectListEntry(int id, int index) override { Send(id, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
  int SelectedListEntry(int id) const override {
    return Item(id) ? static_cast<int>(Send(id, CB_GETCURSEL, 0, 0)) : -1;
  }
  void LimitText(int id, int chars) override { Send(id, EM_LIMITTEXT, static_cast<WPARAM>(chars), 0); }
  void SetChecked(int id, bool on) override {
    Send(id, BM_SETCHECK, static_cast<WPARAM>(on ? BST_CHECKED : BST_UNCHECKED), 0);
  }
  bool IsChecked(int id) const override { return Send(id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool IsItemEnabled(int id) const override {
    HWND item = Item(id);
    return item && IsWindowEnabled(item) != FALSE;
  }
  ItemRect ItemPlace(int id) const override {
    RECT r{};
    if (id == 0) {
      GetClientRect(hwnd_, &r);
    } else {
      // A part's controls are placed in that part's client area.
      HWND item = Item(id);
      if (!item) return {};
      GetWindowRect(item, &r);
      MapWindowPoints(nullptr, GetParent(item), reinterpret_cast<POINT*>(&r), 2);
    }
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  void PlaceItem(int id, const ItemRect& r) override {
    if (id == 0) {
      // The dialog's own client size.
      RECT w{0, 0, r.width, r.height};
      AdjustWindowRectEx(&w, static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_EXSTYLE)));
      SetWindowPos(hwnd_, nullptr, 0, 0, w.right - w.left, w.bottom - w.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      return;
    }
    if (HWND item = Item(id))
      SetWindowPos(item, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void Redraw(int id, const ItemRect& r) override {
    if (id == 0) {
      InvalidateRect(hwnd_, nullptr, TRUE);
      return;
    }
    HWND item = Item(id);
    if (!item) return;
    RECT rc{r.left, r.top, r.left + r.width, r.top + r.height};
    InvalidateRect(item, r.Empty() ? nullptr : &rc, FALSE);
  }
  void Post(int message, intptr_t value) override {
    PostMessageA(hwnd_, WM_APP + static_cast<UINT>(message), 0, static_cast<LPARAM>(value));
  }
  void Pump() override {
    // Input and painting only: the controller's own messages wait for the dialog's loop.
    const bool outer = !GetPropA(hwnd_, kDialogBusyProperty);
    if (outer) SetPropA(hwnd_, kDialogBusyProperty, reinterpret_cast<HANDLE>(1));
    // A time slice, not "until the queue is empty": a timer whose handler takes longer than its
    // period keeps the queue from ever emptying, and the work would never resume.
    const ULONGLONG until = GetTickCount64() + 50;
    MSG m;
    while (GetTickCount64() < until && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.hwnd == hwnd_ && m.message >= WM_APP && m.message < 0xC000) {
        deferred_.push_back(m);
        continue;
      }
      if (RoutePartKey(m)) continue;
      if (!IsDialogMessageA(hwnd_, &m)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
    }
    for (const MSG& m2 : deferred_) PostMessageA(m2.hwnd, m2.message, m2.wParam, m2.lParam);
    deferred_.clear();
    if (outer && IsWindow(hwnd_)) RemovePropA(hwnd_, kDialogBusyProperty);
  }

  bool OpenPart(int part, const char* templateName) override {
    if (part <= 0 || !templateName || Part(part)) return false;
    auto info = std::make_unique<PartInfo>(PartInfo{session_, part});
    HWND w = CreateDialogParamA(static_cast<HINSTANCE>(ResourceModule()), templateName, hwnd_, PartProc,
                                reinterpret_cast<LPARAM>(info.get()));
    if (!w) return false;
    parts_.push_back({part, w, std::move(info)});
    WatchPartKeys();
    return true;
  }
  void ShowPart(int part, bool visible) override {
    if (HWND w = Part(part)) ShowWindow(w, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
  }
  ItemRect PartPlace(int part) const override {
    HWND w = part == 0 ? hwnd_ : Part(part);
    RECT r{};
    if (!w || !GetWindowRect(w, &r)) return {};
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  void PlacePart(int part, const ItemRect& r) override {
    HWND w = part == 0 ? hwnd_ : Part(part);
    if (w) SetWindowPos(w, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The part that is, or holds, window `w`.
  HWND PartHolding(HWND w) const {
    for (const Held& p : parts_)
      if (w == p.window || IsChild(p.window, w)) return p.window;
    return nullptr;
  }

 private:
  struct Held {
    int part;
    HWND window;
    std::unique_ptr<PartInfo> info;
  };
  HWND Part(int part) const {
    for (const Held& p : parts_)
      if (p.part == part) return p.window;
    return nullptr;
  }
  // A control of the dialog or of one of its parts.
  HWND Item(int id) const {
    if (HWND item = GetDlgItem(hwnd_, id)) return item;
    for (const Held& p : parts_)
      if (HWND item = GetDlgItem(p.window, id)) return item;
    return nullptr;
  }
  LRESULT Send(int id, UINT msg, WPARAM wp, LPARAM lp) const {
    HWND item = Item(id);
    return item ? SendMessageA(item, msg, wp, lp) : 0;
  }

  HWND hwnd_;
  Session* session_;
  std::vector<MSG> deferred_;
  std::vector<Held> parts_;
};

struct Session {
  DialogController* controller;
  std::unique_ptr<Win32View> view;
  NativeDialogPart* part;
};

// Keys in the parts. The modal loop offers each message to the dialog's IsDialogMessage
// alone, which leaves windows outside the dialog to themselves. While a dialog with parts is
// up, a message filter hook (IsDialogMessage calls it first) hands a key aimed at a part to
// that part's own dialog keys (Tab moves inside it), and Enter and Escape to the dialog's
// (its default button and Cancel, wherever the user is).
std::vector<Session*> g_sessions;  // this thread's dialogs, innermost last
HHOOK g_partKeys = nullptr;
bool g_routing = false;  // IsDialogMessage below offers the message to the hook again

// An open drop list closes on Enter and Escape; a push button with the focus is pressed by Enter.
bool ControlTakes(MSG& m) {
  const LRESULT code = SendMessageA(m.hwnd, WM_GETDLGCODE, m.wParam, reinterpret_cast<LPARAM>(&m));
  if (code & DLGC_WANTMESSAGE) return true;
  return m.wParam == VK_RETURN && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

bool RoutePartKey(MSG& m) {
  if (g_routing || !m.hwnd || m.message < WM_KEYFIRST || m.message > WM_KEYLAST) return false;
  for (auto it = g_sessions.rbegin(); it != g_sessions.rend(); ++it) {
    HWND part = (*it)->view ? (*it)->view->PartHolding(m.hwnd) : nullptr;
    if (!part) continue;
    HWND dlg = static_cast<HWND>((*it)->view->Window());
    // A window the dialog opened over itself (a message box) has the keyboard.
    if (!IsWindowEnabled(dlg)) return false;
    g_routing = true;
    BOOL done = FALSE;
    if (m.message == WM_KEYDOWN && (m.wParam == VK_RETURN || m.wParam == VK_ESCAPE) && !ControlTakes(m)) {
      MSG forDialog = m;
      forDialog.hwnd = dlg;
      done = IsDialogMessageA(dlg, &forDialog);
    } else {
      done = IsDialogMessageA(part, &m);
    }
    g_routing = false;
    return done != FALSE;
  }
  return false;
}

LRESULT CALLBACK PartKeys(int code, WPARAM wp, LPARAM lp) {
  if (code == MSGF_DIALOGBOX && lp && RoutePartKey(*reinterpret_cast<MSG*>(lp))) return TRUE;
  return CallNextHookEx(g_partKeys, code, wp, lp);
}

// From a dialog's first part until the last dialog of the thread ends.
void WatchPartKeys() {
  if (!g_partKeys) g_partKeys = SetWindowsHookExA(WH_MSGFILTER, PartKeys, nullptr, GetCurrentThreadId());
}

void PlaceOverParent(HWND dlg) {
  HWND parent = GetParent(dlg);
  RECT client;
  if (parent) {
    GetClientRect(parent, &client);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
  } else {
    GetClientRect(GetDesktopWindow(), &client);
  }
  RECT self;
  GetWindowRect(dlg, &self);
  const bool sysMenu = (GetWindowLongA(dlg, GWL_STYLE) & WS_SYSMENU) != 0;
  Point p = PlaceDialog({client.left, client.top, client.right, client.bottom}, self.right - self.left,
                        self.bottom - self.top, GetSystemMetrics(SM_CXSIZE), sysMenu,
                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  SetWindowPos(dlg, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* s = reinterpret_cast<Session*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (s && s->part && s->view && msg != WM_INITDIALOG) {
    intptr_t result = 0;
    if (s->part->OnMessage(*s->view, hwnd, msg, wp, lp, result)) return result;
  }
  switch (msg) {
    case WM_INITDIALOG: {
      s = reinterpret_cast<Session*>(lp);
      SetWindowLongPtrA(hwnd, DWLP_USER, lp);
      s->view = std::make_unique<Win32View>(hwnd, s);
      PlaceOverParent(hwnd);
      intptr_t ignored = 0;
      if (s->part) s->part->OnMessage(*s->view, hwnd, msg, wp, lp, ignored);
      s->controller->OnInit(*s->view);
      return TRUE;
    }
    case WM_COMMAND:
      if (s) s->controller->OnCommand(*s->view, LOWORD(wp), HIWORD(wp));
      return TRUE;
    case WM_CLOSE:
      if (s) s->controller->OnClose(*s->view);
      return TRUE;
    case WM_SIZE:
      if (s && s->view) s->controller->OnSize(*s->view, LOWORD(lp), HIWORD(lp));
      return FALSE;
    case WM_MOVE:
      // Parts glued to the dialog follow it as it moves.
      if (s && s->view) s->controller->OnPartMoved(*s->view, 0, s->view->PartPlace(0));
      return FALSE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      if (s && s->controller->PaintsWhiteBackground())
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
      return FALSE;
    case WM_ERASEBKGND:
      if (s && s->controller->PaintsWhiteBackground()) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return TRUE;
      }
      return FALSE;
    default:
      if (s && s->view && msg >= WM_APP && msg < 0xC000) {
        s->controller->OnPosted(*s->view, static_cast<int>(msg - WM_APP), static_cast<intptr_t>(lp));
        return TRUE;
      }
      return FALSE;
  }
}

// A part's window: its controls talk to the dialog's controller; its moves and its close box
// are reported as the part's.
INT_PTR CALLBACK PartProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* p = reinterpret_cast<PartInfo*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (msg == WM_INITDIALOG) {
    p = reinterpret_cast<PartInfo*>(lp);
    SetWindowLongPtrA(hwnd, DWLP_USER, lp);
    SetPropA(hwnd, kDialogPartProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(p->part)));
    // The dialog's drawn parts may live here too.
    intptr_t ignored = 0;
    if (p->session->part && p->session->view)
      p->session->part->OnMessage(*p->session->view, hwnd, msg, wp, lp, ignored);
    return FALSE;
  }
  if (!p || !p->session->view) return FALSE;
  Session& s = *p->session;
  switch (msg) {
    case WM_COMMAND: s.controller->OnCommand(*s.view, LOWORD(wp), HIWORD(wp)); return TRUE;
    case WM_EXITSIZEMOVE: s.controller->OnPartMoved(*s.view, p->part, s.view->PartPlace(p->part)); return TRUE;
    case WM_CLOSE: s.controller->OnPartClosed(*s.view, p->part); return TRUE;
    case WM_DESTROY: RemovePropA(hwnd, kDialogPartProperty); return FALSE;
    default: return FALSE;
  }
}

}  // namespace

void SetResourceModule(void* module) { g_module = module; }
void* ResourceModule() { return g_module ? g_module : &__ImageBase; }

intptr_t RunModalDialog(const char* templateName, NativeWindow parent, DialogController& controller) {
  return RunModalDialog(templateName, parent, controller, nullptr);
}

intptr_t RunModalDialog(const char* templateName, NativeWindow parent, DialogController& controller,
                        NativeDialogPart* part) {
  Session s{&controller, {}, part};
  // A template named by digits alone is a numbered resource, as resource scripts store it.
  bool numbered = templateName && *templateName;
  for (const char* c = templateName; numbered && *c; ++c) numbered = *c >= '0' && *c <= '9';
  LPCSTR name = numbered ? MAKEINTRESOURCEA(std::atoi(templateName)) : templateName;
  g_sessions.push_back(&s);
  INT_PTR r = DialogBoxParamA(static_cast<HINSTANCE>(ResourceModule()), name,
                              static_cast<HWND>(parent), DialogProc, reinterpret_cast<LPARAM>(&s));
  g_sessions.pop_back();
  if (g_sessions.empty() && g_partKeys) {
    UnhookWindowsHookEx(g_partKeys);
    g_partKeys = nullptr;
  }
  return r;
}

std::string LoadResourceString(int id) {
  char buf[1024];
  const int n = LoadStringA(static_cast<HINSTANCE>(ResourceModule()), static_cast<UINT>(id), buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

void DebugOutput(const char* text) { OutputDebugStringA(text); }

int ShowMessageBox(NativeWindow parent, const std::string& text, const std::string& caption, uint32_t style) {
  return MessageBoxA(static_cast<HWND>(parent), text.c_str(), caption.c_str(), style);
}

// Explorer-style hook: its dialog is a child of the real one, which it moves once.
UINT_PTR CALLBACK PlaceHighCentre(HWND child, UINT msg, WPARAM, LPARAM) {
  if (msg != WM_INITDIALOG) return 0;
  HWND dlg = GetParent(child);
  RECT self{}, area{};
  GetWindowRect(dlg, &self);
  HWND above = GetParent(dlg) ? GetParent(GetParent(dlg)) : nullptr;
  if (above) GetWindowRect(above, &area);
  else SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  const LONG w = self.right - self.left, h = self.bottom - self.top;
  const LONG W = area.right - area.left, H = area.bottom - area.top;
  const Point p = PlaceHighCentreIn(W, H, w, h);
  SetWindowPos(dlg, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

bool AskSaveFileName(const SaveFileRequest& request, std::string& path) {
  // The filter string is pairs of NUL-terminated texts ending in an empty one.
  std::string filter = request.filterName;
  filter.push_back('\0');
  filter += request.patterns;
  filter.push_back('\0');
  filter.push_back('\0');
  std::vector<char> buf(request.capacity ? request.capacity : 1, '\0');
  std::strncpy(buf.data(), request.initialName.c_str(), buf.size() - 1);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = static_cast<HWND>(request.owner);
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = static_cast<DWORD>(buf.size());
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (request.placeHighCentre) {
    ofn.Flags |= OFN_ENABLEHOOK;
    ofn.lpfnHook = PlaceHighCentre;
  }
  if (!GetSaveFileNameA(&ofn)) return false;
  path = buf.data();
  return true;
}

}  // namespace qm::platform

namespace qm::platform {

std::optional<ItemRect> WindowScreenRect(NativeWindow window) {
  RECT r{};
  if (!window || !GetWindowRect(static_cast<HWND>(window), &r)) return std::nullopt;
  return ItemRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void MoveWindowTo(NativeWindow window, const ItemRect& r) {
  if (window)
    SetWindowPos(static_cast<HWND>(window), nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

ItemRect ScreenWorkArea() {
  RECT r{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace qm::platform
