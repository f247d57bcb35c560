#pragma once
// Internal records of the ADM host, shared by the headless and the Win32 dialog runners.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/ADMSuites.h"

namespace plughost::adm {

struct Dialog;

struct Item {
  int32_t id = 0;
  std::string type;
  ASRect rect{};
  std::string text;
  ADMItemNotifyProc notify = nullptr;
  ADMItemDrawProc draw = nullptr;
  void* user = nullptr;
  Dialog* dialog = nullptr;
  void* window = nullptr;  // HWND in the Windows host
};

struct Dialog {
  std::string name;
  std::string title;
  int32_t width = 0, height = 0;
  std::vector<std::unique_ptr<Item>> items;
  int32_t defaultId = 0, cancelId = 0;
  bool ended = false;
  int32_t result = 0;
  void* user = nullptr;
  void* window = nullptr;  // HWND in the Windows host
  Item* Find(int32_t id) const {
    for (const auto& i : items)
      if (i->id == id) return i.get();
    return nullptr;
  }
};

struct Image {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // 8 bits a channel
};

// A drawer paints either into an RGBA canvas (headless) or into a device context.
struct Drawer {
  ASRect bounds{};  // in dialog coordinates
  ASRGBColor colour{0, 0, 0};
  std::vector<uint8_t>* canvas = nullptr;  // dialog-sized RGBA
  int32_t canvasWidth = 0, canvasHeight = 0;
  void* dc = nullptr;  // HDC, item-relative
};

void PutPixel(Drawer& d, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b);  // item-relative

#ifdef _WIN32
// Runs the dialog in a real window; the init proc is called once it exists.
int32_t RunWindow(Dialog& dialog, ADMDialogInitProc init);
void CreateItemWindow(Dialog& dialog, Item& item);
void SetWindowTextOf(void* window, const std::string& text);
void ResizeDialogWindow(Dialog& dialog);
void SetDefaultButton(Dialog& dialog);
void CloseDialogWindow(Dialog& dialog);
void ShowErrorAlert(const char* text);
void DrawImageOnDc(Drawer& d, const Image& image, const ASPoint& at);
void FillRectOnDc(Drawer& d, const ASRect& r);
#endif

}  // namespace plughost::adm
