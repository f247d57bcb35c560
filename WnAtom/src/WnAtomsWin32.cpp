#include "WnAtom/WnAtoms.h"

#include <commctrl.h>

#include <algorithm>

namespace wn {
namespace {

const wchar_t kPreviewClass[] = L"QmWnCrPreview";

LRESULT CALLBACK preview_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<WnCrPreviewAtom*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (self != nullptr) {
        self->paint(dc);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // paint covers every pixel
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE: {
      // The mouse relay: the dialog handles panning and zoom in its own coordinates.
      POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      HWND parent = GetParent(hwnd);
      MapWindowPoints(hwnd, parent, &p, 1);
      return SendMessageW(parent, msg, wp, MAKELPARAM(p.x, p.y));
    }
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void register_preview_class(HINSTANCE module) {
  WNDCLASSW wc{};
  if (GetClassInfoW(module, kPreviewClass, &wc)) {
    return;
  }
  wc.lpfnWndProc = preview_proc;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kPreviewClass;
  RegisterClassW(&wc);
}

}  // namespace

WnCustomAtom::WnCustomAtom(HWND dialog, int placeholder_id)
    : dialog_(dialog), window_(GetDlgItem(dialog, placeholder_id)) {
  RECT r{};
  if (window_ != nullptr && GetWindowRect(window_, &r)) {
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
  }
}

void WnCustomAtom::invalidate() const {
  RECT r{left_, top_, left_ + width_, top_ + height_};
  InvalidateRect(dialog_, &r, FALSE);
}

WnSBRBAtom::WnSBRBAtom(HINSTANCE module, int bitmap_id)
    : bitmap_(static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(bitmap_id), IMAGE_BITMAP, 0, 0, 0))) {}

WnSBRBAtom::~WnSBRBAtom() {
  if (bitmap_ != nullptr) {
    DeleteObject(bitmap_);
  }
}

void WnSBRBAtom::draw(HDC dc, int x, int y) const {
  if (bitmap_ == nullptr) {
    return;
  }
  BITMAP info{};
  GetObjectW(bitmap_, sizeof info, &info);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bitmap_);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

WnDBRBAtom::WnDBRBAtom(HINSTANCE module, int released_id, int pressed_id)
    : released_(module, released_id), pressed_(module, pressed_id) {}

WnCrSliderAtom::WnCrSliderAtom(HWND dialog, int placeholder_id, HINSTANCE module,
                               std::function<void(int)> on_change)
    : WnCustomAtom(dialog, placeholder_id), track_(module, 103), thumb_(module, 105, 106),
      on_change_(std::move(on_change)) {
  if (window_ != nullptr) {
    ShowWindow(window_, SW_HIDE);  // the atom draws over the placeholder's place
  }
}

void WnCrSliderAtom::set_value(int v) {
  v = std::clamp(v, 0, kSliderMax);
  if (v == value_) {
    return;
  }
  value_ = v;
  invalidate();
}

void WnCrSliderAtom::draw(HDC dc) const {
  track_.draw(dc, left_, top_);
  thumb_.draw(dc, slider_thumb_x(left_, value_), slider_thumb_y(top_), dragging_);
}

bool WnCrSliderAtom::mouse_down(int x, int y) {
  const int tx = slider_thumb_x(left_, value_);
  const int ty = slider_thumb_y(top_);
  if (x < tx || x >= tx + 9 || y < ty || y >= ty + 17) {
    return false;
  }
  dragging_ = true;
  SetCapture(dialog_);
  invalidate();
  return true;
}

void WnCrSliderAtom::drag_to(int x) {
  const int v = slider_value_at(left_, x);
  if (v != value_) {
    set_value(v);
    if (on_change_) {
      on_change_(v);
    }
  }
}

bool WnCrSliderAtom::mouse_move(int x) {
  if (!dragging_) {
    return false;
  }
  drag_to(x);
  return true;
}

bool WnCrSliderAtom::mouse_up(int x) {
  if (!dragging_) {
    return false;
  }
  drag_to(x);
  dragging_ = false;
  ReleaseCapture();
  invalidate();
  return true;
}

WnCrPreviewAtom::WnCrPreviewAtom(HWND dialog, int placeholder_id, HINSTANCE module)
    : WnCustomAtom(dialog, placeholder_id) {
  register_preview_class(module);
  window_ = CreateWindowExW(0, kPreviewClass, L"", WS_CHILD | WS_VISIBLE, left_, top_, width_, height_, dialog,
                            nullptr, module, nullptr);
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  view_ = Bitmap32(std::max(width_, 0), std::max(height_, 0));
}

WnCrPreviewAtom::~WnCrPreviewAtom() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void WnCrPreviewAtom::set_image(const uint8_t* rgb, int width, int height, int row_step) {
  full_ = bitmap_from_rgb(rgb, width, height, row_step);
  relimit();
  rebuild();
}

void WnCrPreviewAtom::relimit() {
  const Scale s = scale_for_zoom(zoom_);
  ox_ = clamp_offset(ox_, width_, scaled_size(full_.width, s));
  oy_ = clamp_offset(oy_, height_, scaled_size(full_.height, s));
}

void WnCrPreviewAtom::rebuild() {
  // The uncovered part shows the button face.
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (int y = 0; y < view_.height; ++y) {
    for (int x = 0; x < view_.width; ++x) {
      uint8_t* p = view_.at(x, y);
      p[0] = GetBValue(face);
      p[1] = GetGValue(face);
      p[2] = GetRValue(face);
      p[3] = 0;
    }
  }
  redraw(Rect{0, 0, full_.width, full_.height});
}

void WnCrPreviewAtom::redraw(Rect image_rect) {
  draw_scaled(full_, image_rect, scale_for_zoom(zoom_), ox_, oy_, view_);
  if (window_ != nullptr && visible_) {
    InvalidateRect(window_, nullptr, FALSE);
  }
}

void WnCrPreviewAtom::zoom_in() {
  if (zoom_ < 7) {
    ++zoom_;
    relimit();
    rebuild();
  }
}

void WnCrPreviewAtom::zoom_out() {
  if (zoom_ > -7) {
    --zoom_;
    relimit();
    rebuild();
  }
}

void WnCrPreviewAtom::show(bool visible) {
  visible_ = visible;
  if (window_ != nullptr) {
    ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
  }
}

void WnCrPreviewAtom::set_offset(int ox, int oy) {
  ox_ = ox;
  oy_ = oy;
  relimit();
  rebuild();
}

void WnCrPreviewAtom::resize(int w, int h) {
  width_ = std::max(w, 0);
  height_ = std::max(h, 0);
  view_ = Bitmap32(width_, height_);
  if (window_ != nullptr) {
    MoveWindow(window_, left_, top_, width_, height_, TRUE);
  }
  relimit();
  rebuild();
}

void WnCrPreviewAtom::paint(HDC dc) const {
  if (view_.width == 0 || view_.height == 0) {
    return;
  }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = view_.width;
  bi.bmiHeader.biHeight = -view_.height;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(view_.width), static_cast<DWORD>(view_.height), 0, 0, 0,
                    static_cast<UINT>(view_.height), view_.px.data(), &bi, DIB_RGB_COLORS);
}

WnTooltips::WnTooltips(HWND dialog) : dialog_(dialog) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  tip_ = CreateWindowExW(WS_EX_TOPMOST, L"tooltips_class32", nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog,
                         nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)),
                         nullptr);
}

WnTooltips::~WnTooltips() {
  if (tip_ != nullptr) {
    DestroyWindow(tip_);
  }
}

void WnTooltips::attach(HWND control, const std::wstring& text) {
  if (tip_ == nullptr || control == nullptr) {
    return;
  }
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = dialog_;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void WnTooltips::relay(const MSG& msg) const {
  if (tip_ != nullptr) {
    SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
  }
}

}  // namespace wn
