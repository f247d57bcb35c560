// The Coralin dialog's custom-drawn controls on Windows. Each atom takes the rectangle of a
// placeholder control and draws itself; the geometry lives in WnGeometry.h.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

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
  // Draws the atom again (its whole window).
  void invalidate() const;

 protected:
  // The rectangle again from the window, after the dialog moved or resized it.
  void read_place();
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

// Quality or smoothing slider, value 0-100, drawn into its placeholder (bitmaps 103, 105 and
// 106) and fed with the placeholder's mouse messages, in the placeholder's own pixels.
class WnCrSliderAtom : public WnCustomAtom {
 public:
  WnCrSliderAtom(HWND dialog, int placeholder_id, HINSTANCE module, std::function<void(int)> on_change);
  int value() const { return value_; }
  bool dragging() const { return dragging_; }
  // Moves the thumb and redraws only when the value changes.
  void set_value(int v);
  void draw(HDC dc) const;
  // A press on the thumb starts a drag and captures the mouse; true when consumed.
  bool mouse_down(int x, int y);
  bool mouse_move(int x);
  // Sets the value the same way, releases the capture and ends the drag.
  bool mouse_up(int x);
  // The capture went elsewhere: the drag ends where it is.
  void capture_lost();

 private:
  void drag_to(int x);
  WnSBRBAtom track_;
  WnDBRBAtom thumb_;
  std::function<void(int)> on_change_;
  int value_ = -1;  // nothing shown yet
  bool dragging_ = false;
};

// Preview pane: a child window over its placeholder, taking the placeholder's control id (the
// placeholder stays behind it, hidden), showing the image at the pane's zoom.
class WnCrPreviewAtom : public WnCustomAtom {
 public:
  // Sees the pane window's messages first; true when it handled one (result in the last).
  using Hook = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;
  WnCrPreviewAtom(HWND dialog, int placeholder_id, HINSTANCE module);
  ~WnCrPreviewAtom() override;
  void set_hook(Hook hook) { hook_ = std::move(hook); }
  // The full-size bitmap from a 3-bytes-per-pixel RGB source.
  void set_image(const uint8_t* rgb, int width, int height, int row_step);
  // Part of the full-size bitmap from a 4-bytes-per-pixel image of the same size.
  void update_image(const uint8_t* bgrx, int row_step, Rect r);
  // The display pixels of an image rectangle drawn again.
  void redraw(Rect image_rect);
  void zoom_in();
  void zoom_out();
  int zoom() const { return zoom_; }
  bool visible() const { return visible_; }
  void show(bool visible);
  // Offsets are shared by the panes of one dialog; the caller keeps them in step.
  void set_offset(int ox, int oy);
  int offset_x() const { return ox_; }
  int offset_y() const { return oy_; }
  // Zoom, shared offset and visibility at once, as the dialog has them; false when nothing
  // changed (else the whole display is rebuilt).
  bool set_view(int zoom, int ox, int oy, bool visible);
  bool view_differs(int zoom, int ox, int oy, bool visible) const;
  const Bitmap32& image() const { return full_; }
  void paint(HDC dc) const;
  // The window was resized: a display bitmap of the new size, the offsets limited again.
  void resized();

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void relimit();
  void rebuild();
  Hook hook_;
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
  // A tool for the control: it shows when the mouse rests on it.
  void attach(HWND control, const std::wstring& text);
  // A tool for the control's rectangle in the dialog too, for while it is disabled (its mouse
  // messages then go to the dialog, which relays them).
  void attach_disabled(HWND control, const std::wstring& text);
  // The mouse relay: hands a dialog mouse message to the tooltip window.
  void relay(const MSG& msg);
  HWND window() const { return tip_; }

 private:
  HWND dialog_;
  HWND tip_;
  std::vector<HWND> disabled_;  // controls with a rectangle tool, which follows them
};

}  // namespace wn

#endif  // _WIN32
