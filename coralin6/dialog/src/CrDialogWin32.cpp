// Windows: the settings dialog's drawn parts over their placeholders (the two panes, the
// sliders and the mask thumbnail), their mouse and cursors, the tooltips and the smallest
// size; and the about box with its splash. Everything here only paints the controller's
// state and hands the mouse back to it.
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "WnAtom/WnAtoms.h"
#include "coralin/CrDialogController.h"
#include "platform/win32_subclass.h"

namespace coralin {
namespace {

using qm::platform::DialogView;
using qm::platform::MouseEvent;

struct Tip {
  int id;
  const wchar_t* text;
};
const wchar_t kNoPlanes[] = L"Availible only for images with alpha channels";
const Tip kTips[] = {
    {kIdShowOriginal, L"Toggle to show the original image"},
    {kIdShowJpeg, L"Toggle to show the JPEG as it will appear with the current configuration"},
    {kIdSpeed, L"Select the simulated download speed"},
    {kIdProgressive, L"Toggle to save the JPEG in a progressive format"},
    {kIdBetterSampling, L"Toggle to increse image sampling"},
    {kIdOptimize, L"Use Huffman optimization"},
    {kIdQuality, L"Quality scale (0 - 100)"},
    {kIdQualitySlider, L"Adjust quality factor"},
    {kIdSmoothing, L"Smoothing scale (0 - 100)"},
    {kIdSmoothingSlider, L"Adjust smoothing factor"},
    {kIdRadioBoth, L"Smoothing alters the entire image"},
    {kIdRadioFore, L"Smoothing only alters areas that are foreground in the alpha channel"},
    {kIdRadioBack, L"Smoothing only alters areas that are background in the alpha channel"},
    {kIdTarget, L"Enter a desired file size (in Kb) and press the 'Find' Button"},
    {kIdFind, L"Changes JPEG settings to approximate desired final file size"},
    {kIdPresets, L"Available configuration presets"},
    {kIdAddPreset, L"Remember the current configuration for later use"},
    {kIdDeletePreset, L"Delete the current configuration"},
};

uint32_t Keys(WPARAM wp) {
  return ((wp & MK_CONTROL) ? qm::platform::kKeyCtrl : 0u) | ((wp & MK_SHIFT) ? qm::platform::kKeyShift : 0u);
}

void BlitBgrx(HDC dc, int x, int y, int w, int h, const uint8_t* px) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0, static_cast<UINT>(h), px, &bi,
                    DIB_RGB_COLORS);
}

class SettingsPart final : public qm::platform::NativeDialogPart {
 public:
  explicit SettingsPart(CrDialogController& c) : c_(c) {}

  bool OnMessage(DialogView& view, qm::platform::NativeWindow dialog, uint32_t msg, uintptr_t wp, intptr_t lp,
                 intptr_t& result) override {
    view_ = &view;
    HWND dlg = static_cast<HWND>(dialog);
    switch (msg) {
      case WM_INITDIALOG: Attach(dlg); return false;
      case WM_GETMINMAXINFO: {
        // Never smaller than it opened.
        auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
        mm->ptMinTrackSize.x = minWidth_;
        mm->ptMinTrackSize.y = minHeight_;
        result = TRUE;
        return minWidth_ > 0;
      }
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
        // The mouse relay for what the controls cannot pass on themselves: a disabled
        // control's mouse comes to the dialog.
        if (tips_) {
          MSG m{};
          m.hwnd = dlg;
          m.message = msg;
          m.wParam = static_cast<WPARAM>(wp);
          m.lParam = static_cast<LPARAM>(lp);
          m.time = static_cast<DWORD>(GetMessageTime());
          m.pt.x = GET_X_LPARAM(lp);
          m.pt.y = GET_Y_LPARAM(lp);
          ClientToScreen(dlg, &m.pt);
          tips_->relay(m);
        }
        return false;
      case WM_DESTROY:
        tips_.reset();
        panes_[0].reset();
        panes_[1].reset();
        return false;
      default: return false;
    }
  }

 private:
  void Attach(HWND dlg) {
    dlg_ = dlg;
    RECT w{};
    GetWindowRect(dlg, &w);
    minWidth_ = w.right - w.left;
    minHeight_ = w.bottom - w.top;
    const auto module = static_cast<HINSTANCE>(qm::platform::ResourceModule());
    hand_ = LoadCursorA(module, MAKEINTRESOURCEA(119));
    grab_ = LoadCursorA(module, MAKEINTRESOURCEA(120));
    zoomIn_ = LoadCursorA(module, MAKEINTRESOURCEA(127));
    zoomOut_ = LoadCursorA(module, MAKEINTRESOURCEA(128));
    // The panes take their placeholders' ids, before the controller reads their places.
    const int paneIds[2] = {kIdOriginalPane, kIdJpegPane};
    for (int i = 0; i < 2; ++i) {
      const int id = paneIds[i];
      panes_[i] = std::make_unique<wn::WnCrPreviewAtom>(dlg, id, module);
      wn::WnCrPreviewAtom* pane = panes_[i].get();
      pane->set_image(c_.SourcePixels(), c_.ImageWidth(), c_.ImageHeight(), c_.SourceRowBytes());
      pane->set_hook([this, id, pane](UINT m, WPARAM wp, LPARAM lp, LRESULT& r) {
        return view_ && ItemMessage(pane->window(), id, m, wp, lp, r);
      });
    }
    quality_ = std::make_unique<wn::WnCrSliderAtom>(
        dlg, kIdQualitySlider, module, [this](int v) { c_.SetSliderValue(kIdQualitySlider, v); });
    smoothing_ = std::make_unique<wn::WnCrSliderAtom>(
        dlg, kIdSmoothingSlider, module, [this](int v) { c_.SetSliderValue(kIdSmoothingSlider, v); });
    for (int id : {kIdMaskThumbnail, kIdQualitySlider, kIdSmoothingSlider}) controls_.Add(dlg, id);
    tips_ = std::make_unique<wn::WnTooltips>(dlg);
    const bool planes = c_.HasExtraPlanes();
    for (const Tip& t : kTips) {
      const bool radio = t.id == kIdRadioFore || t.id == kIdRadioBack || t.id == kIdRadioBoth;
      const bool pointed = (t.id == kIdRadioFore || t.id == kIdRadioBack) && !planes;
      HWND control = GetDlgItem(dlg, t.id);
      tips_->attach(control, pointed ? kNoPlanes : t.text);
      // Without extra planes the radios are disabled and only the dialog hears the mouse.
      if (radio && !planes) tips_->attach_disabled(control, pointed ? kNoPlanes : t.text);
    }
  }

  wn::WnCrSliderAtom* Slider(int id) {
    return id == kIdQualitySlider ? quality_.get() : id == kIdSmoothingSlider ? smoothing_.get() : nullptr;
  }
  wn::WnCrPreviewAtom* PaneAtom(int id) {
    return id == kIdOriginalPane ? panes_[0].get() : id == kIdJpegPane ? panes_[1].get() : nullptr;
  }

  bool ItemMessage(HWND item, int id, UINT msg, WPARAM wp, LPARAM lp, LRESULT& r) {
    wn::WnCrSliderAtom* slider = Slider(id);
    wn::WnCrPreviewAtom* pane = PaneAtom(id);
    switch (msg) {
      case WM_NCHITTEST:
        if (pane) return false;
        // Placeholders are see-through to the mouse; these take it (and show tooltips).
        r = HTCLIENT;
        return true;
      case WM_ERASEBKGND: r = 1; return true;
      case WM_PAINT: {
        if (pane) {
          SyncPane(*pane, id);
          return false;  // the pane paints its display bitmap
        }
        if (slider) slider->set_value(static_cast<int>(c_.SliderValue(id)));
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(item, &ps);
        RECT rc;
        GetClientRect(item, &rc);
        if (slider) slider->draw(dc);
        else PaintMask(dc, rc);
        EndPaint(item, &ps);
        return true;
      }
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
        if (id == kIdMaskThumbnail) return false;
        if (slider) {
          slider->set_value(static_cast<int>(c_.SliderValue(id)));
          slider->mouse_down(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
          return true;
        }
        SetCapture(item);
        c_.OnMouse(*view_, id, MouseEvent::Down, GET_X_LPARAM(lp), GET_Y_LPARAM(lp), Keys(wp));
        return true;
      case WM_MOUSEMOVE:
        if (slider) return slider->mouse_move(GET_X_LPARAM(lp));
        if (GetCapture() != item) return false;
        c_.OnMouse(*view_, id, MouseEvent::Move, GET_X_LPARAM(lp), GET_Y_LPARAM(lp), Keys(wp));
        return true;
      case WM_LBUTTONUP:
        if (slider) return slider->mouse_up(GET_X_LPARAM(lp));
        if (GetCapture() != item) return false;
        c_.OnMouse(*view_, id, MouseEvent::Up, GET_X_LPARAM(lp), GET_Y_LPARAM(lp), Keys(wp));
        ReleaseCapture();
        return true;
      case WM_CAPTURECHANGED:
        if (slider) slider->capture_lost();
        return false;
      case WM_SETCURSOR: {
        if (!pane) return false;
        const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
        HCURSOR c = ctrl ? (shift ? zoomOut_ : zoomIn_) : c_.Panning() ? grab_ : hand_;
        if (!c) return false;
        SetCursor(c);
        r = TRUE;
        return true;
      }
      default: return false;
    }
  }

  // Before a pane paints: its zoom, the shared offset and its visibility from the controller,
  // and the JPEG pane's newly decoded pixels under the part being painted.
  void SyncPane(wn::WnCrPreviewAtom& pane, int id) {
    const CrPaneState& st = c_.Pane(id);
    const int iw = c_.ImageWidth(), ih = c_.ImageHeight();
    const int ox = c_.OffsetX(), oy = c_.OffsetY();
    const bool changed = pane.view_differs(st.zoom, ox, oy, st.visible);
    RECT dirty{};
    if (!GetUpdateRect(pane.window(), &dirty, FALSE) && !changed) return;
    const wn::Rect image = changed ? wn::Rect{0, 0, iw, ih}
                                   : wn::image_rect_for_view({dirty.left, dirty.top, dirty.right, dirty.bottom},
                                                             st.Scale(), ox, oy, iw, ih);
    const std::vector<uint8_t>& jpeg = c_.JpegBitmapPixels();
    if (id == kIdJpegPane && jpeg.size() >= static_cast<size_t>(iw) * static_cast<size_t>(ih) * 4)
      pane.update_image(jpeg.data(), iw * 4, image);
    if (!pane.set_view(st.zoom, ox, oy, st.visible) && !image.empty()) pane.redraw(image);
  }

  void PaintMask(HDC dc, const RECT& rc) {
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    const int w = c_.MaskWidth(), h = c_.MaskHeight();
    const std::vector<uint8_t>& grey = c_.MaskThumbnail();
    if (w <= 0 || h <= 0 || grey.size() < static_cast<size_t>(w) * static_cast<size_t>(h)) return;
    std::vector<uint8_t> px(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);
    for (size_t i = 0; i < grey.size() && i * 4 + 3 < px.size(); ++i) px[i * 4] = px[i * 4 + 1] = px[i * 4 + 2] = grey[i];
    BlitBgrx(dc, (rc.right - w) / 2, (rc.bottom - h) / 2, w, h, px.data());
  }

  CrDialogController& c_;
  DialogView* view_ = nullptr;
  HWND dlg_ = nullptr;
  LONG minWidth_ = 0, minHeight_ = 0;
  std::unique_ptr<wn::WnTooltips> tips_;
  std::unique_ptr<wn::WnCrPreviewAtom> panes_[2];
  std::unique_ptr<wn::WnCrSliderAtom> quality_, smoothing_;
  HCURSOR hand_ = nullptr, grab_ = nullptr, zoomIn_ = nullptr, zoomOut_ = nullptr;
  // Last, so that the placeholders get their own procedures back before the atoms go.
  qm::platform::SubclassedControls controls_{[this](HWND item, int id, UINT m, WPARAM wp, LPARAM lp, LRESULT& r) {
    return view_ && ItemMessage(item, id, m, wp, lp, r);
  }};
};

// The about box: client sized to the splash and its frame, the splash at (1, 1).
class AboutPart final : public qm::platform::NativeDialogPart {
 public:
  bool OnMessage(DialogView& view, qm::platform::NativeWindow dialog, uint32_t msg, uintptr_t wp, intptr_t,
                 intptr_t& result) override {
    HWND dlg = static_cast<HWND>(dialog);
    switch (msg) {
      case WM_INITDIALOG: {
        splash_ = std::make_unique<wn::WnSBRBAtom>(static_cast<HINSTANCE>(qm::platform::ResourceModule()), 107);
        // The splash covers the text the template carries for hosts that cannot draw it.
        if (HWND text = GetDlgItem(dlg, 1001); text && splash_->loaded()) ShowWindow(text, SW_HIDE);
        view.PlaceItem(0, {0, 0, 472, 318});
        return false;
      }
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(dlg, &ps);
        RECT rc;
        GetClientRect(dlg, &rc);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        splash_->draw(dc, 1, 1);
        EndPaint(dlg, &ps);
        result = TRUE;
        return true;
      }
      case WM_LBUTTONDOWN:
        view.End(qm::platform::kIdOk);
        result = TRUE;
        return true;
      case WM_GETDLGCODE:
        // The dialog itself takes the keys: Space closes it as Enter does.
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, DLGC_WANTALLKEYS);
        result = TRUE;
        return true;
      case WM_KEYDOWN:
      case WM_CHAR:
        if (wp == VK_SPACE || wp == VK_RETURN || wp == ' ' || wp == '\r') {
          view.End(qm::platform::kIdOk);
          result = TRUE;
          return true;
        }
        return false;
      default: return false;
    }
  }

 private:
  std::unique_ptr<wn::WnSBRBAtom> splash_;
};

}  // namespace

intptr_t CrShowSettingsDialog(CrDialogController& controller, qm::platform::NativeWindow owner) {
  SettingsPart part(controller);
  return qm::platform::RunModalDialog("#101", owner, controller, &part);
}

intptr_t CrShowAboutBox(qm::platform::DialogController& box, qm::platform::NativeWindow owner) {
  AboutPart part;
  return qm::platform::RunModalDialog("#109", owner, box, &part);
}

}  // namespace coralin
