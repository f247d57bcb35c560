// The Coralin dialog's custom-drawn controls on Windows. Each atom takes the rectangle of a
// placeholder control and draws itself; the geometry lives in WnGeometry.h.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <functional>
#include <string>

#include "WnAtom/WnGeometry.h"

namespace wn {

class WnCustomAtom {
 public:
  // Takes the placeholder's rectangle in dialog client coordinates.
  WnCustomAtom(HWND dialog, int placeholder_id);
  virtual ~WnCustomAtom() = default;
  WnCustomAtom(const WnCustomAtom&) = delete;
  WnCustomAtom& operator=(const WnCustomAtom&) = delete;

  HWND dialog() const { return dialog_; }
  HWND window() const { return window_; }
  int left() const { return left_; }
  int top() const { return top_; }
  int width() const { return width_; }
  int height() const { return height_; }
  bool contains(int x, int y) const { return x >= left_ && x < left_ + width_ && y >= top_ && y < top_ + height_; }
  void invalidate() const;

 protected:
  HWND dialog_;
  HWND window_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

// One bitmap resource drawn at a position.
class WnSBRBAtom {
 public:
  WnSBRBAtom(HINSTANCE module, int bitmap_id);
  ~WnSBRBAtom();
  WnSBRBAtom(const WnSBRBAtom&) = delete;
  WnSBRBAtom& operator=(const WnSBRBAtom&) = delete;
  void draw(HDC dc, int x, int y) const;
  bool loaded() const { return bitmap_ != nullptr; }

 private:
  HBITMAP bitmap_;
};

// Two bitmaps: released and pressed.
class WnDBRBAtom {
 public:
  WnDBRBAtom(HINSTANCE module, int released_id, int pressed_id);
  void draw(HDC dc, int x, int y, bool pressed) const { (pressed ? pressed_ : released_).draw(dc, x, y); }

 private:
  WnSBRBAtom released_;
  WnSBRBAtom pressed_;
};

// Quality or smoothing slider, value 0-100, over a placeholder.
class WnCrSliderAtom : public WnCustomAtom {
 public:
  WnCrSliderAtom(HWND dialog, int placeholder_id, HINSTANCE module, std::function<void(int)> on_change);
  int value() const { return value_; }
  // Moves the thumb and redraws only when the value changes.
  void set_value(int v);
  void draw(HDC dc) const;
  // Mouse messages relayed from the dialog in client coordinates; true when consumed.
  bool mouse_down(int x, int y);
  bool mouse_move(int x);
  bool mouse_up(int x);

 private:
  void drag_to(int x);
  WnSBRBAtom track_;
  WnDBRBAtom thumb_;
  std::function<void(int)> on_change_;
  int value_ = 0;
  bool dragging_ = false;
};

// Preview pane: a child window over its placeholder showing the image at the current zoom.
class WnCrPreviewAtom : public WnCustomAtom {
 public:
  WnCrPreviewAtom(HWND dialog, int placeholder_id, HINSTANCE module);
  ~WnCrPreviewAtom() override;
  void set_image(const uint8_t* rgb, int width, int height, int row_step);
  void redraw(Rect image_rect);
  void zoom_in();
  void zoom_out();
  int zoom() const { return zoom_; }
  void show(bool visible);
  // Offsets are shared by the panes of one dialog; the caller keeps them in step.
  void set_offset(int ox, int oy);
  int offset_x() const { return ox_; }
  int offset_y() const { return oy_; }
  void resize(int w, int h);
  void paint(HDC dc) const;

 private:
  void relimit();
  void rebuild();
  Bitmap32 full_;
  Bitmap32 view_;
  int zoom_ = 0;
  int ox_ = 0, oy_ = 0;
  bool visible_ = true;
};

// Tooltips through the system's "tooltips_class32" window.
class WnTooltips {
 public:
  explicit WnTooltips(HWND dialog);
  ~WnTooltips();
  WnTooltips(const WnTooltips&) = delete;
  WnTooltips& operator=(const WnTooltips&) = delete;
  void attach(HWND control, const std::wstring& text);
  // The mouse relay: hands a dialog mouse message to the tooltip window.
  void relay(const MSG& msg) const;

 private:
  HWND dialog_;
  HWND tip_;
};

}  // namespace wn

#endif  // _WIN32
