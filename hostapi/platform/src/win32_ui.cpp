// Windows builds: real dialogs from the module's templates. The dialog procedure only turns
// messages into controller calls; the controller holds the behaviour.
#include <windows.h>

#include <memory>

#include "platform/placement.h"
#include "platform/ui.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace qm::platform {
namespace {

void* g_module = nullptr;

class Win32View final : public DialogView {
 public:
  explicit Win32View(HWND hwnd) : hwnd_(hwnd) {}
  void SetItemText(int id, const std::string& text) override { SetDlgItemTextA(hwnd_, id, text.c_str()); }
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

 private:
  HWND hwnd_;
};

struct Session {
  DialogController* controller;
  std::unique_ptr<Win32View> view;
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
  switch (msg) {
    case WM_INITDIALOG: {
      s = reinterpret_cast<Session*>(lp);
      SetWindowLongPtrA(hwnd, DWLP_USER, lp);
      s->view = std::make_unique<Win32View>(hwnd);
      PlaceOverParent(hwnd);
      s->controller->OnInit(*s->view);
      return TRUE;
    }
    case WM_COMMAND:
      if (s) s->controller->OnCommand(*s->view, LOWORD(wp), HIWORD(wp));
      return TRUE;
    case WM_CLOSE:
      if (s) s->controller->OnClose(*s->view);
      return TRUE;
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
      return FALSE;
  }
}

}  // namespace

void SetResourceModule(void* module) { g_module = module; }
void* ResourceModule() { return g_module ? g_module : &__ImageBase; }

intptr_t RunModalDialog(const char* templateName, NativeWindow parent, DialogController& controller) {
  Session s{&controller, {}};
  INT_PTR r = DialogBoxParamA(static_cast<HINSTANCE>(ResourceModule()), templateName,
                              static_cast<HWND>(parent), DialogProc, reinterpret_cast<LPARAM>(&s));
  return r;
}

int ShowMessageBox(NativeWindow parent, const std::string& text, const std::string& caption, uint32_t style) {
  return MessageBoxA(static_cast<HWND>(parent), text.c_str(), caption.c_str(), style);
}

}  // namespace qm::platform
