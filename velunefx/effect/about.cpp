#include "effect/about.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "effect/shell_open.h"
#include "hostapi/ADMSuites.h"
#include "shapes/shape_image.h"

namespace velune {

namespace {

struct SuiteSlot {
  const char* name;
  int32_t version;
  const char* label;  // for the messages
  const void* suite;
};

// What the dialog procs reach: the suites and the plug-in folder (process-wide, as the
// procs take no context of ours).
struct AboutContext {
  const ADMBasicSuite2* basic = nullptr;
  const ADMDialogSuite5* dialog = nullptr;
  const ADMItemSuite4* item = nullptr;
  const ADMImageSuite1* image = nullptr;
  const ADMDrawerSuite3* drawer = nullptr;
  std::string folder;
};
AboutContext g_about;

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

constexpr char kCredits[] =
    "Velune5.6 - lens blur for After Effects\n"
    "Out-of-focus highlights become iris-shaped discs, computed in linear light.\n"
    "Iris shapes and this picture are read with the libtiff library.\n"
    "Corvel Optical Lab.";

void PI_CALL ok_notify(ADMItemRef item, ADMNotifierRef) {
  g_about.dialog->EndModal(g_about.item->GetDialog(item), 1, 0);
}

void PI_CALL help_notify(ADMItemRef, ADMNotifierRef) {
  const std::string path = g_about.folder + kSeparator + "help" + kSeparator + "index.html";
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fclose(f);
    open_document(path);
  } else {
    g_about.basic->ErrorAlert("Velune: Help file not found");
  }
}

void PI_CALL draw_picture(ADMItemRef item, ADMDrawerRef drawer) {
  char path[1024];
  std::snprintf(path, sizeof path, "%s%cbokeh%cXqAb40.bin", g_about.folder.c_str(), kSeparator, kSeparator);
  LoadedShape picture;
  std::FILE* probe = std::fopen(path, "rb");
  if (probe == nullptr) {
    return;  // no picture: the item stays empty
  }
  std::fclose(probe);
  if (!picture.load(path, nullptr)) {
    return;  // no picture: the item stays empty
  }
  ASRect bounds{};
  g_about.drawer->GetBoundsRect(drawer, &bounds);
  const int32_t w = std::min(picture.width(), bounds.right - bounds.left);
  const int32_t h = std::min(picture.height(), bounds.bottom - bounds.top);
  if (w <= 0 || h <= 0) return;
  ADMImageRef image = g_about.image->Create(w, h);
  if (image == nullptr) return;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = picture.pixels() + y * picture.pitch();
    for (int32_t x = 0; x < w; ++x) {
      const ASPoint at{x, y};
      // Loaded pixels are blue, green, red; ADM colours are 16 bits a channel.
      const ASRGBColor colour{static_cast<uint16_t>(row[3 * x + 2] * 257), static_cast<uint16_t>(row[3 * x + 1] * 257),
                              static_cast<uint16_t>(row[3 * x] * 257)};
      g_about.image->SetPixel(image, &at, &colour);
    }
  }
  const ASPoint origin{bounds.left, bounds.top};
  g_about.drawer->DrawADMImage(drawer, image, &origin);
  g_about.image->Destroy(image);
  (void)item;
}

ADMItemRef make_item(ADMDialogRef d, int32_t id, const char* type, ASRect r, const char* text) {
  ADMItemRef item = g_about.dialog->CreateItem(d, id, type, &r, nullptr, nullptr, 0);
  if (item != nullptr && text != nullptr) g_about.item->SetText(item, text);
  return item;
}

ASErr PI_CALL init_dialog(ADMDialogRef d) {
  g_about.dialog->Size(d, 400, 495);
  g_about.dialog->SetText(d, "About Velune5.6");
  if (ADMItemRef ok = make_item(d, 1, kADMTextPushButtonType, ASRect{330, 460, 390, 485}, "OK")) {
    g_about.item->SetNotifyProc(ok, ok_notify);
  }
  if (ADMItemRef help = make_item(d, 3, kADMTextPushButtonType, ASRect{260, 460, 320, 485}, "Help")) {
    g_about.item->SetNotifyProc(help, help_notify);
  }
  make_item(d, 6, kADMTextStaticType, ASRect{10, 310, 390, 400}, kCredits);
  if (ADMItemRef picture = make_item(d, 7, kADMPictureStaticType, ASRect{0, 0, 400, 300}, nullptr)) {
    g_about.item->SetDrawProc(picture, draw_picture);
  }
  g_about.dialog->SetDefaultItemID(d, 1);
  g_about.dialog->SetCancelItemID(d, 1);
  return 0;
}

PF_Err suite_failure(PF_OutData* out, const char* verb, const char* label) {
  if (label != nullptr) {
    std::snprintf(out->return_msg, sizeof out->return_msg, "Couldn't %s %s suite.", verb, label);
  } else {
    std::snprintf(out->return_msg, sizeof out->return_msg, "Not able to %s AEFX Suite.",
                  verb[0] == 'l' ? "acquire" : "release");
  }
  out->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  return PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace

PF_Err show_about(PF_InData* in, PF_OutData* out, const std::string& plugin_folder) {
  SuiteSlot slots[] = {
      {kADMBasicSuite, kADMBasicSuiteVersion2, "ADM Basic", nullptr},
      {kADMDialogSuite, kADMDialogSuiteVersion5, "ADM Dialog", nullptr},
      {kADMItemSuite, kADMItemSuiteVersion4, "ADM Item", nullptr},
      {kADMImageSuite, kADMImageSuiteVersion1, "ADM Image", nullptr},
      {kADMDrawerSuite, kADMDrawerSuiteVersion3, "ADM Drawer", nullptr},
      {kADMListSuite, kADMListSuiteVersion1, "ADM List", nullptr},
      {kADMEntrySuite, kADMEntrySuiteVersion2, "ADM Entry", nullptr},
  };
  constexpr int kCount = static_cast<int>(sizeof slots / sizeof slots[0]);
  SPBasicSuite* sp = in->pica_basicP;
  if (sp == nullptr) return suite_failure(out, "load", nullptr);
  int acquired = 0;
  for (; acquired < kCount; ++acquired) {
    SuiteSlot& s = slots[acquired];
    if (sp->AcquireSuite(s.name, s.version, &s.suite) != kSPNoError || s.suite == nullptr) break;
  }
  if (acquired < kCount) {
    // Those already taken go back, so a refused suite leaves nothing held.
    for (int i = 0; i < acquired; ++i) sp->ReleaseSuite(slots[i].name, slots[i].version);
    return suite_failure(out, "load", slots[acquired].label);
  }
  g_about.basic = static_cast<const ADMBasicSuite2*>(slots[0].suite);
  g_about.dialog = static_cast<const ADMDialogSuite5*>(slots[1].suite);
  g_about.item = static_cast<const ADMItemSuite4*>(slots[2].suite);
  g_about.image = static_cast<const ADMImageSuite1*>(slots[3].suite);
  g_about.drawer = static_cast<const ADMDrawerSuite3*>(slots[4].suite);
  g_about.folder = plugin_folder;
  g_about.dialog->Modal(nullptr, "About Velune5.6", 0, kADMModalDialogStyle, init_dialog, nullptr, 0);
  g_about = AboutContext{};
  PF_Err err = PF_Err_NONE;
  for (int i = 0; i < kCount; ++i) {
    if (sp->ReleaseSuite(slots[i].name, slots[i].version) != kSPNoError && err == PF_Err_NONE) {
      err = suite_failure(out, "unload", slots[i].label);
    }
  }
  return err;
}

}  // namespace velune
