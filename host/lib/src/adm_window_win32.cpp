// Windows: an ADM modal dialog as a real window. The dialog is an ordinary dialog-class
// window made from an empty in-memory template, so the host's answer hook sees and answers
// it like any other; items become buttons and static controls, and picture items are
// owner-drawn through the effect's drawer proc.
#include <windows.h>

#include <vector>

#include "adm_host_internal.h"

namespace plughost::adm {
namespace {

struct Run {
  Dialog* dialog;
  ADMDialogInitProc init;
};

RECT ClientToWindow(int32_t w, int32_t h, DWORD style) {
  RECT r{0, 0, w, h};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  return r;
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* run = reinterpret_cast<Run*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      run = reinterpret_cast<Run*>(lp);
      SetWindowLongPtrA(hwnd, DWLP_USER, lp);
      run->dialog->window = hwnd;
      if (run->init) run->init(reinterpret_cast<ADMDialogRef>(run->dialog));
      ResizeDialogWindow(*run->dialog);
      SetWindowTextA(hwnd, run->dialog->title.c_str());
      return TRUE;
    }
    case WM_COMMAND: {
      if (!run) return FALSE;
      const int id = LOWORD(wp);
      if (id == IDCANCEL && !run->dialog->Find(IDCANCEL)) {
        CloseDialogWindow(*run->dialog);
        run->dialog->ended = true;
        run->dialog->result = run->dialog->cancelId;
        return TRUE;
      }
      if (Item* item = run->dialog->Find(id)) {
        if (item->notify) item->notify(reinterpret_cast<ADMItemRef>(item), nullptr);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      if (run) {
        run->dialog->ended = true;
        run->dialog->result = run->dialog->cancelId;
      }
      DestroyWindow(hwnd);
      return TRUE;
    case WM_DRAWITEM: {
      if (!run) return FALSE;
      const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      Item* item = run->dialog->Find(static_cast<int32_t>(di->CtlID));
      if (!item || !item->draw) return FALSE;
      Drawer drawer;
      drawer.bounds = item->rect;
      drawer.dc = di->hDC;
      item->draw(reinterpret_cast<ADMItemRef>(item), reinterpret_cast<ADMDrawerRef>(&drawer));
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

int32_t RunWindow(Dialog& dialog, ADMDialogInitProc init) {
  // An empty template: no items, no font; the ADM calls make the rest.
  struct alignas(4) Template {
    DLGTEMPLATE head;
    WORD menu, cls, title;
  } tpl{};
  tpl.head.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER;
  tpl.head.cx = 200;
  tpl.head.cy = 200;
  Run run{&dialog, init};
  HWND hwnd = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tpl.head, nullptr, DialogProc,
                                         reinterpret_cast<LPARAM>(&run));
  if (!hwnd) return dialog.cancelId;
  ShowWindow(hwnd, SW_SHOW);
  MSG msg;
  while (!dialog.ended && IsWindow(hwnd) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(hwnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  dialog.window = nullptr;
  return dialog.result;
}

void CreateItemWindow(Dialog& dialog, Item& item) {
  HWND parent = static_cast<HWND>(dialog.window);
  const char* cls = "STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE;
  if (item.type == kADMTextPushButtonType) {
    cls = "BUTTON";
    style |= WS_TABSTOP | (item.id == dialog.defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  } else if (item.type == kADMPictureStaticType) {
    style |= SS_OWNERDRAW;
  } else {
    style |= SS_LEFT;
  }
  HWND child = CreateWindowExA(0, cls, item.text.c_str(), style, item.rect.left, item.rect.top,
                               item.rect.right - item.rect.left, item.rect.bottom - item.rect.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  item.window = child;
}

void SetWindowTextOf(void* window, const std::string& text) {
  if (window) SetWindowTextA(static_cast<HWND>(window), text.c_str());
}

void ResizeDialogWindow(Dialog& dialog) {
  HWND hwnd = static_cast<HWND>(dialog.window);
  if (!hwnd || dialog.width <= 0 || dialog.height <= 0) return;
  const RECT r = ClientToWindow(dialog.width, dialog.height, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)));
  SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

void SetDefaultButton(Dialog& dialog) {
  HWND hwnd = static_cast<HWND>(dialog.window);
  if (hwnd) SendMessageA(hwnd, DM_SETDEFID, static_cast<WPARAM>(dialog.defaultId), 0);
}

void CloseDialogWindow(Dialog& dialog) {
  HWND hwnd = static_cast<HWND>(dialog.window);
  if (hwnd) PostMessageA(hwnd, WM_NULL, 0, 0);  // wakes the loop, which sees the dialog ended
}

void ShowErrorAlert(const char* text) {
  MessageBoxA(GetActiveWindow(), text ? text : "", "Error", MB_OK | MB_ICONERROR);
}

void FillRectOnDc(Drawer& d, const ASRect& r) {
  HBRUSH brush = CreateSolidBrush(RGB(d.colour.red >> 8, d.colour.green >> 8, d.colour.blue >> 8));
  const RECT rect{r.left, r.top, r.right, r.bottom};
  FillRect(static_cast<HDC>(d.dc), &rect, brush);
  DeleteObject(brush);
}

void DrawImageOnDc(Drawer& d, const Image& image, const ASPoint& at) {
  // A top-down 32-bit DIB of the image, put on the item pixel for pixel.
  std::vector<uint8_t> bgra(static_cast<size_t>(image.width) * image.height * 4);
  for (size_t i = 0, n = static_cast<size_t>(image.width) * image.height; i < n; ++i) {
    bgra[i * 4] = image.rgb[i * 3 + 2];
    bgra[i * 4 + 1] = image.rgb[i * 3 + 1];
    bgra[i * 4 + 2] = image.rgb[i * 3];
    bgra[i * 4 + 3] = 255;
  }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = image.width;
  bi.bmiHeader.biHeight = -image.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(static_cast<HDC>(d.dc), at.h, at.v, static_cast<DWORD>(image.width), static_cast<DWORD>(image.height),
                    0, 0, 0, static_cast<UINT>(image.height), bgra.data(), &bi, DIB_RGB_COLORS);
}

}  // namespace plughost::adm
