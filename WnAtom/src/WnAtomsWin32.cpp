#include "WnAtom/WnAtoms.h"

#include <commctrl.h>

#include <algorithm>

namespace wn {
namespace {

const wchar_t kPreviewClass[] = L"QmWnCrPreview";
// Panes alive: the class goes with the last, since a module's classes outlive its unloading
// and a host that loads the plug-in again may put it elsewhere.
int g_panes = 0;
HINSTANCE g_class_module = nullptr;

void register_preview_class(HINSTANCE module, WNDPROC proc) {
  WNDCLASSW wc{};
  if (GetClassInfoW(module, kPreviewClass, &wc)) {
    return;
  }
  wc.lpfnWndProc = proc;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kPreviewClass;
  RegisterClassW(&wc);
}

}  // namespace

WnCustomAtom::WnCustomAtom(HWND dialog, int placeholder_id)
    : dialog_(dialog), window_(GetDlgItem(dialog, placeholder_id)) {
  read_place();
}

void WnCustomAtom::read_place() {
  RECT r{};
  if (window_ != nullptr && GetWindowRect(window_, &r)) {
    MapWindowPoints(HWND_DESKTOP, dialog_, reinterpret_cast<POINT*>(&r), 2);
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
  }
}

void WnCustomAtom::invalidate() const {
  if (window_ != nullptr) {
    InvalidateRect(window_, nullptr, FALSE);
  }
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
      on_change_(std::move(on_change)) {}

void WnCrSliderAtom::set_value(int v) {
  v = std::clamp(v, 0, kSliderMax);
  if (v == value_) {
    return;
  }
  value_ = v;
  invalidate();
}

void WnCrSliderAtom::draw(HDC dc) const {
  RECT rc{0, 0, width_, height_};
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  track_.draw(dc, 0, 0);
  const int v = std::max(value_, 0);
  thumb_.draw(dc, slider_thumb_x(0, v), slider_thumb_y(0), dragging_);
}

bool WnCrSliderAtom::mouse_down(int x, int y) {
  if (!slider_thumb_hit(0, 0, std::max(value_, 0), x, y)) {
    return false;
  }
  dragging_ = true;
  SetCapture(window_);
  invalidate();
  return true;
}

void WnCrSliderAtom::drag_to(int x) {
  const int v = slider_value_at(0, x);
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
  if (GetCapture() == window_) {
    ReleaseCapture();
  }
  invalidate();
  return true;
}

void WnCrSliderAtom::capture_lost() {
  if (dragging_) {
    dragging_ = false;
    invalidate();
  }
}

WnCrPreviewAtom::WnCrPreviewAtom(HWND dialog, int placeholder_id, HINSTANCE module)
    : WnCustomAtom(dialog, placeholder_id) {
  register_preview_class(module, &WnCrPreviewAtom::proc);
  ++g_panes;
  g_class_module = module;
  HWND placeholder = window_;
  window_ = CreateWindowExW(0, kPreviewClass, L"", WS_CHILD | WS_VISIBLE, left_, top_, width_, height_, dialog,
                            nullptr, module, nullptr);
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // The pane answers to the placeholder's id from now on, so the dialog's placing, redraw
    // requests and mouse reach it; the placeholder keeps its place in the tab order, hidden.
    SetWindowLongPtrW(window_, GWLP_ID, placeholder_id);
    if (placeholder != nullptr) {
      SetWindowLongPtrW(placeholder, GWLP_ID, -1);
      ShowWindow(placeholder, SW_HIDE);
      SetWindowPos(window_, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  view_ = Bitmap32(std::max(width_, 0), std::max(height_, 0));
}

WnCrPreviewAtom::~WnCrPreviewAtom() {
  if (window_ != nullptr && IsWindow(window_)) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (--g_panes == 0) {
    UnregisterClassW(kPreviewClass, g_class_module);
  }
}

LRESULT CALLBACK WnCrPreviewAtom::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<WnCrPreviewAtom*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) {
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  LRESULT r = 0;
  if (self->hook_ && self->hook_(msg, wp, lp, r)) {
    return r;
  }
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      self->paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // paint covers every pixel
    case WM_SIZE:
      self->resized();
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void WnCrPreviewAtom::set_image(const uint8_t* rgb, int width, int height, int row_step) {
  full_ = bitmap_from_rgb(rgb, width, height, row_step);
  relimit();
  rebuild();
}

void WnCrPreviewAtom::update_image(const uint8_t* bgrx, int row_step, Rect r) {
  r.x0 = std::max(r.x0, 0);
  r.y0 = std::max(r.y0, 0);
  r.x1 = std::min(r.x1, full_.width);
  r.y1 = std::min(r.y1, full_.height);
  if (bgrx == nullptr || r.empty()) {
    return;
  }
  for (int y = r.y0; y < r.y1; ++y) {
    const uint8_t* src = bgrx + static_cast<size_t>(y) * row_step + static_cast<size_t>(r.x0) * 4;
    std::copy(src, src + static_cast<size_t>(r.x1 - r.x0) * 4, full_.at(r.x0, y));
  }
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
  if (visible_) {
    // Only what the view can show.
    const Rect shown = image_rect_for_view(Rect{0, 0, view_.width, view_.height}, scale_for_zoom(zoom_), ox_, oy_,
                                           full_.width, full_.height);
    image_rect.x0 = std::max(image_rect.x0, shown.x0);
    image_rect.y0 = std::max(image_rect.y0, shown.y0);
    image_rect.x1 = std::min(image_rect.x1, shown.x1);
    image_rect.y1 = std::min(image_rect.y1, shown.y1);
    if (!image_rect.empty()) {
      draw_scaled(full_, image_rect, scale_for_zoom(zoom_), ox_, oy_, view_);
    }
  }
  invalidate();
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
  if (visible != visible_) {
    visible_ = visible;
    rebuild();
  }
}

void WnCrPreviewAtom::set_offset(int ox, int oy) {
  ox_ = ox;
  oy_ = oy;
  relimit();
  rebuild();
}

bool WnCrPreviewAtom::view_differs(int zoom, int ox, int oy, bool visible) const {
  return zoom != zoom_ || ox != ox_ || oy != oy_ || visible != visible_;
}

bool WnCrPreviewAtom::set_view(int zoom, int ox, int oy, bool visible) {
  if (!view_differs(zoom, ox, oy, visible)) {
    return false;
  }
  zoom_ = std::clamp(zoom, -7, 7);
  ox_ = ox;
  oy_ = oy;
  visible_ = visible;
  relimit();
  rebuild();
  return true;
}

void WnCrPreviewAtom::resized() {
  read_place();
  view_ = Bitmap32(std::max(width_, 0), std::max(height_, 0));
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
  ti.cbSize = TTTOOLINFOW_V2_SIZE;  // taken by every comctl32, manifest or not
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = dialog_;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

namespace {
// A tool over a control's rectangle in the dialog, for controls that get no mouse messages.
TOOLINFOW RectTool(HWND dialog, HWND control) {
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;  // taken by every comctl32, manifest or not
  ti.hwnd = dialog;
  ti.uId = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  GetWindowRect(control, &ti.rect);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&ti.rect), 2);
  return ti;
}
}  // namespace

void WnTooltips::attach_disabled(HWND control, const std::wstring& text) {
  if (tip_ == nullptr || control == nullptr) {
    return;
  }
  TOOLINFOW ti = RectTool(dialog_, control);
  ti.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  disabled_.push_back(control);
}

void WnTooltips::relay(const MSG& msg) {
  if (tip_ == nullptr) {
    return;
  }
  // The rectangle tools follow their controls, which resizing moves.
  for (HWND control : disabled_) {
    TOOLINFOW ti = RectTool(dialog_, control);
    SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

}  // namespace wn
