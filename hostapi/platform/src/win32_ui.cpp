// Windows builds: real dialogs from the module's templates. The dialog procedure only turns
// messages into controller calls; the controller holds the behaviour.
#include <windows.h>

#include <commdlg.h>

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

class Win32View final : public DialogView {
 public:
  explicit Win32View(HWND hwnd) : hwnd_(hwnd) {}
  void SetItemText(int id, const std::string& text) override { SetDlgItemTextA(hwnd_, id, text.c_str()); }
  void SetCaption(const std::string& text) override { SetWindowTextA(hwnd_, text.c_str()); }
  NativeWindow Window() const override { return hwnd_; }
  std::string ItemText(int id) const override {
    HWND item = GetDlgItem(hwnd_, id);
    int n = item ? GetWindowTextLengthA(item) : 0;
    std::string s(static_cast<size_t>(n) + 1, '\0');
    if (n > 0) GetWindowTextA(item, s.data(), n + 1);
    s.resize(static_cast<size_t>(n));
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
    SendDlgItemMessageA(hwnd_, id, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, name)), 0);
  }
  void EnableItem(int id, bool enabled) override { EnableWindow(GetDlgItem(hwnd_, id), enabled); }
  void End(intptr_t result) override { EndDialog(hwnd_, result); }
  void ClearList(int id) override { SendDlgItemMessageA(hwnd_, id, CB_RESETCONTENT, 0, 0); }
  void AddListEntry(int id, const std::string& text) override {
    SendDlgItemMessageA(hwnd_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void SelectListEntry(int id, int index) override {
    SendDlgItemMessageA(hwnd_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  int SelectedListEntry(int id) const override {
    return static_cast<int>(SendDlgItemMessageA(hwnd_, id, CB_GETCURSEL, 0, 0));
  }
  void LimitText(int id, int chars) override {
    SendDlgItemMessageA(hwnd_, id, EM_LIMITTEXT, static_cast<WPARAM>(chars), 0);
  }
  void SetChecked(int id, bool on) override { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }
  bool IsChecked(int id) const override { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
  bool IsItemEnabled(int id) const override { return IsWindowEnabled(GetDlgItem(hwnd_, id)) != FALSE; }
  ItemRect ItemPlace(int id) const override {
    RECT r{};
    if (id == 0) {
      GetClientRect(hwnd_, &r);
    } else {
      HWND item = GetDlgItem(hwnd_, id);
      if (!item) return {};
      GetWindowRect(item, &r);
      MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
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
    if (HWND item = GetDlgItem(hwnd_, id))
      SetWindowPos(item, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void Redraw(int id, const ItemRect& r) override {
    if (id == 0) {
      InvalidateRect(hwnd_, nullptr, TRUE);
      return;
    }
    HWND item = GetDlgItem(hwnd_, id);
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
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.hwnd == hwnd_ && m.message >= WM_APP && m.message < 0xC000) {
        deferred_.push_back(m);
        continue;
      }
      if (!IsDialogMessageA(hwnd_, &m)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
    }
    for (const MSG& m2 : deferred_) PostMessageA(m2.hwnd, m2.message, m2.wParam, m2.lParam);
    deferred_.clear();
    if (outer && IsWindow(hwnd_)) RemovePropA(hwnd_, kDialogBusyProperty);
  }

 private:
  HWND hwnd_;
  std::vector<MSG> deferred_;
};

struct Session {
  DialogController* controller;
  std::unique_ptr<Win32View> view;
  NativeDialogPart* part;
};

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
      s->view = std::make_unique<Win32View>(hwnd);
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
  INT_PTR r = DialogBoxParamA(static_cast<HINSTANCE>(ResourceModule()), name,
                              static_cast<HWND>(parent), DialogProc, reinterpret_cast<LPARAM>(&s));
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
