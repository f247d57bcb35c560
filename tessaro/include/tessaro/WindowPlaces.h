#pragma once
// Where the conversion dialog and its preview and information windows sit, kept in the general
// options so the next read opens them where the user left them. A glued window travels with
// the window it is glued to: the preview beside the dialog (to its right when the dialog is
// laid out across, below it otherwise), the information window beside the preview, or in the
// preview's place while the preview is hidden. Screen pixels throughout.

#include "tessaro/GeneralSettings.h"

namespace tessaro {

struct WindowRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  WindowRect MovedTo(int x, int y) const { return {x, y, x + Width(), y + Height()}; }
  bool operator==(const WindowRect&) const = default;
};

// A glued window dragged to within this many pixels of its glued place snaps back and stays
// glued; dragged further it comes loose.
inline constexpr int kGlueSnap = 12;

class WindowPlaces {
public:
  // The window sizes to use while the file holds none (a first run).
  WindowPlaces(GeneralSettings& g, int previewWidth, int previewHeight, int infoWidth, int infoHeight)
      : g_(g), previewW_(previewWidth), previewH_(previewHeight), infoW_(infoWidth), infoH_(infoHeight) {}

  // The dialog is dialogWidth x dialogHeight; its place is the file's.
  WindowRect Dialog(int dialogWidth, int dialogHeight) const;
  WindowRect Preview(const WindowRect& dialog) const;
  WindowRect Info(const WindowRect& dialog) const;
  bool PreviewVisible() const { return g_.previewVisible; }
  bool InfoVisible() const { return g_.infoVisible; }

  // The user moved the dialog: glued windows follow.
  void DialogMoved(const WindowRect& dialog);
  // The user moved or resized a window: it glues when near its glued place, else comes loose.
  void PreviewMoved(const WindowRect& dialog, const WindowRect& preview);
  void InfoMoved(const WindowRect& dialog, const WindowRect& info);
  void SetPreviewVisible(bool on) { g_.previewVisible = on; }
  void SetInfoVisible(bool on) { g_.infoVisible = on; }
  // Across (true) or upright; glued windows take their new places.
  void SetOrientation(const WindowRect& dialog, bool across);

private:
  WindowRect StoredPreview() const;
  WindowRect StoredInfo() const;
  WindowRect GluedPreview(const WindowRect& dialog) const;
  WindowRect GluedInfo(const WindowRect& dialog) const;
  void StorePreview(const WindowRect& r);
  void StoreInfo(const WindowRect& r);

  GeneralSettings& g_;
  int previewW_, previewH_, infoW_, infoH_;
};

}  // namespace tessaro
