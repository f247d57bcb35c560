#include "tessaro/WindowPlaces.h"

#include <cstdlib>

namespace tessaro {

WindowRect WindowPlaces::Dialog(int w, int h) const {
  return {g_.dialogPositionX, g_.dialogPositionY, g_.dialogPositionX + w, g_.dialogPositionY + h};
}

WindowRect WindowPlaces::StoredPreview() const {
  WindowRect r{g_.previewPositionX, g_.previewPositionY, g_.previewPositionXend, g_.previewPositionYend};
  // A file without a size (or with a reversed one) gets the default size where it says.
  if (r.Empty()) r = {r.left, r.top, r.left + previewW_, r.top + previewH_};
  return r;
}

WindowRect WindowPlaces::StoredInfo() const {
  WindowRect r{g_.infoPositionX, g_.infoPositionY, g_.infoPositionXend, g_.infoPositionYend};
  if (r.Empty()) r = {r.left, r.top, r.left + infoW_, r.top + infoH_};
  return r;
}

WindowRect WindowPlaces::GluedPreview(const WindowRect& dialog) const {
  const WindowRect size = StoredPreview();
  return g_.dialogOrientation ? size.MovedTo(dialog.right, dialog.top) : size.MovedTo(dialog.left, dialog.bottom);
}

WindowRect WindowPlaces::GluedInfo(const WindowRect& dialog) const {
  const WindowRect size = StoredInfo();
  if (!g_.previewVisible)
    return g_.dialogOrientation ? size.MovedTo(dialog.right, dialog.top) : size.MovedTo(dialog.left, dialog.bottom);
  const WindowRect p = Preview(dialog);
  // Across: under the preview; upright: to its right.
  return g_.dialogOrientation ? size.MovedTo(p.left, p.bottom) : size.MovedTo(p.right, p.top);
}

WindowRect WindowPlaces::Preview(const WindowRect& dialog) const {
  return g_.previewGlued ? GluedPreview(dialog) : StoredPreview();
}

WindowRect WindowPlaces::Info(const WindowRect& dialog) const {
  return g_.infoGlued ? GluedInfo(dialog) : StoredInfo();
}

void WindowPlaces::StorePreview(const WindowRect& r) {
  g_.previewPositionX = r.left;
  g_.previewPositionY = r.top;
  g_.previewPositionXend = r.right;
  g_.previewPositionYend = r.bottom;
}

void WindowPlaces::StoreInfo(const WindowRect& r) {
  g_.infoPositionX = r.left;
  g_.infoPositionY = r.top;
  g_.infoPositionXend = r.right;
  g_.infoPositionYend = r.bottom;
}

void WindowPlaces::DialogMoved(const WindowRect& dialog) {
  g_.dialogPositionX = dialog.left;
  g_.dialogPositionY = dialog.top;
  if (g_.previewGlued) StorePreview(GluedPreview(dialog));
  if (g_.infoGlued) StoreInfo(GluedInfo(dialog));
}

namespace {
bool Near(const WindowRect& a, const WindowRect& b) {
  return std::abs(a.left - b.left) <= kGlueSnap && std::abs(a.top - b.top) <= kGlueSnap;
}
}  // namespace

void WindowPlaces::PreviewMoved(const WindowRect& dialog, const WindowRect& preview) {
  if (preview.Empty()) return;
  StorePreview(preview);  // the size first: the glued place keeps it
  const WindowRect glued = GluedPreview(dialog);
  g_.previewGlued = Near(preview, glued);
  if (g_.previewGlued) StorePreview(glued);
  if (g_.infoGlued) StoreInfo(GluedInfo(dialog));
}

void WindowPlaces::InfoMoved(const WindowRect& dialog, const WindowRect& info) {
  if (info.Empty()) return;
  StoreInfo(info);
  const WindowRect glued = GluedInfo(dialog);
  g_.infoGlued = Near(info, glued);
  if (g_.infoGlued) StoreInfo(glued);
}

void WindowPlaces::SetOrientation(const WindowRect& dialog, bool across) {
  g_.dialogOrientation = across;
  DialogMoved(dialog);
}

}  // namespace tessaro
