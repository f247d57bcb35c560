#include "plughost/adm_host.h"

#include <algorithm>
#include <cstring>

#include "adm_host_internal.h"
#include "plughost/image.h"
#include "plughost/sp_basic.h"
#include "plughost/ui_script.h"

namespace plughost {

using adm::Dialog;
using adm::Drawer;
using adm::Item;

namespace {

struct State {
  UiScript* script = nullptr;
  std::string snapshot;
  std::vector<std::unique_ptr<adm::Image>> images;
};
State* g_adm = nullptr;

// Slots an effect may call that this host does nothing for answer 0; every slot is filled
// so that no call lands on a null pointer.
intptr_t Unimplemented() { return 0; }
template <typename Suite>
void FillStubs(Suite& suite) {
  auto stub = &Unimplemented;
  auto* slots = reinterpret_cast<unsigned char*>(&suite);
  for (size_t off = 0; off + sizeof stub <= sizeof suite; off += sizeof stub) std::memcpy(slots + off, &stub, sizeof stub);
}

Dialog* D(ADMDialogRef d) { return reinterpret_cast<Dialog*>(d); }
Item* I(ADMItemRef i) { return reinterpret_cast<Item*>(i); }
Drawer* Dr(ADMDrawerRef d) { return reinterpret_cast<Drawer*>(d); }
adm::Image* Im(ADMImageRef i) { return reinterpret_cast<adm::Image*>(i); }

void Report(bool messageBox, const std::string& caption, const std::vector<std::string>& texts) {
  if (g_adm && g_adm->script) g_adm->script->Report(messageBox, caption, texts);
}

Item* MakeItem(Dialog* d, int32_t id, const char* type, const ASRect* r, void* user) {
  if (!d) return nullptr;
  auto item = std::make_unique<Item>();
  item->id = id;
  item->type = type ? type : "";
  item->rect = r ? *r : ASRect{};
  item->user = user;
  item->dialog = d;
  Item* raw = item.get();
  d->items.push_back(std::move(item));
#ifdef _WIN32
  if (d->window) adm::CreateItemWindow(*d, *raw);
#endif
  return raw;
}

// ---- headless modal run ----

[[maybe_unused]] void DrawItems(Dialog& d, std::vector<uint8_t>& canvas) {
  canvas.assign(static_cast<size_t>(std::max(d.width, 1)) * std::max(d.height, 1) * 4, 0);
  for (size_t i = 0; i < canvas.size(); i += 4) canvas[i] = canvas[i + 1] = canvas[i + 2] = 212, canvas[i + 3] = 255;
  for (const auto& item : d.items) {
    if (!item->draw) continue;
    Drawer drawer;
    drawer.bounds = item->rect;
    drawer.canvas = &canvas;
    drawer.canvasWidth = std::max(d.width, 1);
    drawer.canvasHeight = std::max(d.height, 1);
    item->draw(reinterpret_cast<ADMItemRef>(item.get()), reinterpret_cast<ADMDrawerRef>(&drawer));
  }
}

[[maybe_unused]] int32_t RunHeadless(Dialog& d, ADMDialogInitProc init) {
  if (init) init(reinterpret_cast<ADMDialogRef>(&d));
  std::vector<uint8_t> canvas;
  DrawItems(d, canvas);
  if (g_adm && !g_adm->snapshot.empty()) {
    Image img;
    img.width = std::max(d.width, 1);
    img.height = std::max(d.height, 1);
    img.rgba = canvas;
    WritePng(g_adm->snapshot, img);
  }
  std::vector<std::string> texts;
  for (const auto& item : d.items)
    if (item->type != kADMPictureStaticType) texts.push_back(item->text);
  Report(false, d.title, texts);
  // A dialog that never ends by itself is closed after a generous number of answers.
  for (int round = 0; round < 32 && !d.ended; ++round) {
    if (round > 0) Report(false, d.title, texts);
    int32_t action = g_adm && g_adm->script ? g_adm->script->Next() : QM_ACTION_DEFAULT;
    if (action == QM_ACTION_DEFAULT) action = d.defaultId ? d.defaultId : QM_ACTION_CLOSE;
    Item* item = action == QM_ACTION_CLOSE ? nullptr : d.Find(action);
    if (!item) {
      d.ended = true;
      d.result = d.cancelId;
      break;
    }
    if (item->notify) item->notify(reinterpret_cast<ADMItemRef>(item), nullptr);
  }
  if (!d.ended) d.result = d.cancelId;
  return d.result;
}

}  // namespace

void adm::PutPixel(Drawer& d, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
  const int32_t cx = d.bounds.left + x, cy = d.bounds.top + y;
  if (!d.canvas || x < 0 || y < 0 || cx >= d.bounds.right || cy >= d.bounds.bottom || cx >= d.canvasWidth ||
      cy >= d.canvasHeight || cx < 0 || cy < 0)
    return;
  uint8_t* p = &(*d.canvas)[(static_cast<size_t>(cy) * d.canvasWidth + cx) * 4];
  p[0] = r, p[1] = g, p[2] = b, p[3] = 255;
}

struct AdmHost::Impl {
  SuiteBroker& broker;
  State state;
  ADMBasicSuite2 basic{};
  ADMDialogSuite5 dialog{};
  ADMItemSuite4 item{};
  ADMImageSuite1 image{};
  ADMDrawerSuite3 drawer{};
  ADMListSuite1 list{};
  ADMEntrySuite2 entry{};
  Impl(SuiteBroker& owner, UiScript& s) : broker(owner) {
    state.script = &s;
    FillStubs(basic);
    FillStubs(dialog);
    FillStubs(item);
    FillStubs(image);
    FillStubs(drawer);
    FillStubs(list);
    FillStubs(entry);
    basic.ErrorAlert = [](const char* text) {
#ifdef _WIN32
      adm::ShowErrorAlert(text);
#else
      Report(true, "Error", {text ? text : ""});
      if (g_adm && g_adm->script) g_adm->script->Next();
#endif
    };
    basic.MessageAlert = basic.ErrorAlert;
    basic.Beep = []() {};
    dialog.Modal = [](SPPluginRef, const char* name, int32_t, int32_t, ADMDialogInitProc init, void* user, int32_t) -> int32_t {
      Dialog d;
      d.name = name ? name : "";
      d.title = d.name;
      d.user = user;
#ifdef _WIN32
      return adm::RunWindow(d, init);
#else
      return RunHeadless(d, init);
#endif
    };
    dialog.Size = [](ADMDialogRef d, int32_t w, int32_t h) {
      if (!d) return;
      D(d)->width = w, D(d)->height = h;
#ifdef _WIN32
      adm::ResizeDialogWindow(*D(d));
#endif
    };
    dialog.SetText = [](ADMDialogRef d, const char* text) {
      if (!d) return;
      D(d)->title = text ? text : "";
#ifdef _WIN32
      adm::SetWindowTextOf(D(d)->window, D(d)->title);
#endif
    };
    dialog.GetUserData = [](ADMDialogRef d) -> void* { return d ? D(d)->user : nullptr; };
    dialog.GetItem = [](ADMDialogRef d, int32_t id) -> ADMItemRef {
      return d ? reinterpret_cast<ADMItemRef>(D(d)->Find(id)) : nullptr;
    };
    dialog.CreateItem = [](ADMDialogRef d, int32_t id, const char* type, const ASRect* r, ADMItemInitProc init,
                           void* user, int32_t) -> ADMItemRef {
      Item* i = MakeItem(D(d), id, type, r, user);
      if (i && init) init(reinterpret_cast<ADMItemRef>(i));
      return reinterpret_cast<ADMItemRef>(i);
    };
    dialog.SetDefaultItemID = [](ADMDialogRef d, int32_t id) {
      if (!d) return;
      D(d)->defaultId = id;
#ifdef _WIN32
      adm::SetDefaultButton(*D(d));
#endif
    };
    dialog.SetCancelItemID = [](ADMDialogRef d, int32_t id) {
      if (d) D(d)->cancelId = id;
    };
    dialog.EndModal = [](ADMDialogRef d, int32_t result, ASBoolean) -> ASBoolean {
      if (!d) return 0;
      D(d)->ended = true;
      D(d)->result = result;
#ifdef _WIN32
      adm::CloseDialogWindow(*D(d));
#endif
      return 1;
    };
    item.Create = [](ADMDialogRef d, int32_t id, const char* type, const ASRect* r, ADMItemInitProc init,
                     void* user) -> ADMItemRef {
      Item* i = MakeItem(D(d), id, type, r, user);
      if (i && init) init(reinterpret_cast<ADMItemRef>(i));
      return reinterpret_cast<ADMItemRef>(i);
    };
    item.SetDrawProc = [](ADMItemRef i, ADMItemDrawProc p) {
      if (i) I(i)->draw = p;
    };
    item.SetNotifyProc = [](ADMItemRef i, ADMItemNotifyProc p) {
      if (i) I(i)->notify = p;
    };
    item.GetUserData = [](ADMItemRef i) -> void* { return i ? I(i)->user : nullptr; };
    item.GetID = [](ADMItemRef i) -> int32_t { return i ? I(i)->id : 0; };
    item.GetDialog = [](ADMItemRef i) -> ADMDialogRef { return i ? reinterpret_cast<ADMDialogRef>(I(i)->dialog) : nullptr; };
    item.SetText = [](ADMItemRef i, const char* text) {
      if (!i) return;
      I(i)->text = text ? text : "";
#ifdef _WIN32
      adm::SetWindowTextOf(I(i)->window, I(i)->text);
#endif
    };
    drawer.GetBoundsRect = [](ADMDrawerRef d, ASRect* out) {
      if (!d || !out) return;
      const ASRect& r = Dr(d)->bounds;
      *out = ASRect{0, 0, r.right - r.left, r.bottom - r.top};
    };
    drawer.SetRGBColor = [](ADMDrawerRef d, const ASRGBColor* c) {
      if (d && c) Dr(d)->colour = *c;
    };
    drawer.FillRect = [](ADMDrawerRef d, const ASRect* r) {
      if (!d || !r) return;
#ifdef _WIN32
      if (Dr(d)->dc) return adm::FillRectOnDc(*Dr(d), *r);
#endif
      const ASRGBColor c = Dr(d)->colour;
      for (int32_t y = r->top; y < r->bottom; ++y)
        for (int32_t x = r->left; x < r->right; ++x)
          adm::PutPixel(*Dr(d), x, y, static_cast<uint8_t>(c.red >> 8), static_cast<uint8_t>(c.green >> 8),
                        static_cast<uint8_t>(c.blue >> 8));
    };
    drawer.DrawADMImage = [](ADMDrawerRef d, ADMImageRef i, const ASPoint* at) {
      if (!d || !i) return;
      const ASPoint origin = at ? *at : ASPoint{0, 0};
#ifdef _WIN32
      if (Dr(d)->dc) return adm::DrawImageOnDc(*Dr(d), *Im(i), origin);
#endif
      const adm::Image& img = *Im(i);
      for (int32_t y = 0; y < img.height; ++y)
        for (int32_t x = 0; x < img.width; ++x) {
          const uint8_t* p = &img.rgb[(static_cast<size_t>(y) * img.width + x) * 3];
          adm::PutPixel(*Dr(d), origin.h + x, origin.v + y, p[0], p[1], p[2]);
        }
    };
    image.Create = [](int32_t w, int32_t h) -> ADMImageRef {
      if (!g_adm || w <= 0 || h <= 0 || w > 8192 || h > 8192) return nullptr;
      auto img = std::make_unique<adm::Image>();
      img->width = w, img->height = h;
      img->rgb.assign(static_cast<size_t>(w) * h * 3, 0);
      g_adm->images.push_back(std::move(img));
      return reinterpret_cast<ADMImageRef>(g_adm->images.back().get());
    };
    image.Destroy = [](ADMImageRef i) {
      if (!g_adm) return;
      auto& v = g_adm->images;
      v.erase(std::remove_if(v.begin(), v.end(), [&](const auto& p) { return p.get() == Im(i); }), v.end());
    };
    image.GetWidth = [](ADMImageRef i) -> int32_t { return i ? Im(i)->width : 0; };
    image.GetHeight = [](ADMImageRef i) -> int32_t { return i ? Im(i)->height : 0; };
    image.SetPixel = [](ADMImageRef i, const ASPoint* at, const ASRGBColor* c) -> int32_t {
      if (!i || !at || !c) return 0;
      adm::Image& img = *Im(i);
      if (at->h < 0 || at->v < 0 || at->h >= img.width || at->v >= img.height) return 0;
      uint8_t* p = &img.rgb[(static_cast<size_t>(at->v) * img.width + at->h) * 3];
      p[0] = static_cast<uint8_t>(c->red >> 8), p[1] = static_cast<uint8_t>(c->green >> 8),
      p[2] = static_cast<uint8_t>(c->blue >> 8);
      return 0;
    };
    image.GetPixel = [](ADMImageRef i, const ASPoint* at, ASRGBColor* c) -> int32_t {
      if (!i || !at || !c) return 0;
      const adm::Image& img = *Im(i);
      if (at->h < 0 || at->v < 0 || at->h >= img.width || at->v >= img.height) return 0;
      const uint8_t* p = &img.rgb[(static_cast<size_t>(at->v) * img.width + at->h) * 3];
      *c = ASRGBColor{static_cast<uint16_t>(p[0] * 257), static_cast<uint16_t>(p[1] * 257), static_cast<uint16_t>(p[2] * 257)};
      return 0;
    };
    broker.Add(kADMBasicSuite, kADMBasicSuiteVersion2, &basic);
    broker.Add(kADMDialogSuite, kADMDialogSuiteVersion5, &dialog);
    broker.Add(kADMItemSuite, kADMItemSuiteVersion4, &item);
    broker.Add(kADMImageSuite, kADMImageSuiteVersion1, &image);
    broker.Add(kADMDrawerSuite, kADMDrawerSuiteVersion3, &drawer);
    broker.Add(kADMListSuite, kADMListSuiteVersion1, &list);
    broker.Add(kADMEntrySuite, kADMEntrySuiteVersion2, &entry);
  }
};

AdmHost::AdmHost(SuiteBroker& broker, UiScript& script) : impl_(std::make_unique<Impl>(broker, script)) {
  g_adm = &impl_->state;
}

AdmHost::~AdmHost() {
  if (g_adm == &impl_->state) g_adm = nullptr;
}

void AdmHost::SetSnapshot(const std::string& path) { impl_->state.snapshot = path; }

}  // namespace plughost
