// The installer window: a dialog whose client area is painted from the controller's state,
// off screen first so that redraws do not flicker.
#include "setup_dialog.h"

#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <map>
#include <memory>

#include "window.h"
#include "win32_system.h"

namespace installer {
namespace {

constexpr UINT kSelectionMessage = WM_APP + 1;  // a list choice, handled once the list has closed up

struct State {
  Win32System sys;
  std::vector<Payload> payloads;
  std::unique_ptr<SetupWindow> window;
  HINSTANCE instance = nullptr;
  HFONT plain = nullptr, underlined = nullptr, large = nullptr;
  HCURSOR linkCursor = nullptr;
  HBITMAP offscreen = nullptr;
  std::map<int, HBITMAP> bitmaps;
  bool listHidden = false;
};

HFONT MakeFont(const char* face, int height, bool underline) {
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

HBITMAP Bitmap(State& s, int id) {
  auto it = s.bitmaps.find(id);
  if (it != s.bitmaps.end()) return it->second;
  HBITMAP b = LoadBitmapA(s.instance, MAKEINTRESOURCEA(id));
  s.bitmaps[id] = b;
  return b;
}

void Blit(HDC dc, HDC src, HBITMAP bmp, int x, int y, int sx, int sy, int w, int h) {
  if (!bmp) return;
  HGDIOBJ old = SelectObject(src, bmp);
  BitBlt(dc, x, y, w, h, src, sx, sy, SRCCOPY);
  SelectObject(src, old);
}

SIZE BitmapSize(HBITMAP bmp) {
  BITMAP info{};
  if (bmp) GetObjectA(bmp, sizeof info, &info);
  return SIZE{info.bmWidth, info.bmHeight};
}

void Text(HDC dc, HFONT font, COLORREF colour, int x, int y, const std::string& text) {
  SelectObject(dc, font);
  SetTextColor(dc, colour);
  TextOutA(dc, x, y, text.c_str(), int(text.size()));
}

void PaintClient(State& s, HDC dc) {
  const SetupWindow& w = *s.window;
  HDC src = CreateCompatibleDC(dc);
  HBITMAP tile = Bitmap(s, SetupWindow::kTileBitmap);
  const SIZE t = BitmapSize(tile);
  if (t.cx > 0 && t.cy > 0)
    for (int y = 0; y < SetupWindow::kClientHeight; y += t.cy)
      for (int x = 0; x < SetupWindow::kClientWidth; x += t.cx) Blit(dc, src, tile, x, y, 0, 0, t.cx, t.cy);
  SetBkMode(dc, TRANSPARENT);
  for (const Control& c : s.window->Controls()) {
    if (!c.visible) continue;
    const int x = c.area.left, y = c.area.top;
    switch (c.kind) {
      case ControlKind::Button: {
        HBITMAP b = Bitmap(s, c.bitmap);
        const SIZE z = BitmapSize(b);
        if (!c.enabled) {
          DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(b), 0, x, y, z.cx, z.cy, DST_BITMAP | DSS_DISABLED);
        } else {
          const int shift = c.pressed ? 1 : 0;
          Blit(dc, src, b, x + shift, y + shift, 0, 0, z.cx, z.cy);
        }
        break;
      }
      case ControlKind::Picture: {
        HBITMAP b = Bitmap(s, c.bitmap);
        const SIZE z = BitmapSize(b);
        Blit(dc, src, b, x, y, 0, 0, z.cx, z.cy);
        break;
      }
      case ControlKind::Option: {
        const int box = c.area.right - c.area.left;
        Blit(dc, src, Bitmap(s, c.bitmap), x, y, c.state * box, 0, box, box);
        Text(dc, s.plain, RGB(0, 0, 0), x + 20, y, c.text);
        break;
      }
      case ControlKind::Link:
        Text(dc, s.underlined, c.visited ? RGB(128, 0, 128) : RGB(0, 0, 255), x, y, c.text);
        break;
    }
  }
  if (!w.Hint().empty()) {
    SelectObject(dc, s.plain);
    SetTextColor(dc, RGB(0, 0, 0));
    RECT r{SetupWindow::kHintLine.left, SetupWindow::kHintLine.top, SetupWindow::kHintLine.right,
           SetupWindow::kHintLine.bottom};
    DrawTextA(dc, w.Hint().c_str(), int(w.Hint().size()), &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  for (const TextLine& line : w.Texts()) Text(dc, w.Installed() ? s.large : s.plain, RGB(0, 0, 0), line.x, line.y, line.text);
  DeleteDC(src);
}

void Paint(State& s, HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  // Give the window system a moment to settle before the whole area is drawn again.
  Sleep(50);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, s.offscreen);
  PaintClient(s, mem);
  BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
         mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

void Flush(State& s, HWND hwnd) {
  for (const Rect& r : s.window->TakeDirty()) {
    RECT rc{r.left, r.top, r.right + 1, r.bottom + 1};
    InvalidateRect(hwnd, &rc, FALSE);
  }
}

void Post(HWND hwnd, int id) {
  if (id) PostMessageA(hwnd, SetupWindow::kNotifyMessage, WPARAM(id), 0);
}

void FillList(State& s, HWND hwnd) {
  HWND list = GetDlgItem(hwnd, SetupWindow::kListId);
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  for (const std::string& line : s.window->Lines()) SendMessageA(list, CB_ADDSTRING, 0, LPARAM(line.c_str()));
  SendMessageA(list, CB_SETCURSEL, WPARAM(s.window->Selection()), 0);
}

std::optional<std::string> BrowseForFolder(HWND owner) {
  BROWSEINFOA bi{};
  bi.hwndOwner = owner;
  bi.lpszTitle = SetupWindow::kBrowseTitle;
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
  if (!chosen) return std::nullopt;
  char path[MAX_PATH + 1] = {};
  const bool ok = SHGetPathFromIDListA(chosen, path);
  CoTaskMemFree(chosen);
  if (!ok) return std::nullopt;
  return std::string(path);
}

void Open(State& s, HWND hwnd) {
  s.plain = MakeFont("MS Sans Serif", 13, false);
  s.underlined = MakeFont("MS Sans Serif", 13, true);
  s.linkCursor = LoadCursorA(s.instance, MAKEINTRESOURCEA(SetupWindow::kLinkCursor));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = SetupWindow::kClientWidth;
  bi.bmiHeader.biHeight = SetupWindow::kClientHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HDC screen = GetDC(hwnd);
  s.offscreen = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);

  s.window = std::make_unique<SetupWindow>(DiscoverFolders(s.sys));
  // The link answers the mouse over its text only.
  Control& link = s.window->Find(SetupWindow::kLinkId, ControlKind::Link);
  HGDIOBJ oldFont = SelectObject(screen, s.underlined);
  SIZE extent{};
  GetTextExtentPoint32A(screen, link.text.c_str(), int(link.text.size()), &extent);
  SelectObject(screen, oldFont);
  ReleaseDC(hwnd, screen);
  s.window->SetLinkExtent(extent.cx, extent.cy);
  FillList(s, hwnd);

  SetWindowTextA(hwnd, SetupWindow::kCaption);
  HWND list = GetDlgItem(hwnd, SetupWindow::kListId);
  SendMessageA(list, WM_SETFONT, WPARAM(s.plain), FALSE);
  MoveWindow(list, SetupWindow::kListX, SetupWindow::kListY, SetupWindow::kListWidth, 160, FALSE);
  RECT frame{0, 0, SetupWindow::kClientWidth, SetupWindow::kClientHeight};
  AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrA(hwnd, GWL_STYLE)), FALSE,
                     DWORD(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)));
  RECT now;
  GetWindowRect(hwnd, &now);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  const int cx = (now.left + now.right) / 2, cy = (now.top + now.bottom) / 2;
  SetWindowPos(hwnd, nullptr, cx - w / 2, cy - h / 2, w, h, SWP_NOZORDER);
}

void Close(State& s) {
  for (HGDIOBJ o : {HGDIOBJ(s.plain), HGDIOBJ(s.underlined), HGDIOBJ(s.large), HGDIOBJ(s.offscreen)})
    if (o) DeleteObject(o);
  for (auto& [id, b] : s.bitmaps)
    if (b) DeleteObject(b);
  s.bitmaps.clear();
}

void Notify(State& s, HWND hwnd, int id) {
  switch (s.window->Notify(id, s.sys, s.payloads)) {
    case Action::Close:
      EndDialog(hwnd, 0);
      return;
    case Action::OpenPage:
      ShellExecuteA(hwnd, "open", SetupWindow::kInstallPage, nullptr, nullptr, SW_SHOWMAXIMIZED);
      break;
    case Action::Repaint:
      if (s.window->Installed() && !s.listHidden) {
        s.listHidden = true;
        SetWindowPos(GetDlgItem(hwnd, SetupWindow::kListId), nullptr, -4000, -4000, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
        s.large = MakeFont("ms sans serif", 16, false);
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case Action::None:
      break;
  }
  Flush(s, hwnd);
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* s = reinterpret_cast<State*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (msg == WM_INITDIALOG) {
    s = reinterpret_cast<State*>(lp);
    SetWindowLongPtrA(hwnd, DWLP_USER, LONG_PTR(s));
    Open(*s, hwnd);
    return TRUE;
  }
  if (!s || !s->window) return FALSE;
  const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  switch (msg) {
    case WM_ERASEBKGND:
      SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 1);
      return TRUE;
    case WM_PAINT:
      Paint(*s, hwnd);
      return TRUE;
    case WM_MOUSEMOVE:
      s->window->MouseMove(x, y);
      Flush(*s, hwnd);
      return TRUE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetCapture(hwnd);
      Post(hwnd, s->window->ButtonDown(x, y, msg == WM_RBUTTONDOWN));
      Flush(*s, hwnd);
      return TRUE;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ReleaseCapture();
      Post(hwnd, s->window->ButtonUp(x, y, msg == WM_RBUTTONUP));
      Flush(*s, hwnd);
      return TRUE;
    case WM_SETCURSOR:
      if (HWND(wp) == hwnd && LOWORD(lp) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        s->window->MouseMove(pt.x, pt.y);
        Flush(*s, hwnd);
        if (s->window->OverLink() && s->linkCursor) {
          SetCursor(s->linkCursor);
          SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, TRUE);
          return TRUE;
        }
      }
      return FALSE;
    case SetupWindow::kNotifyMessage:
      Notify(*s, hwnd, int(wp));
      return TRUE;
    case kSelectionMessage: {
      const size_t before = s->window->Lines().size();
      const int line = int(SendMessageA(GetDlgItem(hwnd, SetupWindow::kListId), CB_GETCURSEL, 0, 0));
      s->window->Select(line, s->sys, [hwnd] { return BrowseForFolder(hwnd); });
      if (s->window->Lines().size() != before || line != s->window->Selection()) FillList(*s, hwnd);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == SetupWindow::kListId && HIWORD(wp) == CBN_SELCHANGE) {
        PostMessageA(hwnd, kSelectionMessage, 0, 0);
      } else if (LOWORD(wp) == IDCANCEL) {
        EndDialog(hwnd, 0);
      }
      return TRUE;
    case WM_CLOSE:
      EndDialog(hwnd, 0);
      return TRUE;
    case WM_DESTROY:
      Close(*s);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR RunSetupDialog(HINSTANCE instance) {
  State s;
  s.instance = instance;
  s.payloads = LoadPayloads();
  return DialogBoxParamA(instance, "main", nullptr, DialogProc, LPARAM(&s));
}

}  // namespace installer
