// Windows: the conversion dialog's pictures painted from DIBs over their placeholders, and
// the mouse over the preview handed back to the controller. Nothing here decides anything.
#include <windows.h>
#include <windowsx.h>

#include <vector>

#include "ConversionDialogParts.h"
#include "platform/win32_subclass.h"
#include "tessaro/DibRows.h"

namespace tessaro::plugin {
namespace {

using qm::platform::DialogView;

const int kDrawn[] = {kPreviewItem, kHistogramItem, kZoomItem};

// Around a picture that does not fill its control.
const COLORREF kSurround = RGB(48, 48, 48);

void DrawRgb(HDC dc, const RECT& box, const std::uint8_t* rgb, std::size_t bytes, std::uint32_t w, std::uint32_t h) {
  HBRUSH surround = CreateSolidBrush(kSurround);
  std::vector<std::uint8_t> rows;
  PackDibRows(rgb, bytes, w, h, true, rows);
  const FitPlace at = rows.empty() ? FitPlace{}
                                   : FitPicture(static_cast<int>(w), static_cast<int>(h), box.right - box.left,
                                                box.bottom - box.top);
  if (at.Empty()) {
    FillRect(dc, &box, surround);
    DeleteObject(surround);
    return;
  }
  // The surround only where the picture is not, so a redraw does not flicker.
  const RECT bands[] = {{box.left, box.top, box.right, box.top + at.top},
                        {box.left, box.top + at.top + at.height, box.right, box.bottom},
                        {box.left, box.top + at.top, box.left + at.left, box.top + at.top + at.height},
                        {box.left + at.left + at.width, box.top + at.top, box.right, box.top + at.top + at.height}};
  for (const RECT& b : bands)
    if (b.right > b.left && b.bottom > b.top) FillRect(dc, &b, surround);
  DeleteObject(surround);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = static_cast<LONG>(w);
  bi.bmiHeader.biHeight = static_cast<LONG>(h);  // bottom-up rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  const bool shrinking = at.width < static_cast<int>(w);
  SetStretchBltMode(dc, shrinking ? HALFTONE : COLORONCOLOR);
  if (shrinking) SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchDIBits(dc, box.left + at.left, box.top + at.top, at.width, at.height, 0, 0, static_cast<int>(w),
                static_cast<int>(h), rows.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
}

class ConversionPart final : public qm::platform::NativeDialogPart {
 public:
  ConversionPart(const ConversionPictures& pictures, qm::platform::DialogController& controller)
      : pictures_(pictures), controller_(controller) {}

  bool OnMessage(DialogView& view, qm::platform::NativeWindow dialog, uint32_t msg, uintptr_t, intptr_t,
                 intptr_t&) override {
    view_ = &view;
    if (msg == WM_INITDIALOG) Attach(static_cast<HWND>(dialog));
    if (msg == WM_DESTROY) view_ = nullptr;
    return false;
  }

 private:
  void Attach(HWND dlg) {
    for (int id : kDrawn) controls_.Add(dlg, id);
  }

  bool ItemMessage(HWND item, int id, UINT msg, WPARAM wp, LPARAM lp, LRESULT& r) {
    switch (msg) {
      case WM_NCHITTEST:
        // A static lets the mouse through; the preview takes it for the zoomed view's centre.
        if (id != kPreviewItem) return false;
        r = HTCLIENT;
        return true;
      case WM_ERASEBKGND: r = 1; return true;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(item, &ps);
        RECT rc;
        GetClientRect(item, &rc);
        Paint(dc, id, rc);
        EndPaint(item, &ps);
        r = 0;
        return true;
      }
      case WM_LBUTTONDOWN:
        if (id != kPreviewItem || !view_) return false;
        controller_.OnMouse(*view_, id, qm::platform::MouseEvent::Down, GET_X_LPARAM(lp), GET_Y_LPARAM(lp),
                            ((wp & MK_CONTROL) ? qm::platform::kKeyCtrl : 0u) |
                                ((wp & MK_SHIFT) ? qm::platform::kKeyShift : 0u));
        r = 0;
        return true;
      default: return false;
    }
  }

  void Paint(HDC dc, int id, const RECT& rc) {
    if (id == kHistogramItem) {
      const HistogramPicture& h = pictures_.HistogramImage();
      const std::size_t bytes = h.rgb.size();
      DrawRgb(dc, rc, h.rgb.data(), bytes, h.width > 0 ? static_cast<std::uint32_t>(h.width) : 0,
              h.height > 0 ? static_cast<std::uint32_t>(h.height) : 0);
      return;
    }
    const RgbPicture& p = id == kZoomItem ? pictures_.ZoomPicture() : pictures_.PreviewPicture();
    DrawRgb(dc, rc, p.rgb.data(), p.rgb.size(), p.width, p.height);
  }

  const ConversionPictures& pictures_;
  qm::platform::DialogController& controller_;
  DialogView* view_ = nullptr;
  qm::platform::SubclassedControls controls_{
      [this](HWND item, int id, UINT m, WPARAM wp, LPARAM lp, LRESULT& r) { return ItemMessage(item, id, m, wp, lp, r); }};
};

}  // namespace

intptr_t RunConversionWindow(const ConversionPictures& pictures, qm::platform::DialogController& controller) {
  ConversionPart part(pictures, controller);
  return qm::platform::RunModalDialog("CONVERSION", nullptr, controller, &part);
}

}  // namespace tessaro::plugin
